// The lowering entry: a compute graph in, a graph of concrete formats and kernel calls out.
#pragma once

#include <expected>

#include "vorn/codegen/graph.hpp"
#include "vorn/codegen/mid/cost.hpp"
#include "vorn/codegen/mid/model.hpp"

namespace vorn_codegen::mid {

// Lowers `graph`: each input gets its configured format; each operation is priced under every
// candidate plan with `model`, the cheapest (the earliest among equals) is taken, its operands are
// cast and rearranged into the plan's formats and its kernel appended; loops are lowered with
// their bodies planned the same way. Returns the first error met, and nothing partial.
//
// Deterministic: the same graph, configuration and model give the same MidGraph, identifiers
// included. Reads its arguments only, so lowerings on different threads are independent.
//
// Beyond what the graph's own builders produce, operations appended through the general
// `operation` are handled soundly: operands beyond a plan's formats are neither priced nor passed
// on (a matrix product given three operands uses the first two); results beyond the first get no
// lowered value; an operation without results, or a loop whose record disagrees with its
// operands, results, body or sequences, is MalformedOperation.
[[nodiscard]] std::expected<MidGraph, LoweringError> lower(const graph::ComputeGraph& graph,
                                                           const LoweringConfig& config, const CostModel& model);

}  // namespace vorn_codegen::mid
