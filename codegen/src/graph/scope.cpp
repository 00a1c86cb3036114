#include "scope.hpp"

#include <limits>
#include <stdexcept>
#include <utility>

#include "shape_inference.hpp"

namespace vorn_codegen::graph::detail {

std::optional<GraphError::UnknownValue> first_undefined(const ValueSet& values, std::span<const ValueId> inputs) {
  for (const ValueId input : inputs) {
    if (!values.contains(input)) return GraphError::UnknownValue{input};
  }
  return std::nullopt;
}

void require_numbers(std::uint32_t counter, std::size_t count) {
  constexpr std::uint32_t kLimit = std::numeric_limits<std::uint32_t>::max();
  if (count > kLimit - counter) throw std::length_error("vorn graph: identifier numbers exhausted");
}

const Operation& append_validated(const Scope& scope, OperationKind kind, std::span<const ValueId> inputs,
                                  std::span<TensorShape> result_shapes) {
  require_numbers(scope.next_operation, 1);
  require_numbers(scope.next_value, result_shapes.size());

  const OperationId id(scope.next_operation);
  std::vector<ValueId> results;
  results.reserve(result_shapes.size());
  for (std::size_t i = 0; i < result_shapes.size(); ++i) {
    results.emplace_back(scope.next_value + static_cast<std::uint32_t>(i));
  }
  Operation operation{id, std::vector<ValueId>(inputs.begin(), inputs.end()), std::move(results), std::move(kind)};
  const std::vector<ValueId>& numbers = operation.results;
  detail::reserve_more(scope.operations, 1);
  scope.values.reserve_more(numbers.size());
  scope.shapes.reserve_more(numbers.size());

  // Nothing below allocates or throws.
  scope.next_operation += 1;
  scope.next_value += static_cast<std::uint32_t>(numbers.size());
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    scope.values.insert(numbers[i]);
    scope.shapes.insert(numbers[i], std::move(result_shapes[i]));
  }
  scope.operations.push_back(std::move(operation));
  return scope.operations.back();
}

std::expected<std::vector<ValueId>, GraphError> append_operation(const Scope& scope, OperationKind kind,
                                                                 std::span<const ValueId> inputs,
                                                                 std::vector<TensorShape> result_shapes) {
  if (auto undefined = first_undefined(scope.values, inputs)) return std::unexpected<GraphError>(*undefined);
  return append_validated(scope, std::move(kind), inputs, result_shapes).results;
}

std::expected<ValueId, GraphError> append_inferred(const Scope& scope, const OperationKind& kind,
                                                   std::span<const ValueId> inputs) {
  if (auto undefined = first_undefined(scope.values, inputs)) return std::unexpected<GraphError>(*undefined);
  auto shape = infer_shape(kind, inputs, scope.shapes);
  if (!shape) return std::unexpected(std::move(shape).error());
  return append_validated(scope, kind, inputs, std::span(&*shape, 1)).results.front();
}

}  // namespace vorn_codegen::graph::detail
