#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"
#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid {
namespace {

using detail::Plan;
using graph::OperationId;
using graph::OperationKind;
using graph::ValueId;
using testing::f16;
using testing::f32;

graph::Operation operation_of(OperationKind kind) { return graph::Operation{OperationId{0}, {}, {}, std::move(kind)}; }

Plan gemm_plan(const Precision& precision, std::uint16_t inner) {
  return Plan{MidKernel::Gemm{precision, AccumulationPrecision::F32},
              {{precision, amp_left(inner, 4)}, {precision, amp_right(inner, 4)}},
              {precision, amp_output(4)}};
}

Plan add_plan(const TensorFormat& format) { return Plan{MidKernel::Add{}, {format, format}, format}; }

Plan attention_plan(const TensorFormat& format) {
  return Plan{MidKernel::FlashAttention{AccumulationPrecision::F32}, {format, format, format}, format};
}

LoweringConfig with_precisions(std::vector<Precision> precisions) {
  LoweringConfig config{4};
  config.gemm_precisions = std::move(precisions);
  return config;
}

struct PlansCase {
  std::string name;
  OperationKind kind;
  std::vector<TensorFormat> operands;
  LoweringConfig config;
  std::vector<Plan> expected;
};

TEST(Plans, ListCandidatesInTheOrderThatBreaksTies) {
  const TensorFormat rows16 = f16(row_major(Sharding::Rows, 4));
  const TensorFormat rows32 = f32(row_major(Sharding::Rows, 4));
  const TensorFormat heads16 = f16(row_major(Sharding::Heads, 4));
  const TensorFormat heads32 = f32(row_major(Sharding::Heads, 4));
  const Precision f8 = Precision::F8F143{0};
  const PlansCase cases[] = {
      {"gemm, default precisions",
       OperationKind::Gemm{},
       {rows32, rows32},
       LoweringConfig{4},
       {gemm_plan(Precision::F16{}, 16), gemm_plan(Precision::F32{}, 8)}},
      {"gemm, F32 preferred",
       OperationKind::Gemm{},
       {},
       with_precisions({Precision::F32{}, Precision::F16{}}),
       {gemm_plan(Precision::F32{}, 8), gemm_plan(Precision::F16{}, 16)}},
      {"gemm, F8F143 skipped, duplicates kept",
       OperationKind::Gemm{},
       {},
       with_precisions({f8, Precision::F16{}, f8, Precision::F16{}}),
       {gemm_plan(Precision::F16{}, 16), gemm_plan(Precision::F16{}, 16)}},
      {"gemm, F8F143 only", OperationKind::Gemm{}, {rows16, rows16}, with_precisions({f8}), {}},
      {"gemm, no precisions", OperationKind::Gemm{}, {rows16, rows16}, with_precisions({}), {}},
      {"add, two formats ascending",
       OperationKind::Add{},
       {rows32, rows16},
       LoweringConfig{4},
       {add_plan(rows16), add_plan(rows32)}},
      {"add, one shared format", OperationKind::Add{}, {rows32, rows32}, LoweringConfig{4}, {add_plan(rows32)}},
      {"add, three operands",
       OperationKind::Add{},
       {heads16, rows32, rows16},
       LoweringConfig{4},
       {add_plan(rows16), add_plan(heads16), add_plan(rows32)}},
      {"add, no operands", OperationKind::Add{}, {}, LoweringConfig{4}, {}},
      {"gelu keeps its operand's format",
       OperationKind::Gelu{},
       {rows32, rows16},
       LoweringConfig{4},
       {Plan{MidKernel::Gelu{}, {rows32}, rows32}}},
      {"gelu, no operand", OperationKind::Gelu{}, {}, LoweringConfig{4}, {}},
      {"attention ignores operands and gemm precisions",
       OperationKind::FlashAttention{},
       {rows32},
       with_precisions({}),
       {attention_plan(heads16), attention_plan(heads32)}},
  };
  for (const auto& [name, kind, operands, config, expected] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(detail::plans(operation_of(kind), operands, config), expected);
  }
}

TEST(Plans, UseTheConfiguredTileCount) {
  const auto candidates = detail::plans(operation_of(OperationKind::FlashAttention{}), {}, LoweringConfig{64});
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[0].output, f16(row_major(Sharding::Heads, 64)));
}

