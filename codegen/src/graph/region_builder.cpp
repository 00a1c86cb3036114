#include "vorn/codegen/graph/region_builder.hpp"

#include <utility>

#include "scope.hpp"

namespace vorn_codegen::graph {

RegionBuilder::RegionBuilder(std::span<TensorShape> argument_shapes, std::uint32_t& next_operation,
                             std::uint32_t& next_value)
    : next_operation_(next_operation), next_value_(next_value) {
  detail::require_numbers(next_value, argument_shapes.size());
  arguments_.reserve(argument_shapes.size());
  values_.reserve_more(argument_shapes.size());
  shapes_.reserve_more(argument_shapes.size());
  for (std::size_t i = 0; i < argument_shapes.size(); ++i) {
    const ValueId argument(next_value + static_cast<std::uint32_t>(i));
    arguments_.push_back(argument);
    values_.insert(argument);
    shapes_.insert(argument, std::move(argument_shapes[i]));
  }
  // Taken only once nothing can throw any more.
  next_value += static_cast<std::uint32_t>(argument_shapes.size());
}

RepeatArguments RegionBuilder::split_arguments(std::size_t carried, std::size_t invariants) const {
  const auto first = arguments_.begin();
  const auto carried_end = first + static_cast<std::ptrdiff_t>(carried);
  const auto invariants_end = carried_end + static_cast<std::ptrdiff_t>(invariants);
  return RepeatArguments{{first, carried_end}, {carried_end, invariants_end}, {invariants_end, arguments_.end()}};
}

std::expected<ValueId, GraphError> RegionBuilder::gemm(ValueId left, ValueId right) {
  return inferred_result(OperationKind::Gemm{}, {left, right});
}

std::expected<ValueId, GraphError> RegionBuilder::inferred_result(const OperationKind& kind,
                                                                  std::span<const ValueId> inputs) {
  return detail::append_inferred({operations_, values_, shapes_, next_operation_, next_value_}, kind, inputs);
}

std::expected<ValueId, GraphError> RegionBuilder::inferred_result(const OperationKind& kind,
                                                                  std::initializer_list<ValueId> inputs) {
  return inferred_result(kind, std::span<const ValueId>(inputs));
}

std::expected<std::vector<ValueId>, GraphError> RegionBuilder::operation(OperationKind kind,
                                                                         std::span<const ValueId> inputs,
                                                                         std::span<const TensorShape> result_shapes) {
  return detail::append_operation({operations_, values_, shapes_, next_operation_, next_value_}, std::move(kind),
                                  inputs, {result_shapes.begin(), result_shapes.end()});
}

std::expected<std::vector<ValueId>, GraphError> RegionBuilder::operation(
    OperationKind kind, std::initializer_list<ValueId> inputs, std::initializer_list<TensorShape> result_shapes) {
  return operation(std::move(kind), std::span<const ValueId>(inputs), std::span<const TensorShape>(result_shapes));
}

std::optional<TensorShape> RegionBuilder::value_shape(ValueId value) const {
  const TensorShape* shape = shapes_.lookup(value);
  return shape == nullptr ? std::nullopt : std::optional<TensorShape>(*shape);
}

Region RegionBuilder::finish(std::vector<ValueId> yields) {
  return Region{std::move(arguments_), std::move(operations_), std::move(yields), std::move(shapes_)};
}

}  // namespace vorn_codegen::graph
