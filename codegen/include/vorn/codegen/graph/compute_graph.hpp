// ComputeGraph: a graph of tensor operations, validated and shape-inferred as it grows.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "vorn/codegen/graph/records.hpp"
#include "vorn/codegen/graph/region_builder.hpp"
#include "vorn/codegen/graph/types.hpp"

namespace vorn_codegen::graph {

namespace detail {
struct CounterAccess;  // test hook: lets tests place a counter near its limit
struct Scope;
}  // namespace detail

// A repeat's body builder: called once with the body's scope and its arguments, it appends the
// body's operations and returns the values it yields (yield i for carried value i) or the error
// that fails the repeat. A template rather than std::function, so a lambda costs no allocation
// and no indirect call.
template <class F>
concept BodyBuilder = std::invocable<F, RegionBuilder&, const RepeatArguments&> &&
    std::convertible_to<std::invoke_result_t<F, RegionBuilder&, const RepeatArguments&>,
                        std::expected<std::vector<ValueId>, GraphError>>;

// The graph under construction, and once built the input of the lowering.
//
// Every building call checks everything before it changes anything, so a failed call leaves the
// graph exactly as it was, identifier counters included. The one exception is a repeat whose body
// builder fails (or whose yields are rejected): the graph's lists, value set and shape map stay as
// they were, but the counters keep the numbers the body took (its arguments, then each body
// operation and its results) and never hand them out again.
//
// Identifiers: one counter each for values, operations and sequences, shared with repeat bodies;
// the accessors next_value(), next_operation() and next_sequence() show the number the next
// allocation will take. A counter never wraps: the number 2^32 - 1 is never handed out, and a
// call that would need it throws std::length_error before it changes anything (as a container
// throws past its max_size; memory runs out long before in any realistic graph). A throw inside a
// repeat body, that one included, leaves the graph as a failed repeat does.
//
// Any list argument takes a span (a vector, an array) or a braced list: `host_input("x", {32, 64})`,
// `set_outputs({v})`, `repeat(2, {state}, {}, {weights}, body)`. A call with several lists takes
// them all as spans or all as braced lists (an empty `{}` also serves as an empty span).
class ComputeGraph {
 public:
  ComputeGraph() = default;

  // Read-only views.
  [[nodiscard]] const std::vector<GraphInput>& inputs() const noexcept { return inputs_; }
  [[nodiscard]] const std::vector<ValueSequence>& sequences() const noexcept { return sequences_; }
  [[nodiscard]] const std::vector<Operation>& operations() const noexcept { return operations_; }
  [[nodiscard]] const std::vector<ValueId>& outputs() const noexcept { return outputs_; }
  [[nodiscard]] const ValueSet& values() const noexcept { return values_; }
  [[nodiscard]] const ShapeMap& value_shapes() const noexcept { return shapes_; }
  // A copy of the shape of a top-level value; nothing for any other value (repeat body values
  // included). value_shapes().lookup(value) reads it without copying.
  [[nodiscard]] std::optional<TensorShape> value_shape(ValueId value) const;

  [[nodiscard]] std::uint32_t next_value() const noexcept { return next_value_; }
  [[nodiscard]] std::uint32_t next_operation() const noexcept { return next_operation_; }
  [[nodiscard]] std::uint32_t next_sequence() const noexcept { return next_sequence_; }

  // Graph inputs: any rank and any extents; fail only with EmptyName.
  [[nodiscard]] std::expected<ValueId, GraphError> host_input(std::string_view name,
                                                              std::span<const std::uint32_t> dimensions);
  [[nodiscard]] std::expected<ValueId, GraphError> host_input(std::string_view name,
                                                              std::initializer_list<std::uint32_t> dimensions);
  [[nodiscard]] std::expected<ValueId, GraphError> parameter(std::string_view name,
                                                             std::span<const std::uint32_t> dimensions);
  [[nodiscard]] std::expected<ValueId, GraphError> parameter(std::string_view name,
                                                             std::initializer_list<std::uint32_t> dimensions);

  // Operations with one inferred result: UnknownValue for the first undefined input, then
  // InvalidShape from shape inference.
  [[nodiscard]] std::expected<ValueId, GraphError> gemm(ValueId left, ValueId right);
  [[nodiscard]] std::expected<ValueId, GraphError> add(ValueId left, ValueId right);
  [[nodiscard]] std::expected<ValueId, GraphError> flash_attention(ValueId query, ValueId key, ValueId value);
  [[nodiscard]] std::expected<ValueId, GraphError> inferred_result(const OperationKind& kind,
                                                                   std::span<const ValueId> inputs);
  [[nodiscard]] std::expected<ValueId, GraphError> inferred_result(const OperationKind& kind,
                                                                   std::initializer_list<ValueId> inputs);

  // Any kind, with explicit result shapes (possibly none); checks only that the inputs are defined.
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> operation(OperationKind kind,
                                                                          std::span<const ValueId> inputs,
                                                                          std::span<const TensorShape> result_shapes);
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> operation(
      OperationKind kind, std::initializer_list<ValueId> inputs, std::initializer_list<TensorShape> result_shapes);

