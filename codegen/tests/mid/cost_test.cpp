#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"

namespace vorn_codegen::mid {
namespace {

using graph::TensorShape;
using testing::f16;
using testing::f32;

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kHuge = std::numeric_limits<std::uint32_t>::max();

TensorType f16_type(TensorShape shape) { return {std::move(shape), f16(row_major(Sharding::Rows, 4))}; }

struct KernelCase {
  std::string name;
  MidKernel kernel;
  std::vector<TensorType> inputs;
  TensorShape output;
  std::uint64_t cost;
};

TEST(ToyCostModel, KernelCostsRoundUpAndSaturate) {
  const MidKernel gemm_f8 = MidKernel::Gemm{Precision::F8F143{3}, AccumulationPrecision::F16};
  const MidKernel attention_f16 = MidKernel::FlashAttention{AccumulationPrecision::F16};
  const MidKernel attention_f32 = MidKernel::FlashAttention{AccumulationPrecision::F32};
  const KernelCase cases[] = {
      {"add 8x8", MidKernel::Add{}, {}, {8, 8}, 4},
      {"add 17 elements", MidKernel::Add{}, {}, {17}, 2},
      {"add rank 0", MidKernel::Add{}, {}, {}, 1},
      {"add no elements", MidKernel::Add{}, {}, {4, 0}, 0},
      {"gelu 100 elements", MidKernel::Gelu{}, {}, {100}, 38},
      {"attention 10 elements, F16 accumulation", attention_f16, {}, {10}, 3},
      {"attention 10 elements, F32 accumulation", attention_f32, {}, {10}, 3},
      {"gemm F16", testing::kGemmF16, {f16_type({32, 64}), f16_type({64, 16})}, {32, 16}, 1024},
      {"gemm F32", testing::kGemmF32, {f16_type({32, 64}), f16_type({64, 16})}, {32, 16}, 4096},
      {"gemm F8F143", gemm_f8, {f16_type({32, 64}), f16_type({64, 16})}, {32, 16}, 512},
      {"gemm reads only the first input", testing::kGemmF16, {f16_type({32, 3})}, {32, 16}, 48},
      {"gemm first input of rank 0", testing::kGemmF16, {f16_type({})}, {32, 16}, 16},
      {"gemm without inputs counts k as 1", testing::kGemmF16, {}, {32, 16}, 16},
      {"gemm product saturates", testing::kGemmF32, {f16_type({kHuge})}, {kHuge, kHuge, kHuge}, kMax / 16 + 1},
      {"gelu product saturates", MidKernel::Gelu{}, {}, {kHuge, kHuge, kHuge}, kMax / 16 + 1},
      {"attention product saturates", attention_f32, {}, {kHuge, kHuge, kHuge}, kMax / 32 + 1},
  };
  const ToyCostModel model;
  for (const auto& [name, kernel, inputs, output, cost] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(model.kernel_cost(kernel, inputs, f16_type(output)), cost);
  }
}

TEST(ToyCostModel, CastCostCountsBothElementSizes) {
  const ToyCostModel model;
  EXPECT_EQ(model.cast_cost({8, 8}, Precision::F32{}, Precision::F16{}), 24u);
  EXPECT_EQ(model.cast_cost({8, 8}, Precision::F16{}, Precision::F32{}), 24u);
  EXPECT_EQ(model.cast_cost({8, 8}, Precision::F8F143{0}, Precision::F16{}), 12u);
  EXPECT_EQ(model.cast_cost({8, 8}, Precision::F16{}, Precision::F16{}), 16u);
  EXPECT_EQ(model.cast_cost({kHuge, kHuge, kHuge}, Precision::F32{}, Precision::F32{}), kMax / 16 + 1);
}

struct RearrangeCase {
  std::string name;
  TensorShape shape;
  Layout from;
  Layout to;
  std::uint64_t cost;
};

TEST(ToyCostModel, RearrangeCostDoublesOnlyWhenTilesExchangeData) {
  Layout realigned = row_major(Sharding::Rows, 4);
  realigned.alignment = 64;
  const RearrangeCase cases[] = {
      {"order only", {32, 64}, row_major(Sharding::Rows, 4), amp_left(16, 4), 512},
      {"sharding changes", {64, 16}, row_major(Sharding::Rows, 4), amp_right(16, 4), 512},
      {"output back to row-major", {16, 16}, amp_output(4), row_major(Sharding::Rows, 4), 64},
      {"tile count changes", {16, 16}, row_major(Sharding::Rows, 4), row_major(Sharding::Rows, 8), 128},
      {"alignment only", {16, 16}, row_major(Sharding::Rows, 4), realigned, 64},
      {"saturates", {kHuge, kHuge, kHuge}, row_major(Sharding::Rows, 4), row_major(Sharding::Rows, 8), kMax / 16 + 1},
  };
  const ToyCostModel model;
  for (const auto& [name, shape, from, to, cost] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(model.rearrange_cost(shape, Precision::F16{}, from, to), cost);
  }
}

TEST(ConversionCost, AddsCastAndRearrangementPricedInTheTargetPrecision) {
  const TensorType value{{32, 64}, f16(row_major(Sharding::Rows, 4))};
  const ToyCostModel toy;
  EXPECT_EQ(conversion_cost(value, f32(amp_left(8, 4)), toy), 768u + 1024u);
  EXPECT_EQ(conversion_cost(value, f32(row_major(Sharding::Rows, 4)), toy), 768u);
  EXPECT_EQ(conversion_cost(value, f16(amp_left(8, 4)), toy), 512u);
  EXPECT_EQ(conversion_cost(value, value.format, toy), 0u);
  EXPECT_EQ(conversion_cost(value, value.format, testing::MaxCostModel{}), 0u);
  EXPECT_EQ(conversion_cost(value, f32(amp_left(8, 4)), testing::MaxCostModel{}), kMax);
}

TEST(SaturatingArithmetic, StopsAtTheLargestCost) {
  EXPECT_EQ(saturating_add(kMax - 1, 1), kMax);
  EXPECT_EQ(saturating_add(kMax, kMax), kMax);
  EXPECT_EQ(saturating_mul(std::uint64_t{1} << 32, std::uint64_t{1} << 31), std::uint64_t{1} << 63);
  EXPECT_EQ(saturating_mul(std::uint64_t{1} << 32, std::uint64_t{1} << 32), kMax);
  EXPECT_EQ(saturating_mul(0, kMax), 0u);
}

}  // namespace
}  // namespace vorn_codegen::mid
