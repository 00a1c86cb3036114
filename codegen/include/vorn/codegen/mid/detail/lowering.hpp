// The steps of lowering, exposed for tests and tools. Callers use vorn_codegen::mid::lower.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "vorn/codegen/graph.hpp"
#include "vorn/codegen/mid/cost.hpp"
#include "vorn/codegen/mid/format.hpp"
#include "vorn/codegen/mid/model.hpp"

namespace vorn_codegen::mid::detail {

// The lowered value of each graph value visible in one scope (the top level, or one loop body).
//
// Lookups are the hot path of lowering and nothing iterates the map, so it is a dense table
// indexed by the graph value's number, counted from the scope's first entry (a body's numbers
// start well above 0). Numbers are allocated almost densely by the graph, but a hand-built body
// could name any number, so the table grows only while it stays within a few slots per entry;
// a number beyond that, or below the first one, goes to a small ordered map instead.
class ScopeMap {
 public:
  // Sets the lowered value of `value`, replacing an earlier one.
  void insert(graph::ValueId value, MidValueId lowered);
  [[nodiscard]] std::optional<MidValueId> find(graph::ValueId value) const;

 private:
  static constexpr std::uint32_t kAbsent = LoweringState::kMaxValues;  // never handed out

  std::uint32_t base_ = 0;
  std::size_t dense_entries_ = 0;
  std::vector<std::uint32_t> dense_;  // slot n: lowered number of graph value base_ + n, or kAbsent
  std::map<graph::ValueId, MidValueId> sparse_;
};

// One candidate way to run an operation: the kernel, the format each operand must have (in
// operand order) and the format of the result.
struct Plan {
  MidKernel kernel;
  std::vector<TensorFormat> inputs;
  TensorFormat output;

  friend bool operator==(const Plan&, const Plan&) = default;
};

// The candidates for `operation`, whose lowered operands have `operand_formats`, in the fixed
// order that decides ties:
//   Gemm            one per configured precision in list order (F8F143 skipped, duplicates
//                   kept): operands in amp_left/amp_right(inner, T), inner 16 for F16 and 8 for
//                   F32, result in amp_output(T), accumulating in F32
//   Add             one per distinct operand format, ascending: [f, f] -> f
//   Gelu            the first operand's format in and out; none without an operand
//   FlashAttention  F16 then F32, all in row_major(Heads, T), accumulating in F32
//   Repeat          none; loops are lowered by lower_repeat
[[nodiscard]] std::vector<Plan> plans(const graph::Operation& operation, std::span<const TensorFormat> operand_formats,
                                      const LoweringConfig& config);

// plans, written into `buffer` from its front, reusing the plans already there so that a warm
// buffer allocates nothing. Returns the candidates: the first entries of `buffer`.
std::span<const Plan> plans_into(const graph::Operation& operation, std::span<const TensorFormat> operand_formats,
                                 const LoweringConfig& config, std::vector<Plan>& buffer);

// Brings `value` into `target`: a CastPrecision if the precision differs, then a Rearrange of the
// (cast) value if the layout differs, each appended to `operations` with `source` and its cost.
// Returns the converted value, or `value` itself when it already has the target format. Nothing
// remembers earlier conversions: every call converts afresh. `target` must not refer into `state`
// (creating values may move the state's table).
[[nodiscard]] MidValueId ensure_format(MidValueId value, const TensorFormat& target, graph::OperationId source,
                                       const CostModel& model, LoweringState& state,
                                       std::vector<MidOperation>& operations);

// The lowered value of `value` in `scope`, or UnknownValue.
[[nodiscard]] std::expected<MidValueId, LoweringError> lookup(const ScopeMap& scope, graph::ValueId value);

// Lowers one list of operations (the graph's, or a loop body's) in order, reading and extending
// `scope`, with `shapes` the shape map of the same level. Returns the lowered operations.
[[nodiscard]] std::expected<std::vector<MidOperation>, LoweringError> lower_operations(
    std::span<const graph::Operation> operations, ScopeMap& scope, const graph::ShapeMap& shapes,
    const graph::ComputeGraph& graph, const LoweringConfig& config, const CostModel& model, LoweringState& state);

// Lowers the loop `operation` with record `repeat`: sequence elements converted to their first
// element's format (appended to `operations`, before the loop), the body lowered in a scope of its
// own, yields converted back to the carried formats, then the loop appended to `operations` and
// its results entered in `scope`. Costs count the body `count` times, saturating.
[[nodiscard]] std::expected<void, LoweringError> lower_repeat(
    const graph::Operation& operation, const graph::Repeat& repeat, ScopeMap& scope, const graph::ComputeGraph& graph,
    const LoweringConfig& config, const CostModel& model, LoweringState& state, std::vector<MidOperation>& operations);

// lower, with a state that hands out at most `value_limit` identifiers (TooManyValues beyond it).
[[nodiscard]] std::expected<MidGraph, LoweringError> lower(const graph::ComputeGraph& graph,
                                                           const LoweringConfig& config, const CostModel& model,
                                                           std::size_t value_limit);

// The saturating sum of the operations' estimated costs.
[[nodiscard]] std::uint64_t total_cost(std::span<const MidOperation> operations) noexcept;

}  // namespace vorn_codegen::mid::detail
