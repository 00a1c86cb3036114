#include "vorn/codegen/mid/cost.hpp"

#include <variant>

namespace vorn_codegen::mid {
namespace {

constexpr std::uint64_t ceil_div(std::uint64_t a, std::uint64_t b) noexcept { return a / b + (a % b != 0 ? 1 : 0); }

std::uint64_t gemm_throughput(const Precision& multiply) {
  constexpr std::uint64_t kThroughput[] = {128, 64, 16};  // F8F143, F16, F32
  return kThroughput[multiply.alternative.index()];
}

// The contraction extent of a matrix product: the first operand's innermost extent. A missing
// operand or extent counts as 1, so a malformed operation is priced rather than read out of range.
std::uint64_t inner_extent(std::span<const TensorType> inputs) {
  if (inputs.empty() || inputs.front().shape.dimensions.empty()) return 1;
  return inputs.front().shape.dimensions.back();
}

}  // namespace

std::uint64_t ToyCostModel::kernel_cost(const MidKernel& kernel, std::span<const TensorType> inputs,
                                        const TensorType& output) const {
  const std::uint64_t elements = output.shape.elements();
  return std::visit(vorn::detail::overloaded{
                        [&](const MidKernel::Gemm& gemm) {
                          const std::uint64_t work = saturating_mul(saturating_mul(elements, 2), inner_extent(inputs));
                          return ceil_div(work, gemm_throughput(gemm.multiply));
                        },
                        [&](const MidKernel::FlashAttention&) { return ceil_div(saturating_mul(elements, 8), 32); },
                        [&](const MidKernel::Gelu&) { return ceil_div(saturating_mul(elements, 6), 16); },
                        [&](const MidKernel::Add&) { return ceil_div(elements, 16); },
                    },
                    kernel.alternative);
}

std::uint64_t ToyCostModel::cast_cost(const graph::TensorShape& shape, const Precision& from,
                                      const Precision& to) const {
  return ceil_div(saturating_mul(shape.elements(), from.bytes() + to.bytes()), 16);
}

std::uint64_t ToyCostModel::rearrange_cost(const graph::TensorShape& shape, const Precision& precision,
                                           const Layout& from, const Layout& to) const {
  const std::uint64_t bytes = saturating_mul(saturating_mul(shape.elements(), precision.bytes()), 2);
  const bool exchanges = from.sharding != to.sharding || from.tile_count != to.tile_count;
  return ceil_div(saturating_mul(bytes, exchanges ? 2 : 1), 16);
}

std::uint64_t conversion_cost(const TensorType& from, const TensorFormat& to, const CostModel& model) {
  const TensorFormat& format = from.format;
  const std::uint64_t cast =
      format.precision != to.precision ? model.cast_cost(from.shape, format.precision, to.precision) : 0;
  const std::uint64_t rearrange =
      format.layout != to.layout ? model.rearrange_cost(from.shape, to.precision, format.layout, to.layout) : 0;
  return saturating_add(cast, rearrange);
}

}  // namespace vorn_codegen::mid
