#include "shape_inference.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <variant>

#include "vorn/detail/variant.hpp"

namespace vorn_codegen::graph::detail {
namespace {

using Extents = std::span<const std::uint32_t>;

std::unexpected<GraphError> invalid_shape(std::string message) {
  return std::unexpected<GraphError>(GraphError::InvalidShape{std::move(message)});
}

// Appends the broadcast of `left` and `right` to `out`, or returns the error of the outermost
// clash (then `out` holds a partial result).
std::optional<GraphError::InvalidShape> broadcast_into(Extents left, Extents right, std::vector<std::uint32_t>& out) {
  const std::size_t rank = std::max(left.size(), right.size());
  const std::size_t left_pad = rank - left.size();
  const std::size_t right_pad = rank - right.size();
  out.reserve(out.size() + rank);
  for (std::size_t i = 0; i < rank; ++i) {
    const std::uint32_t l = i < left_pad ? 1 : left[i - left_pad];
    const std::uint32_t r = i < right_pad ? 1 : right[i - right_pad];
    if (l != r && l != 1 && r != 1) {
      return GraphError::InvalidShape{"dimensions " + std::to_string(l) + " and " + std::to_string(r) +
                                      " cannot be broadcast"};
    }
    out.push_back(std::max(l, r));
  }
  return std::nullopt;
}

// All extents but the last two.
Extents leading(const TensorShape& shape) { return Extents(shape.dimensions).first(shape.rank() - 2); }
std::uint32_t last(const TensorShape& shape) { return shape.dimensions[shape.rank() - 1]; }
std::uint32_t second_to_last(const TensorShape& shape) { return shape.dimensions[shape.rank() - 2]; }

// Operand lookup for one inference: every operand a kind uses is looked up before anything is
// tested, so a missing operand is reported as such whatever else is wrong.
template <std::size_t N>
std::expected<std::array<const TensorShape*, N>, GraphError> operands(std::span<const ValueId> inputs,
                                                                      const ShapeMap& shapes) {
  std::array<const TensorShape*, N> found{};
  for (std::size_t i = 0; i < N; ++i) {
    found[i] = i < inputs.size() ? shapes.lookup(inputs[i]) : nullptr;
    if (found[i] == nullptr) return invalid_shape("wrong input arity");
  }
  return found;
}

// Broadcast batch extents followed by a matrix's two extents, built in one allocation.
std::expected<TensorShape, GraphError> batched_matrix(Extents left_batch, Extents right_batch, std::uint32_t rows,
                                                      std::uint32_t columns) {
  std::vector<std::uint32_t> extents;
  extents.reserve(std::max(left_batch.size(), right_batch.size()) + 2);
  if (auto clash = broadcast_into(left_batch, right_batch, extents)) return std::unexpected<GraphError>(*clash);
  extents.push_back(rows);
  extents.push_back(columns);
  return TensorShape(std::move(extents));
}

std::expected<TensorShape, GraphError> infer_gemm(std::span<const ValueId> inputs, const ShapeMap& shapes) {
  const auto found = operands<2>(inputs, shapes);
  if (!found) return std::unexpected(found.error());
  const auto& [left, right] = *found;
  if (left->rank() < 2 || right->rank() < 2) return invalid_shape("GEMM inputs must have rank at least two");
  if (last(*left) != second_to_last(*right)) return invalid_shape("GEMM inner dimensions do not match");
  return batched_matrix(leading(*left), leading(*right), second_to_last(*left), last(*right));
}

std::expected<TensorShape, GraphError> infer_flash_attention(std::span<const ValueId> inputs, const ShapeMap& shapes) {
  const auto found = operands<3>(inputs, shapes);
  if (!found) return std::unexpected(found.error());
  const auto& [query, key, value] = *found;
  if (query->rank() < 2 || key->rank() < 2 || value->rank() < 2) {
    return invalid_shape("FlashAttention inputs must have rank at least two");
  }
  if (last(*query) != last(*key) || second_to_last(*key) != second_to_last(*value)) {
    return invalid_shape("FlashAttention head or sequence dimensions do not match");
  }
  // Key against value first, so that their clash is the one reported when both would clash.
  std::vector<std::uint32_t> key_value;
  if (auto clash = broadcast_into(leading(*key), leading(*value), key_value)) {
    return std::unexpected<GraphError>(*clash);
  }
  return batched_matrix(leading(*query), key_value, second_to_last(*query), last(*value));
}

std::expected<TensorShape, GraphError> infer_add(std::span<const ValueId> inputs, const ShapeMap& shapes) {
  const auto found = operands<2>(inputs, shapes);
  if (!found) return std::unexpected(found.error());
  std::vector<std::uint32_t> sum;
  if (auto clash = broadcast_into((*found)[0]->dimensions, (*found)[1]->dimensions, sum)) {
    return std::unexpected<GraphError>(*clash);
  }
  return TensorShape(std::move(sum));
}

std::expected<TensorShape, GraphError> infer_gelu(std::span<const ValueId> inputs, const ShapeMap& shapes) {
  const auto found = operands<1>(inputs, shapes);
  if (!found) return std::unexpected(found.error());
  return *(*found)[0];
}

}  // namespace

std::expected<std::vector<std::uint32_t>, GraphError> broadcast(std::span<const std::uint32_t> left,
                                                                std::span<const std::uint32_t> right) {
  std::vector<std::uint32_t> result;
  if (auto clash = broadcast_into(left, right, result)) return std::unexpected<GraphError>(*clash);
  return result;
}

std::expected<TensorShape, GraphError> infer_shape(const OperationKind& kind, std::span<const ValueId> inputs,
                                                   const ShapeMap& shapes) {
  using K = OperationKind;
  return std::visit(vorn::detail::overloaded{
                        [&](const K::Gemm&) { return infer_gemm(inputs, shapes); },
                        [&](const K::Gelu&) { return infer_gelu(inputs, shapes); },
                        [&](const K::Add&) { return infer_add(inputs, shapes); },
                        [&](const K::FlashAttention&) { return infer_flash_attention(inputs, shapes); },
                        [](const K::Repeat&) -> std::expected<TensorShape, GraphError> {
                          return invalid_shape("repeat result shapes are defined by carried values");
                        },
                    },
                    kind.alternative);
}

}  // namespace vorn_codegen::graph::detail
