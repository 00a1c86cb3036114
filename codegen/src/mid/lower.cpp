#include "vorn/codegen/mid/lower.hpp"

#include <algorithm>
#include <optional>
#include <utility>

#include "context.hpp"
#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid {
namespace detail {
namespace {

// Graph operations at the top level and in loop bodies: what the value table is sized by.
std::size_t operation_count(std::span<const graph::Operation> operations) {
  std::size_t count = operations.size();
  for (const graph::Operation& operation : operations) {
    if (const auto* repeat = std::get_if<graph::Repeat>(&operation.kind.alternative)) {
      count += operation_count(repeat->body->operations);
    }
  }
  return count;
}

// The cheapest candidate and what it costs: the kernel's own share is kept, because the kernel
// emitted for the plan is priced with exactly the types it was priced with here.
struct Choice {
  std::size_t plan = 0;
  std::uint64_t price = 0;
  std::uint64_t kernel_cost = 0;
};

// Prices every candidate in order (conversions of the paired operands plus the kernel) and keeps
// the first of the cheapest. Creates nothing.
std::optional<Choice> choose(std::span<const Plan> candidates, const graph::TensorShape& result_shape,
                             const CostModel& model, const LoweringState& state, Scratch& scratch) {
  std::optional<Choice> best;
  for (std::size_t index = 0; index < candidates.size(); ++index) {
    const Plan& plan = candidates[index];
    const std::size_t pairs = std::min(scratch.operands.size(), plan.inputs.size());
    std::uint64_t conversion = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
      const TensorType& operand = state.get(scratch.operands[i]).tensor_type;
      conversion = saturating_add(conversion, conversion_cost(operand, plan.inputs[i], model));
      if (i == scratch.planned.size()) scratch.planned.push_back(operand);
      scratch.planned[i].shape = operand.shape;
      scratch.planned[i].format = plan.inputs[i];
    }
    if (!scratch.planned_output) scratch.planned_output.emplace(TensorType{result_shape, plan.output});
    scratch.planned_output->shape = result_shape;
    scratch.planned_output->format = plan.output;
    const std::uint64_t kernel =
        model.kernel_cost(plan.kernel, std::span(scratch.planned.data(), pairs), *scratch.planned_output);
    const std::uint64_t price = saturating_add(conversion, kernel);
    if (!best || price < best->price) best = Choice{index, price, kernel};
  }
  return best;
}

// Finds result shapes in a level's shape map. Operations come in order and their first results in
// ascending order, as the map iterates, so a cursor that moves forward finds each in amortised
// constant time and reads the map front to back (a search per operation would touch a million-
// entry map at random). A key behind the cursor, possible only in a hand-built body, is searched.
class ShapeCursor {
 public:
  explicit ShapeCursor(const graph::ShapeMap& shapes) : shapes_(shapes), next_(shapes.begin()) {}

  [[nodiscard]] const graph::TensorShape* find(graph::ValueId value) {
    if (next_ == shapes_.end() || value < next_->first) {
      const auto found = shapes_.find(value);
      return found == shapes_.end() ? nullptr : &found->second;
    }
    while (next_ != shapes_.end() && next_->first < value) ++next_;
    if (next_ == shapes_.end() || next_->first != value) return nullptr;
    return &(next_++)->second;
  }

 private:
  const graph::ShapeMap& shapes_;
  graph::ShapeMap::const_iterator next_;
};

}  // namespace

