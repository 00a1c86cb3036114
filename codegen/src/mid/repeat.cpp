#include <utility>

#include "context.hpp"
#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid::detail {
namespace {

// Whether the record fits its operation and the graph the way the graph's repeat builder makes
// it: inputs are the carried then the invariant values, one result and one yield per carried
// value, one body argument per input and per iterated sequence, and every iterated sequence a
// sequence of the graph with at least `count` entries (and at least one). A loop built through the
// general `operation` can break any of these; lowering it anyway would read out of range.
bool well_formed(const graph::Operation& operation, const graph::Repeat& repeat, const graph::ComputeGraph& graph) {
  const std::size_t inputs = operation.inputs.size();
  const graph::Region& body = *repeat.body;
  if (repeat.carried_inputs > inputs || repeat.invariant_inputs != inputs - repeat.carried_inputs) return false;
  if (operation.results.size() != repeat.carried_inputs || body.yields.size() != repeat.carried_inputs) return false;
  if (body.arguments.size() < inputs || body.arguments.size() - inputs != repeat.iterated_inputs.size()) return false;
  const auto& sequences = graph.sequences();
  for (const graph::ValueSequenceId sequence : repeat.iterated_inputs) {
    if (sequence.index() >= sequences.size()) return false;
    const std::size_t entries = sequences[sequence.index()].values.size();
    if (entries == 0 || entries < repeat.count) return false;
  }
  return true;
}

// The sequence's elements looked up in `scope` and brought to the first element's type, which is
// returned as the type of the body argument that stands for them.
std::expected<TensorType, LoweringError> lower_sequence(const graph::ValueSequence& sequence, graph::OperationId loop,
                                                        const ScopeMap& scope, const CostModel& model,
                                                        LoweringState& state, std::vector<MidOperation>& operations,
                                                        std::vector<MidValueId>& elements) {
  elements.reserve(sequence.values.size());
  for (const graph::ValueId value : sequence.values) {
    const auto element = lookup(scope, value);
    if (!element) return std::unexpected(element.error());
    elements.push_back(*element);
  }
  TensorType type = state.get(elements.front()).tensor_type;
  for (MidValueId& element : elements) element = ensure_format(element, type.format, loop, model, state, operations);
  return type;
}

}  // namespace

std::expected<void, LoweringError> append_repeat(Lowering& lowering, const graph::Operation& operation,
                                                 const graph::Repeat& repeat, ScopeMap& scope,
                                                 std::vector<MidOperation>& operations) {
  const graph::ComputeGraph& graph = lowering.graph;
  const CostModel& model = lowering.model;
  LoweringState& state = lowering.state;
  if (!well_formed(operation, repeat, graph)) return std::unexpected(LoweringError::MalformedOperation{operation.id});
  const graph::Region& region = *repeat.body;

  std::vector<MidValueId> operands;
  std::vector<TensorType> argument_types;
  operands.reserve(operation.inputs.size());
  argument_types.reserve(region.arguments.size());
  for (const graph::ValueId input : operation.inputs) {
    const auto operand = lookup(scope, input);
    if (!operand) return std::unexpected(operand.error());
    operands.push_back(*operand);
    argument_types.push_back(state.get(*operand).tensor_type);
  }

  std::vector<std::vector<MidValueId>> iterated(repeat.iterated_inputs.size());
  for (std::size_t i = 0; i < iterated.size(); ++i) {
    const graph::ValueSequence& sequence = graph.sequences()[repeat.iterated_inputs[i].index()];
    auto type = lower_sequence(sequence, operation.id, scope, model, state, operations, iterated[i]);
    if (!type) return std::unexpected(type.error());
    argument_types.push_back(*std::move(type));
  }

  // The body sees its own arguments and results only; an outer value enters as an invariant.
  ScopeMap body_scope;
  MidRegion body;
  body.arguments.reserve(region.arguments.size());
  for (std::size_t i = 0; i < region.arguments.size(); ++i) {
    const MidValueId argument = state.value(region.arguments[i], std::move(argument_types[i]));
    body_scope.insert(region.arguments[i], argument);
    body.arguments.push_back(argument);
  }

  body.operations.reserve(kRoomPerOperation * region.operations.size());
  if (auto done = append_operations(lowering, region.operations, body_scope, region.value_shapes, body.operations);
      !done) {
    return std::unexpected(done.error());
  }

  // Each yield goes back to its carried value's format, so every iteration starts alike.
  body.yields.reserve(region.yields.size());
  for (std::size_t i = 0; i < region.yields.size(); ++i) {
    const auto yield = lookup(body_scope, region.yields[i]);
    if (!yield) return std::unexpected(yield.error());
    const TensorFormat carried = state.get(operands[i]).tensor_type.format;
    body.yields.push_back(ensure_format(*yield, carried, operation.id, model, state, body.operations));
  }
  body.estimated_cost = total_cost(body.operations);

  std::vector<MidValueId> results;
  results.reserve(operation.results.size());
  for (std::size_t i = 0; i < operation.results.size(); ++i) {
    const MidValueId result = state.value(operation.results[i], TensorType(state.get(operands[i]).tensor_type));
    scope.insert(operation.results[i], result);
    results.push_back(result);
  }

  const std::uint64_t cost = saturating_mul(body.estimated_cost, repeat.count);
  operations.push_back(MidOperation{
      operation.id, std::move(operands), std::move(results),
      MidRepeat{repeat.count, repeat.carried_inputs, repeat.invariant_inputs, std::move(iterated), std::move(body)},
      cost});
  return {};
}

std::expected<void, LoweringError> lower_repeat(const graph::Operation& operation, const graph::Repeat& repeat,
                                                ScopeMap& scope, const graph::ComputeGraph& graph,
                                                const LoweringConfig& config, const CostModel& model,
                                                LoweringState& state, std::vector<MidOperation>& operations) {
  Lowering lowering{graph, config, model, state, {}};
  return append_repeat(lowering, operation, repeat, scope, operations);
}

}  // namespace vorn_codegen::mid::detail