  // Replaces the outputs (any list, duplicates kept, empty allowed); the old ones stay on failure.
  [[nodiscard]] std::expected<void, GraphError> set_outputs(std::span<const ValueId> outputs);
  [[nodiscard]] std::expected<void, GraphError> set_outputs(std::initializer_list<ValueId> outputs);

  // A named list of top-level values of one shape: EmptyName, UnknownValue, SequenceShape.
  [[nodiscard]] std::expected<ValueSequenceId, GraphError> value_sequence(std::string_view name,
                                                                          std::span<const ValueId> values);
  [[nodiscard]] std::expected<ValueSequenceId, GraphError> value_sequence(std::string_view name,
                                                                          std::initializer_list<ValueId> values);

  // A counted loop: `count` iterations over the carried values, with the invariant values and one
  // entry of each iterated sequence per iteration. `build` runs once, synchronously, to build the
  // body (see BodyBuilder); its error fails the repeat unchanged, and an exception it throws
  // propagates with the graph left as after a failed repeat. Returns one result per carried value.
  // Errors in order: EmptyRepeat; UnknownValue (carried, then invariants); UnknownSequence or
  // ShortSequence (per sequence); the body's error; YieldArity; YieldShape.
  template <BodyBuilder F>
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> repeat(std::uint32_t count,
                                                                       std::span<const ValueId> carried,
                                                                       std::span<const ValueId> invariants,
                                                                       std::span<const ValueSequenceId> iterated,
                                                                       F&& build);
  template <BodyBuilder F>
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> repeat(std::uint32_t count,
                                                                       std::initializer_list<ValueId> carried,
                                                                       std::initializer_list<ValueId> invariants,
                                                                       std::initializer_list<ValueSequenceId> iterated,
                                                                       F&& build) {
    return repeat(count, std::span<const ValueId>(carried), std::span<const ValueId>(invariants),
                  std::span<const ValueSequenceId>(iterated), std::forward<F>(build));
  }

  friend bool operator==(const ComputeGraph&, const ComputeGraph&) = default;

 private:
  friend struct detail::CounterAccess;

  // A repeat's arguments once checked, owned so that a body builder cannot pull them away.
  struct RepeatPlan {
    std::uint32_t count;
    std::vector<ValueId> inputs;  // carried, then invariants
    std::size_t carried;
    std::vector<ValueSequenceId> iterated;
    std::vector<TensorShape> argument_shapes;  // carried, invariants, first entry of each sequence;
                                               // moved into the body when it is built
  };

  // The graph's own lists and counters, as the shared append routines take them.
  [[nodiscard]] detail::Scope scope();
  [[nodiscard]] std::expected<ValueId, GraphError> input(std::string_view name, GraphInputKind kind,
                                                         std::span<const std::uint32_t> dimensions);
  // Everything a repeat checks before its body is built; takes no number.
  [[nodiscard]] std::expected<RepeatPlan, GraphError> plan_repeat(std::uint32_t count, std::span<const ValueId> carried,
                                                                  std::span<const ValueId> invariants,
                                                                  std::span<const ValueSequenceId> iterated) const;
  // Checks the yields, then appends the Repeat operation holding the finished body.
  [[nodiscard]] std::expected<std::vector<ValueId>, GraphError> append_repeat(RepeatPlan plan, RegionBuilder& body,
                                                                              std::vector<ValueId> yields);

  std::vector<GraphInput> inputs_;
  std::vector<ValueSequence> sequences_;
  std::vector<Operation> operations_;
  std::vector<ValueId> outputs_;
  ValueSet values_;
  ShapeMap shapes_;
  std::uint32_t next_operation_ = 0;
  std::uint32_t next_value_ = 0;
  std::uint32_t next_sequence_ = 0;
};

template <BodyBuilder F>
std::expected<std::vector<ValueId>, GraphError> ComputeGraph::repeat(std::uint32_t count,
                                                                     std::span<const ValueId> carried,
                                                                     std::span<const ValueId> invariants,
                                                                     std::span<const ValueSequenceId> iterated,
                                                                     F&& build) {
  auto plan = plan_repeat(count, carried, invariants, iterated);
  if (!plan) return std::unexpected(std::move(plan).error());
  // From here on numbers are taken: the arguments now, the body's operations inside `build`.
  RegionBuilder body(plan->argument_shapes, next_operation_, next_value_);
  const RepeatArguments arguments = body.split_arguments(plan->carried, plan->inputs.size() - plan->carried);
  std::expected<std::vector<ValueId>, GraphError> yields = std::invoke(std::forward<F>(build), body, arguments);
  if (!yields) return std::unexpected(std::move(yields).error());
  return append_repeat(*std::move(plan), body, *std::move(yields));
}

// A readable multi-line dump: inputs, sequences, operations (repeat bodies indented) and outputs,
// every value with its shape. For people; the format may change.
std::string to_string(const ComputeGraph& graph);
std::ostream& operator<<(std::ostream& out, const ComputeGraph& graph);

}  // namespace vorn_codegen::graph
