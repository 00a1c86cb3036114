// What a repeat's body builder works with: the region builder (the body's own scope) and the
// body's arguments.
#pragma once

#include <cstdint>
#include <expected>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "vorn/codegen/graph/records.hpp"
#include "vorn/codegen/graph/types.hpp"

namespace vorn_codegen::graph {

class ComputeGraph;

// The body's arguments in their three groups, each in the order of what it stands for.
struct RepeatArguments {
  std::vector<ValueId> carried;     // one per carried value
  std::vector<ValueId> invariants;  // one per invariant value
  std::vector<ValueId> iterated;    // one per iterated sequence

  friend bool operator==(const RepeatArguments&, const RepeatArguments&) = default;
};

// The scope in which a repeat body is built. It knows only the body's arguments and the results
// of the body's own operations (an outer value is UnknownValue here; it enters the body as an
// invariant), but it numbers operations and values from the graph's own counters, so body
// identifiers never collide with graph identifiers.
//
// Only ComputeGraph::repeat creates one, for the duration of the body builder's call. It can be
// neither copied nor moved, so no builder outlives the repeat that lends it the counters.
class RegionBuilder {
 public:
  RegionBuilder(const RegionBuilder&) = delete;
  RegionBuilder& operator=(const RegionBuilder&) = delete;
  ~RegionBuilder() = default;

  // As their ComputeGraph counterparts, within the body's scope.
  [[nodiscard]] std::expected<ValueId, GraphError> gemm(ValueId left, ValueId right);
  [[nodiscard]] std::expected<ValueId, GraphError> inferred_result(const OperationKind& kind,
                                                                   std::span<const ValueId> inputs);
  [[nodiscard]] std::expected<ValueId, GraphError> inferred_result(const OperationKind& kind,
                                                                   std::initializer_list<ValueId> inputs);
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> operation(OperationKind kind,
                                                                          std::span<const ValueId> inputs,
                                                                          std::span<const TensorShape> result_shapes);
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> operation(
      OperationKind kind, std::initializer_list<ValueId> inputs, std::initializer_list<TensorShape> result_shapes);

  // Read-only views of the body built so far.
  [[nodiscard]] const std::vector<ValueId>& arguments() const noexcept { return arguments_; }
  [[nodiscard]] const std::vector<Operation>& operations() const noexcept { return operations_; }
  [[nodiscard]] const ValueSet& values() const noexcept { return values_; }
  [[nodiscard]] const ShapeMap& value_shapes() const noexcept { return shapes_; }
  [[nodiscard]] std::optional<TensorShape> value_shape(ValueId value) const;

 private:
  friend class ComputeGraph;

  // Allocates one argument per shape from `next_value` (argument i has shape i, moved in).
  RegionBuilder(std::span<TensorShape> argument_shapes, std::uint32_t& next_operation, std::uint32_t& next_value);

  // The arguments split into their groups: `carried` first, then `invariants`, then the rest.
  [[nodiscard]] RepeatArguments split_arguments(std::size_t carried, std::size_t invariants) const;

  // Moves the body out as a Region with these yields, which the caller has checked to be body
  // values (each has a body shape). The builder is empty afterwards.
  [[nodiscard]] Region finish(std::vector<ValueId> yields);

  std::vector<ValueId> arguments_;
  std::vector<Operation> operations_;
  ValueSet values_;
  ShapeMap shapes_;
  std::uint32_t& next_operation_;
  std::uint32_t& next_value_;
};

std::string to_string(const RepeatArguments& arguments);
std::ostream& operator<<(std::ostream& out, const RepeatArguments& arguments);

}  // namespace vorn_codegen::graph
