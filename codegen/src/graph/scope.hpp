// What the graph and a repeat body share when they grow: input validation, identifier
// allocation and appending one operation to a scope. Internal to the graph module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <vector>

#include "vorn/codegen/graph/records.hpp"
#include "vorn/codegen/graph/types.hpp"

namespace vorn_codegen::graph::detail {

// The parts of one scope an operation is appended to (the graph's own, or a body's) and the
// graph's counters it numbers from.
struct Scope {
  std::vector<Operation>& operations;
  ValueSet& values;
  ShapeMap& shapes;
  std::uint32_t& next_operation;
  std::uint32_t& next_value;
};

// The UnknownValue error for the first input, in list order, that is not in `values`, if any.
// (Returned bare rather than as an expected: moving a GraphError between expecteds trips g++ 12's
// -Wmaybe-uninitialized at -O2.)
[[nodiscard]] std::optional<GraphError::UnknownValue> first_undefined(const ValueSet& values,
                                                                      std::span<const ValueId> inputs);

// Throws std::length_error unless `count` more numbers can be taken from `counter` without
// handing out 2^32 - 1 (the counter never wraps).
void require_numbers(std::uint32_t counter, std::size_t count);

// Appends an operation whose inputs the caller has validated and returns it; the result shapes are
// moved from. Everything that can throw (allocation, an exhausted counter) happens before the
// scope changes.
const Operation& append_validated(const Scope& scope, OperationKind kind, std::span<const ValueId> inputs,
                                  std::span<TensorShape> result_shapes);

// Validates the inputs, then appends.
[[nodiscard]] std::expected<std::vector<ValueId>, GraphError> append_operation(const Scope& scope, OperationKind kind,
                                                                               std::span<const ValueId> inputs,
                                                                               std::vector<TensorShape> result_shapes);

// Validates the inputs, infers the single result's shape and appends the operation.
[[nodiscard]] std::expected<ValueId, GraphError> append_inferred(const Scope& scope, const OperationKind& kind,
                                                                 std::span<const ValueId> inputs);

}  // namespace vorn_codegen::graph::detail