// ensure_format: the value passed in is %0, an 8x8 tensor of graph value 5.
struct EnsureCase {
  std::string name;
  TensorFormat from;
  TensorFormat target;
  std::vector<MidOperation> operations;
  std::uint32_t result;
};

TEST(EnsureFormat, CastsThenRearrangesOnlyWhatDiffers) {
  using testing::cast;
  using testing::rearrange;
  const Layout rows = row_major(Sharding::Rows, 4);
  const EnsureCase cases[] = {
      {"already there", f32(rows), f32(rows), {}, 0},
      {"precision only", f32(rows), f16(rows), {cast(3, 0, 1, Precision::F32{}, Precision::F16{}, 24)}, 1},
      {"layout only", f16(rows), f16(amp_left(16, 4)), {rearrange(3, 0, 1, rows, amp_left(16, 4), 16)}, 1},
      {"both, cast first",
       f32(rows),
       f16(amp_left(16, 4)),
       {cast(3, 0, 1, Precision::F32{}, Precision::F16{}, 24), rearrange(3, 1, 2, rows, amp_left(16, 4), 16)},
       2},
      {"rearrangement priced in the target precision",
       f16(rows),
       f32(amp_right(8, 4)),
       {cast(3, 0, 1, Precision::F16{}, Precision::F32{}, 24), rearrange(3, 1, 2, rows, amp_right(8, 4), 64)},
       2},
  };
  const ToyCostModel model;
  for (const auto& [name, from, target, expected, result] : cases) {
    SCOPED_TRACE(name);
    LoweringState state;
    const MidValueId start = state.value(ValueId{5}, {{8, 8}, from});
    std::vector<MidOperation> operations;
    EXPECT_EQ(detail::ensure_format(start, target, OperationId{3}, model, state, operations), MidValueId{result});
    EXPECT_EQ(operations, expected);
    for (const MidValue& value : state.values()) EXPECT_EQ(value.origin, ValueId{5});
    EXPECT_EQ(state.values().back().tensor_type, (TensorType{{8, 8}, target}));
  }
}

TEST(Lookup, ReportsTheGraphValueWithoutALoweredValue) {
  detail::ScopeMap scope;
  scope.insert(ValueId{2}, MidValueId{0});
  EXPECT_EQ(detail::lookup(scope, ValueId{2}), MidValueId{0});
  EXPECT_EQ(detail::lookup(scope, ValueId{3}), std::unexpected(LoweringError::UnknownValue{ValueId{3}}));
}

TEST(ScopeMap, FindsEveryEntryWhateverTheNumbers) {
  const std::uint32_t numbers[] = {1000, 1001, 1003, 999, 0, 4294967295, 1000000, 2000, 1002};
  detail::ScopeMap scope;
  std::uint32_t lowered = 0;
  for (const std::uint32_t number : numbers) scope.insert(ValueId{number}, MidValueId{lowered++});
  lowered = 0;
  for (const std::uint32_t number : numbers) {
    SCOPED_TRACE(number);
    EXPECT_EQ(scope.find(ValueId{number}), MidValueId{lowered++});
  }
  for (const std::uint32_t absent : {1004u, 998u, 1u, 4294967294u, 999999u}) {
    EXPECT_EQ(scope.find(ValueId{absent}), std::nullopt) << absent;
  }
  scope.insert(ValueId{1001}, MidValueId{42});
  scope.insert(ValueId{4294967295}, MidValueId{43});
  EXPECT_EQ(scope.find(ValueId{1001}), MidValueId{42});
  EXPECT_EQ(scope.find(ValueId{4294967295}), MidValueId{43});
}

}  // namespace
}  // namespace vorn_codegen::mid
