#include "vorn/codegen/graph/compute_graph.hpp"

#include <utility>

#include "scope.hpp"

namespace vorn_codegen::graph {

namespace {

template <class T>
std::span<const T> view(std::initializer_list<T> list) {
  return std::span<const T>(list.begin(), list.size());
}

}  // namespace

detail::Scope ComputeGraph::scope() { return {operations_, values_, shapes_, next_operation_, next_value_}; }

std::optional<TensorShape> ComputeGraph::value_shape(ValueId value) const {
  const TensorShape* shape = shapes_.lookup(value);
  return shape == nullptr ? std::nullopt : std::optional<TensorShape>(*shape);
}

std::expected<ValueId, GraphError> ComputeGraph::input(std::string_view name, GraphInputKind kind,
                                                       std::span<const std::uint32_t> dimensions) {
  // Only length 0 counts as empty: a name of blanks is a name.
  if (name.empty()) return std::unexpected<GraphError>(GraphError::EmptyName{});
  detail::require_numbers(next_value_, 1);
  const ValueId value(next_value_);
  GraphInput record{std::string(name), kind, value, TensorShape(dimensions)};
  TensorShape shape = record.shape;
  detail::reserve_more(inputs_, 1);
  values_.reserve_more(1);
  shapes_.reserve_more(1);

  next_value_ += 1;
  values_.insert(value);
  shapes_.insert(value, std::move(shape));
  inputs_.push_back(std::move(record));
  return value;
}

std::expected<ValueId, GraphError> ComputeGraph::host_input(std::string_view name,
                                                            std::span<const std::uint32_t> dimensions) {
  return input(name, GraphInputKind::Host, dimensions);
}
std::expected<ValueId, GraphError> ComputeGraph::host_input(std::string_view name,
                                                            std::initializer_list<std::uint32_t> dimensions) {
  return input(name, GraphInputKind::Host, view(dimensions));
}
std::expected<ValueId, GraphError> ComputeGraph::parameter(std::string_view name,
                                                           std::span<const std::uint32_t> dimensions) {
  return input(name, GraphInputKind::Parameter, dimensions);
}
std::expected<ValueId, GraphError> ComputeGraph::parameter(std::string_view name,
                                                           std::initializer_list<std::uint32_t> dimensions) {
  return input(name, GraphInputKind::Parameter, view(dimensions));
}

std::expected<ValueId, GraphError> ComputeGraph::gemm(ValueId left, ValueId right) {
  return inferred_result(OperationKind::Gemm{}, {left, right});
}
std::expected<ValueId, GraphError> ComputeGraph::add(ValueId left, ValueId right) {
  return inferred_result(OperationKind::Add{}, {left, right});
}
std::expected<ValueId, GraphError> ComputeGraph::flash_attention(ValueId query, ValueId key, ValueId value) {
  return inferred_result(OperationKind::FlashAttention{}, {query, key, value});
}

std::expected<ValueId, GraphError> ComputeGraph::inferred_result(const OperationKind& kind,
                                                                 std::span<const ValueId> inputs) {
  return detail::append_inferred(scope(), kind, inputs);
}
std::expected<ValueId, GraphError> ComputeGraph::inferred_result(const OperationKind& kind,
                                                                 std::initializer_list<ValueId> inputs) {
  return inferred_result(kind, view(inputs));
}

std::expected<std::vector<ValueId>, GraphError> ComputeGraph::operation(OperationKind kind,
                                                                        std::span<const ValueId> inputs,
                                                                        std::span<const TensorShape> result_shapes) {
  return detail::append_operation(scope(), std::move(kind), inputs, {result_shapes.begin(), result_shapes.end()});
}
std::expected<std::vector<ValueId>, GraphError> ComputeGraph::operation(
    OperationKind kind, std::initializer_list<ValueId> inputs, std::initializer_list<TensorShape> result_shapes) {
  return operation(std::move(kind), view(inputs), view(result_shapes));
}

std::expected<void, GraphError> ComputeGraph::set_outputs(std::span<const ValueId> outputs) {
  if (auto undefined = detail::first_undefined(values_, outputs)) return std::unexpected<GraphError>(*undefined);
  // Copied before it replaces the list: `outputs` may be a view of outputs_ itself.
  outputs_ = std::vector<ValueId>(outputs.begin(), outputs.end());
  return {};
}
std::expected<void, GraphError> ComputeGraph::set_outputs(std::initializer_list<ValueId> outputs) {
  return set_outputs(view(outputs));
}

std::expected<ValueSequenceId, GraphError> ComputeGraph::value_sequence(std::string_view name,
                                                                        std::span<const ValueId> values) {
  if (name.empty()) return std::unexpected<GraphError>(GraphError::EmptyName{});
  if (auto undefined = detail::first_undefined(values_, values)) return std::unexpected<GraphError>(*undefined);
  if (!values.empty()) {
    const TensorShape& first = *shapes_.lookup(values.front());
    for (std::size_t entry = 1; entry < values.size(); ++entry) {
      if (*shapes_.lookup(values[entry]) != first) return std::unexpected<GraphError>(GraphError::SequenceShape{entry});
    }
  }
  detail::require_numbers(next_sequence_, 1);
  const ValueSequenceId id(next_sequence_);
  ValueSequence sequence{id, std::string(name), std::vector<ValueId>(values.begin(), values.end())};
  detail::reserve_more(sequences_, 1);

  next_sequence_ += 1;
  sequences_.push_back(std::move(sequence));
  return id;
}
std::expected<ValueSequenceId, GraphError> ComputeGraph::value_sequence(std::string_view name,
                                                                        std::initializer_list<ValueId> values) {
  return value_sequence(name, view(values));
}

std::expected<ComputeGraph::RepeatPlan, GraphError> ComputeGraph::plan_repeat(
    std::uint32_t count, std::span<const ValueId> carried, std::span<const ValueId> invariants,
    std::span<const ValueSequenceId> iterated) const {
  if (count == 0) return std::unexpected<GraphError>(GraphError::EmptyRepeat{});
  if (auto undefined = detail::first_undefined(values_, carried)) return std::unexpected<GraphError>(*undefined);
  if (auto undefined = detail::first_undefined(values_, invariants)) return std::unexpected<GraphError>(*undefined);
  for (const ValueSequenceId sequence : iterated) {
    if (sequence.index() >= sequences_.size())
      return std::unexpected<GraphError>(GraphError::UnknownSequence{sequence});
    const std::size_t available = sequences_[sequence.index()].values.size();
    if (available < count) return std::unexpected<GraphError>(GraphError::ShortSequence{sequence, available, count});
  }

  RepeatPlan plan{count, {}, carried.size(), {iterated.begin(), iterated.end()}, {}};
  plan.inputs.reserve(carried.size() + invariants.size());
  plan.inputs.insert(plan.inputs.end(), carried.begin(), carried.end());
  plan.inputs.insert(plan.inputs.end(), invariants.begin(), invariants.end());
  plan.argument_shapes.reserve(plan.inputs.size() + iterated.size());
  for (const ValueId input : plan.inputs) plan.argument_shapes.push_back(*shapes_.lookup(input));
  for (const ValueSequenceId sequence : iterated) {
    // Every iterated sequence holds at least `count` >= 1 entries, so it has a first one.
    plan.argument_shapes.push_back(*shapes_.lookup(sequences_[sequence.index()].values.front()));
  }
  return plan;
}

std::expected<std::vector<ValueId>, GraphError> ComputeGraph::append_repeat(RepeatPlan plan, RegionBuilder& body,
                                                                            std::vector<ValueId> yields) {
  if (yields.size() != plan.carried)
    return std::unexpected<GraphError>(GraphError::YieldArity{plan.carried, yields.size()});
  // The carried arguments' shapes are the carried values' shapes, taken before the body ran, and
  // they are the shapes of the results.
  std::vector<TensorShape> result_shapes;
  result_shapes.reserve(plan.carried);
  for (std::size_t i = 0; i < yields.size(); ++i) {
    const TensorShape& carried = *body.shapes_.lookup(body.arguments_[i]);
    const TensorShape* shape = body.shapes_.lookup(yields[i]);
    if (shape == nullptr || *shape != carried) return std::unexpected<GraphError>(GraphError::YieldShape{i});
    result_shapes.push_back(carried);
  }
  // Every yield has a shape in the body, so it is in the body's scope: finishing cannot fail.
  Region region = body.finish(std::move(yields));

  const std::size_t invariants = plan.inputs.size() - plan.carried;
  Repeat record{plan.count, plan.carried, invariants, std::move(plan.iterated), std::move(region)};
  // Validated again rather than trusted: a body builder that captured the graph could have
  // replaced it while the body was built.
  return detail::append_operation(scope(), std::move(record), plan.inputs, std::move(result_shapes));
}

}  // namespace vorn_codegen::graph
