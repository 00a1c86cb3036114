// What every level of one lowering shares: its arguments, its value table, and the buffers that
// pricing reuses from one operation to the next (a loop body included), so that a warm lowering
// prices without allocating.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid::detail {

// Room reserved per graph operation, in lowered operations and in values: a kernel and a
// conversion or two. Tables that outgrow it still grow; reserving spares the moves of the common
// case (and the untouched part of a large reservation costs address space, not memory).
inline constexpr std::size_t kRoomPerOperation = 2;
inline constexpr std::size_t kValuesPerOperation = 3;

struct Scratch {
  std::vector<MidValueId> operands;
  std::vector<TensorFormat> formats;
  std::vector<Plan> plans;
  std::vector<TensorType> planned;
  std::optional<TensorType> planned_output;
};

struct Lowering {
  const graph::ComputeGraph& graph;
  const LoweringConfig& config;
  const CostModel& model;
  LoweringState& state;
  Scratch scratch;
};

// lower_operations and lower_repeat on a shared context, appending to `lowered`.
[[nodiscard]] std::expected<void, LoweringError> append_operations(Lowering& lowering,
                                                                   std::span<const graph::Operation> operations,
                                                                   ScopeMap& scope, const graph::ShapeMap& shapes,
                                                                   std::vector<MidOperation>& lowered);
[[nodiscard]] std::expected<void, LoweringError> append_repeat(Lowering& lowering, const graph::Operation& operation,
                                                               const graph::Repeat& repeat, ScopeMap& scope,
                                                               std::vector<MidOperation>& lowered);

}  // namespace vorn_codegen::mid::detail
