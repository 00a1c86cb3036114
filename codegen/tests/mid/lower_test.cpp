#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"
#include "vorn/codegen/mid/detail/lowering.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen::mid {
namespace {

using graph::ComputeGraph;
using graph::OperationKind;
using graph::ValueId;
using testing::cast;
using testing::f16;
using testing::f32;
using testing::ids;
using testing::operation;
using testing::rearrange;
using testing::value;
using vorn::testing::FailsWith;
using vorn::testing::IsOk;

const Layout kRows = row_major(Sharding::Rows, 4);

// An addition of two 8x8 host inputs, "a" and "b".
ComputeGraph addition() {
  ComputeGraph graph;
  const ValueId a = *graph.host_input("a", {8, 8});
  const ValueId b = *graph.host_input("b", {8, 8});
  const ValueId sum = *graph.add(a, b);
  EXPECT_THAT(graph.set_outputs({sum}), IsOk());
  return graph;
}

// A 32x64 host input "x" times a 64xN parameter "w".
ComputeGraph product(std::uint32_t columns = 16) {
  ComputeGraph graph;
  const ValueId x = *graph.host_input("x", {32, 64});
  const ValueId w = *graph.parameter("w", {64, columns});
  const ValueId y = *graph.gemm(x, w);
  EXPECT_THAT(graph.set_outputs({y}), IsOk());
  return graph;
}

LoweringConfig both(const TensorFormat& first, const TensorFormat& second) {
  return LoweringConfig{4}.with_input(ValueId{0}, first).with_input(ValueId{1}, second);
}

TEST(Lower, MixedPrecisionAdditionTiesToTheSmallerFormat) {
  const auto lowered = lower(addition(), both(f16(kRows), f32(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const MidGraph expected{
      {{"a", graph::GraphInputKind::Host, MidValueId{0}}, {"b", graph::GraphInputKind::Host, MidValueId{1}}},
      {value(0, {8, 8}, f16(kRows), 0), value(1, {8, 8}, f32(kRows), 1), value(2, {8, 8}, f16(kRows), 1),
       value(3, {8, 8}, f16(kRows), 2)},
      {cast(0, 1, 2, Precision::F32{}, Precision::F16{}, 24),
       operation(0, {0, 2}, {3}, MidKernel{MidKernel::Add{}}, 4)},
      ids({3}),
      28};
  EXPECT_EQ(*lowered, expected);
}

TEST(Lower, MatrixProductTakesTheCheaperF16PlanAndRearrangesBothOperands) {
  const auto lowered = lower(product(), both(f16(kRows), f16(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const MidGraph expected{
      {{"x", graph::GraphInputKind::Host, MidValueId{0}}, {"w", graph::GraphInputKind::Parameter, MidValueId{1}}},
      {value(0, {32, 64}, f16(kRows), 0), value(1, {64, 16}, f16(kRows), 1),
       value(2, {32, 64}, f16(amp_left(16, 4)), 0), value(3, {64, 16}, f16(amp_right(16, 4)), 1),
       value(4, {32, 16}, f16(amp_output(4)), 2)},
      {rearrange(0, 0, 2, kRows, amp_left(16, 4), 512), rearrange(0, 1, 3, kRows, amp_right(16, 4), 512),
       operation(0, {2, 3}, {4}, testing::kGemmF16, 1024)},
      ids({4}),
      2048};
  EXPECT_EQ(*lowered, expected);
}

struct PlanChoiceCase {
  std::string name;
  std::vector<Precision> precisions;
  TensorFormat inputs;
  std::uint64_t cost;
  MidKernel kernel;
  std::uint32_t columns = 16;
};

TEST(Lower, PricesConversionsAndKernelTogether) {
  const PlanChoiceCase cases[] = {
      {"F16 plan alone", {Precision::F16{}}, f16(kRows), 2048, testing::kGemmF16},
      {"F32 plan alone: casts, rearrangements and a slower kernel",
       {Precision::F32{}},
       f16(kRows),
       7296,
       testing::kGemmF32},
      {"F32 inputs still favour F16",
       {Precision::F32{}, Precision::F16{}},
       f32(kRows),
       768 + 384 + 2048,
       testing::kGemmF16},
      {"F32 operands in place beat casting a narrow product",
       {Precision::F16{}, Precision::F32{}},
       f32(amp_left(8, 4)),
       64 + 256,
       testing::kGemmF32,
       1},
  };
  for (const auto& [name, precisions, inputs, cost, kernel, columns] : cases) {
    SCOPED_TRACE(name);
    LoweringConfig config = both(inputs, inputs);
    config.gemm_precisions = precisions;
    const auto lowered = lower(product(columns), config, ToyCostModel{});
    ASSERT_THAT(lowered, IsOk());
    EXPECT_EQ(lowered->estimated_cost, cost);
    EXPECT_EQ(lowered->operations.back().kind, MidOperationKind{kernel});
  }
}

struct FailureCase {
  std::string name;
  std::function<ComputeGraph()> graph;
  LoweringConfig config;
  LoweringError error;
};

ComputeGraph with_operation(OperationKind kind, std::vector<ValueId> inputs, std::vector<graph::TensorShape> shapes) {
  ComputeGraph graph;
  EXPECT_THAT(graph.host_input("a", {32, 64}), IsOk());
  EXPECT_THAT(graph.operation(std::move(kind), inputs, shapes), IsOk());
  return graph;
}

TEST(Lower, ReportsTheFirstErrorInDetectionOrder) {
  LoweringConfig f8_only = both(f16(kRows), f16(kRows));
  f8_only.gemm_precisions = {Precision::F8F143{1}, Precision::F8F143{-1}};
  const FailureCase cases[] = {
      {"tile count 0 before missing inputs", [] { return product(); }, LoweringConfig{0},
       LoweringError::EmptyTileGroup{}},
      {"first input without a format", [] { return product(); }, LoweringConfig{4},
       LoweringError::MissingInputType{ValueId{0}}},
      {"second input without a format", [] { return product(); }, LoweringConfig{4}.with_input(ValueId{0}, f16(kRows)),
       LoweringError::MissingInputType{ValueId{1}}},
      {"only F8F143 products", [] { return product(); }, f8_only, LoweringError::NoCandidate{graph::OperationId{0}}},
      {"gelu without an operand", [] { return with_operation(OperationKind::Gelu{}, {}, {{4}}); },
       both(f16(kRows), f16(kRows)), LoweringError::NoCandidate{graph::OperationId{0}}},
      {"add without operands", [] { return with_operation(OperationKind::Add{}, {}, {{4}}); },
       both(f16(kRows), f16(kRows)), LoweringError::NoCandidate{graph::OperationId{0}}},
      {"gemm without results",
       [] {
         return with_operation(OperationKind::Gemm{}, {ValueId{0}, ValueId{0}}, {});
       },
       both(f16(kRows), f16(kRows)), LoweringError::MalformedOperation{graph::OperationId{0}}},
      {"output that is a second result",
       [] {
         ComputeGraph graph = with_operation(OperationKind::Gelu{}, {ValueId{0}}, {{32, 64}, {32, 64}});
         EXPECT_THAT(graph.set_outputs({ValueId{1}, ValueId{2}}), IsOk());
         return graph;
       },
       both(f16(kRows), f16(kRows)), LoweringError::UnknownValue{ValueId{2}}},
  };
  for (const auto& [name, graph, config, error] : cases) {
    SCOPED_TRACE(name);
    EXPECT_THAT(lower(graph(), config, ToyCostModel{}), FailsWith(error));
  }
}

// Matrix products appended through the general `operation` with odd operand counts: operands are
// paired with the plan's formats, the extra ones ignored, the missing ones not invented.
struct OddProductCase {
  std::string name;
  std::vector<ValueId> inputs;
  std::vector<std::vector<MidValueId>> kernel_inputs;
  std::uint64_t cost;
};

TEST(Lower, MatrixProductWithOddOperandCountsIsPricedOnTheOperandsItHas) {
  const OddProductCase cases[] = {
      {"no operand: k counts as 1", {}, {ids({})}, 16},
      {"one operand", {ValueId{0}}, {ids({1})}, 512 + 1024},
      {"three operands: the third is not used", {ValueId{0}, ValueId{0}, ValueId{0}}, {ids({1, 2})}, 512 + 1024 + 1024},
  };
  for (const auto& [name, inputs, kernel_inputs, cost] : cases) {
    SCOPED_TRACE(name);
    const auto lowered = lower(with_operation(OperationKind::Gemm{}, inputs, {{32, 16}}),
                               LoweringConfig{4}.with_input(ValueId{0}, f16(kRows)), ToyCostModel{});
    ASSERT_THAT(lowered, IsOk());
    EXPECT_EQ(lowered->estimated_cost, cost);
    EXPECT_EQ(lowered->operations.back().inputs, kernel_inputs.front());
  }
}

TEST(Lower, GeluKeepsItsOperandsFormatAndOnlyTheFirstResultIsLowered) {
  const auto lowered = lower(with_operation(OperationKind::Gelu{}, {ValueId{0}}, {{32, 64}, {1}}),
                             LoweringConfig{4}.with_input(ValueId{0}, f32(amp_right(3, 9))), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  EXPECT_EQ(lowered->operations, (std::vector{operation(0, {0}, {1}, MidKernel{MidKernel::Gelu{}}, 768)}));
  EXPECT_EQ(lowered->values.back(), value(1, {32, 64}, f32(amp_right(3, 9)), 1));
}

TEST(Lower, GraphWithoutOperationsMapsOutputsToInputs) {
  ComputeGraph graph;
  const ValueId a = *graph.host_input("a", {2});
  const ValueId b = *graph.parameter("b", {});
  ASSERT_THAT(graph.set_outputs({b, a, b}), IsOk());
  const auto lowered =
      lower(graph, both(f16(kRows), f32(amp_output(4))).with_input(ValueId{9}, f16(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  EXPECT_EQ(lowered->values, (std::vector{value(0, {2}, f16(kRows), 0), value(1, {}, f32(amp_output(4)), 1)}));
  EXPECT_TRUE(lowered->operations.empty());
  EXPECT_EQ(lowered->outputs, ids({1, 0, 1}));
  EXPECT_EQ(lowered->estimated_cost, 0u);
}

// Every estimate the largest cost: sums saturate, and the tie goes to the first candidate.
TEST(Lower, HugeCostsSaturateInsteadOfWrapping) {
  const auto lowered = lower(product(), both(f32(kRows), f32(kRows)), testing::MaxCostModel{});
  ASSERT_THAT(lowered, IsOk());
  EXPECT_EQ(lowered->operations.size(), 5u);  // two casts, two rearrangements, the kernel
  EXPECT_EQ(lowered->operations.back().kind, MidOperationKind{testing::kGemmF16});
  EXPECT_EQ(lowered->estimated_cost, testing::MaxCostModel::kMax);
}

TEST(Lower, ReportsRunningOutOfValueIdentifiers) {
  const LoweringConfig config = both(f16(kRows), f32(kRows));
  EXPECT_THAT(detail::lower(addition(), config, ToyCostModel{}, 3), FailsWith(LoweringError::TooManyValues{}));
  EXPECT_THAT(detail::lower(addition(), config, ToyCostModel{}, 4), IsOk());
}

TEST(Lower, IsDeterministicAcrossRunsAndThreads) {
  const ComputeGraph graph = product();
  const LoweringConfig config = both(f32(kRows), f16(amp_right(16, 4)));
  const ToyCostModel model;
  const auto reference = lower(graph, config, model);
  ASSERT_THAT(reference, IsOk());
  std::expected<MidGraph, LoweringError> first = std::unexpected(LoweringError::EmptyTileGroup{});
  std::expected<MidGraph, LoweringError> second = first;
  std::thread one([&] { first = lower(graph, config, model); });
  std::thread two([&] { second = lower(graph, config, model); });
  one.join();
  two.join();
  EXPECT_EQ(first, reference);
  EXPECT_EQ(second, reference);
}

TEST(MidGraphText, ListsValuesOperationsAndCosts) {
  const auto lowered = lower(addition(), both(f16(kRows), f32(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  EXPECT_EQ(to_string(*lowered),
            "MidGraph (estimated cost 28)\n"
            "inputs: \"a\" Host %0, \"b\" Host %1\n"
            "values:\n"
            "  %0 [8, 8] F16 row_major(Rows, 4) of ValueId(0)\n"
            "  %1 [8, 8] F32 row_major(Rows, 4) of ValueId(1)\n"
            "  %2 [8, 8] F16 row_major(Rows, 4) of ValueId(1)\n"
            "  %3 [8, 8] F16 row_major(Rows, 4) of ValueId(2)\n"
            "operations:\n"
            "  %2 = CastPrecision F32 -> F16 (%1)  cost 24  for OperationId(0)\n"
            "  %3 = Add (%0, %2)  cost 4  for OperationId(0)\n"
            "outputs: %3\n");
}

TEST(MidGraphText, SpellsOutLayoutsThatNoConstructorMakes) {
  Layout realigned = amp_right(16, 4);
  realigned.alignment = 64;
  ComputeGraph graph;
  ASSERT_THAT(graph.host_input("a", {2}), IsOk());
  const auto lowered = lower(graph, LoweringConfig{4}.with_input(ValueId{0}, f16(realigned)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  EXPECT_EQ(to_string(*lowered),
            "MidGraph (estimated cost 0)\n"
            "inputs: \"a\" Host %0\n"
            "values:\n"
            "  %0 [2] F16 Layout { order: Amp(Right { inner: 16, columns: 16 }), sharding: Columns, tile_count: 4, "
            "storage: Interleaved { grain_bytes: 8 }, alignment: 64 } of ValueId(0)\n"
            "operations:\n"
            "outputs: \n");
}

}  // namespace
}  // namespace vorn_codegen::mid
