// Shape inference: the shape of an operation's single result from its kind and input shapes.
// Internal to the graph module (the graph and the region builder call it on their own scopes).
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "vorn/codegen/graph/records.hpp"
#include "vorn/codegen/graph/types.hpp"

namespace vorn_codegen::graph::detail {

// Right-aligned broadcasting: a missing leading extent counts as 1, an extent of 1 stretches to
// the other side's, and any other pair of different extents is an error naming the outermost
// clash, left extent first.
[[nodiscard]] std::expected<std::vector<std::uint32_t>, GraphError> broadcast(std::span<const std::uint32_t> left,
                                                                              std::span<const std::uint32_t> right);

// The result shape of `kind` applied to `inputs`, each looked up in `shapes`. Fails only with
// InvalidShape; an input without a shape counts as missing ("wrong input arity"). Inputs beyond
// those the kind uses are ignored.
[[nodiscard]] std::expected<TensorShape, GraphError> infer_shape(const OperationKind& kind,
                                                                 std::span<const ValueId> inputs,
                                                                 const ShapeMap& shapes);

}  // namespace vorn_codegen::graph::detail