std::expected<void, LoweringError> append_operations(Lowering& lowering, std::span<const graph::Operation> operations,
                                                     ScopeMap& scope, const graph::ShapeMap& shapes,
                                                     std::vector<MidOperation>& lowered) {
  Scratch& scratch = lowering.scratch;
  LoweringState& state = lowering.state;
  ShapeCursor result_shapes{shapes};
  for (const graph::Operation& operation : operations) {
    if (const auto* repeat = std::get_if<graph::Repeat>(&operation.kind.alternative)) {
      if (auto done = append_repeat(lowering, operation, *repeat, scope, lowered); !done) return done;
      continue;
    }

    scratch.operands.clear();
    scratch.formats.clear();
    for (const graph::ValueId input : operation.inputs) {
      const auto operand = lookup(scope, input);
      if (!operand) return std::unexpected(operand.error());
      scratch.operands.push_back(*operand);
      scratch.formats.push_back(state.get(*operand).tensor_type.format);
    }

    if (operation.results.empty()) return std::unexpected(LoweringError::MalformedOperation{operation.id});
    const graph::ValueId result_value = operation.results.front();
    const graph::TensorShape* shape = result_shapes.find(result_value);
    if (shape == nullptr) return std::unexpected(LoweringError::MissingShape{result_value});

    const std::span<const Plan> candidates = plans_into(operation, scratch.formats, lowering.config, scratch.plans);
    const std::optional<Choice> choice = choose(candidates, *shape, lowering.model, state, scratch);
    if (!choice) return std::unexpected(LoweringError::NoCandidate{operation.id});
    const Plan& plan = candidates[choice->plan];

    const std::size_t pairs = std::min(scratch.operands.size(), plan.inputs.size());
    std::vector<MidValueId> converted;
    converted.reserve(pairs);
    for (std::size_t i = 0; i < pairs; ++i) {
      converted.push_back(
          ensure_format(scratch.operands[i], plan.inputs[i], operation.id, lowering.model, state, lowered));
    }
    const MidValueId result = state.value(result_value, TensorType{*shape, plan.output});
    lowered.push_back(MidOperation{operation.id, std::move(converted), {result}, plan.kernel, choice->kernel_cost});
    scope.insert(result_value, result);
  }
  return {};
}

std::expected<std::vector<MidOperation>, LoweringError> lower_operations(std::span<const graph::Operation> operations,
                                                                         ScopeMap& scope, const graph::ShapeMap& shapes,
                                                                         const graph::ComputeGraph& graph,
                                                                         const LoweringConfig& config,
                                                                         const CostModel& model, LoweringState& state) {
  Lowering lowering{graph, config, model, state, {}};
  std::vector<MidOperation> lowered;
  lowered.reserve(kRoomPerOperation * operations.size());
  if (auto done = append_operations(lowering, operations, scope, shapes, lowered); !done) {
    return std::unexpected(done.error());
  }
  return lowered;
}

std::uint64_t total_cost(std::span<const MidOperation> operations) noexcept {
  std::uint64_t total = 0;
  for (const MidOperation& operation : operations) total = saturating_add(total, operation.estimated_cost);
  return total;
}

std::expected<MidGraph, LoweringError> lower(const graph::ComputeGraph& graph, const LoweringConfig& config,
                                             const CostModel& model, std::size_t value_limit) {
  if (config.tile_count == 0) return std::unexpected(LoweringError::EmptyTileGroup{});

  LoweringState state{value_limit};
  state.reserve(graph.inputs().size() + kValuesPerOperation * operation_count(graph.operations()));
  ScopeMap scope;
  MidGraph lowered;
  lowered.inputs.reserve(graph.inputs().size());
  for (const graph::GraphInput& input : graph.inputs()) {
    const auto format = config.inputs.find(input.value);
    if (format == config.inputs.end()) return std::unexpected(LoweringError::MissingInputType{input.value});
    const MidValueId value = state.value(input.value, TensorType{input.shape, format->second});
    scope.insert(input.value, value);
    lowered.inputs.push_back(MidInput{input.name, input.kind, value});
  }

  Lowering lowering{graph, config, model, state, {}};
  lowered.operations.reserve(kRoomPerOperation * graph.operations().size());
  if (auto done = append_operations(lowering, graph.operations(), scope, graph.value_shapes(), lowered.operations);
      !done) {
    return std::unexpected(done.error());
  }

  lowered.outputs.reserve(graph.outputs().size());
  for (const graph::ValueId output : graph.outputs()) {
    const auto value = lookup(scope, output);
    if (!value) return std::unexpected(value.error());
    lowered.outputs.push_back(*value);
  }

  if (state.exhausted()) return std::unexpected(LoweringError::TooManyValues{});
  lowered.estimated_cost = total_cost(lowered.operations);
  lowered.values = std::move(state).take_values();
  return lowered;
}

}  // namespace detail

std::expected<MidGraph, LoweringError> lower(const graph::ComputeGraph& graph, const LoweringConfig& config,
                                             const CostModel& model) {
  return detail::lower(graph, config, model, LoweringState::kMaxValues);
}

}  // namespace vorn_codegen::mid
