// Cost models: what lowering prices candidate plans and conversions with.
//
// Costs are unsigned 64-bit numbers in one abstract unit. Nothing in lowering wraps: products and
// sums saturate at 2^64 - 1 (losing precision at the top is better than losing the order), so a
// caller's model may return any number, the largest included.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "vorn/codegen/graph/types.hpp"
#include "vorn/codegen/mid/format.hpp"
#include "vorn/codegen/mid/model.hpp"

namespace vorn_codegen::mid {

[[nodiscard]] constexpr std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) noexcept {
  const std::uint64_t sum = a + b;
  return sum < a ? std::numeric_limits<std::uint64_t>::max() : sum;
}

[[nodiscard]] constexpr std::uint64_t saturating_mul(std::uint64_t a, std::uint64_t b) noexcept {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) return std::numeric_limits<std::uint64_t>::max();
  return a * b;
}

// The pluggable estimate. Every operation must be pure: the same arguments give the same cost.
class CostModel {
 public:
  virtual ~CostModel() = default;

  // One call of `kernel` on `inputs` (the operands in the formats the kernel receives them in)
  // producing `output`.
  [[nodiscard]] virtual std::uint64_t kernel_cost(const MidKernel& kernel, std::span<const TensorType> inputs,
                                                  const TensorType& output) const = 0;
  // Converting a tensor of `shape` from one precision to another.
  [[nodiscard]] virtual std::uint64_t cast_cost(const graph::TensorShape& shape, const Precision& from,
                                                const Precision& to) const = 0;
  // Moving a tensor of `shape` and `precision` from one layout to another.
  [[nodiscard]] virtual std::uint64_t rearrange_cost(const graph::TensorShape& shape, const Precision& precision,
                                                     const Layout& from, const Layout& to) const = 0;

 protected:
  CostModel() = default;
  CostModel(const CostModel&) = default;
  CostModel& operator=(const CostModel&) = default;
};

// The library's model. With E the output's element count and every product saturating, every
// division rounding up:
//   Gemm            E * 2 * k / throughput, k the first input's last extent (1 when that shape
//                   has no extents, or when there is no input at all), throughput 128 (F8F143),
//                   64 (F16) or 16 (F32) by the multiply precision
//   FlashAttention  E * 8 / 32
//   Gelu            E * 6 / 16
//   Add             E / 16
//   cast            E * (bytes(from) + bytes(to)) / 16
//   rearrange       E * bytes * 2 * penalty / 16, penalty 2 when sharding or tile count differ
class ToyCostModel final : public CostModel {
 public:
  [[nodiscard]] std::uint64_t kernel_cost(const MidKernel& kernel, std::span<const TensorType> inputs,
                                          const TensorType& output) const override;
  [[nodiscard]] std::uint64_t cast_cost(const graph::TensorShape& shape, const Precision& from,
                                        const Precision& to) const override;
  [[nodiscard]] std::uint64_t rearrange_cost(const graph::TensorShape& shape, const Precision& precision,
                                             const Layout& from, const Layout& to) const override;
};

// The cost of bringing a value of type `from` into format `to`: a cast if the precisions differ,
// plus a rearrangement priced in the target precision if the layouts differ; 0 for equal
// formats. Equals the sum of the costs format conversion records for the same value and target.
[[nodiscard]] std::uint64_t conversion_cost(const TensorType& from, const TensorFormat& to, const CostModel& model);

}  // namespace vorn_codegen::mid
