#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen::mid {
namespace {

using graph::ComputeGraph;
using graph::GraphError;
using graph::OperationId;
using graph::OperationKind;
using graph::TensorShape;
using graph::ValueId;
using graph::ValueSequenceId;
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

using BodyResult = std::expected<std::vector<ValueId>, GraphError>;

// "state" [16, 16] (value 0) carried through `count` iterations over the sequence "weights" of
// two [16, 16] parameters (values 1 and 2); the body yields `step(carried, weight)` (values 3, 4).
ComputeGraph loop(std::uint32_t count, OperationKind step) {
  ComputeGraph graph;
  const ValueId state = *graph.host_input("state", {16, 16});
  const ValueId first = *graph.parameter("weight.0", {16, 16});
  const ValueId second = *graph.parameter("weight.1", {16, 16});
  const ValueSequenceId weights = *graph.value_sequence("weights", {first, second});
  const auto results = graph.repeat(
      count, {state}, {}, {weights}, [&](graph::RegionBuilder& body, const graph::RepeatArguments& arguments) {
        const auto next = body.inferred_result(step, {arguments.carried[0], arguments.iterated[0]});
        if (!next) return BodyResult(std::unexpected(next.error()));
        return BodyResult(std::vector{*next});
      });
  EXPECT_THAT(results, IsOk());
  EXPECT_THAT(graph.set_outputs(*results), IsOk());
  return graph;
}

LoweringConfig three(const TensorFormat& state, const TensorFormat& first, const TensorFormat& second) {
  return LoweringConfig{4}.with_input(ValueId{0}, state).with_input(ValueId{1}, first).with_input(ValueId{2}, second);
}

TEST(LowerRepeat, PlansTheBodyAndConvertsTheYieldBackToTheCarriedFormat) {
  const auto lowered = lower(loop(2, OperationKind::Gemm{}), three(f16(kRows), f16(kRows), f16(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const MidRegion body{
      ids({3, 4}),
      {rearrange(0, 3, 5, kRows, amp_left(16, 4), 64), rearrange(0, 4, 6, kRows, amp_right(16, 4), 128),
       operation(0, {5, 6}, {7}, testing::kGemmF16, 128), rearrange(1, 7, 8, amp_output(4), kRows, 64)},
      ids({8}),
      384};
  const MidGraph expected{
      {{"state", graph::GraphInputKind::Host, MidValueId{0}},
       {"weight.0", graph::GraphInputKind::Parameter, MidValueId{1}},
       {"weight.1", graph::GraphInputKind::Parameter, MidValueId{2}}},
      {value(0, {16, 16}, f16(kRows), 0), value(1, {16, 16}, f16(kRows), 1), value(2, {16, 16}, f16(kRows), 2),
       value(3, {16, 16}, f16(kRows), 3), value(4, {16, 16}, f16(kRows), 4),
       value(5, {16, 16}, f16(amp_left(16, 4)), 3), value(6, {16, 16}, f16(amp_right(16, 4)), 4),
       value(7, {16, 16}, f16(amp_output(4)), 5), value(8, {16, 16}, f16(kRows), 5), value(9, {16, 16}, f16(kRows), 6)},
      {operation(1, {0}, {9}, MidRepeat{2, 1, 0, {ids({1, 2})}, body}, 768)},
      ids({9}),
      768};
  EXPECT_EQ(*lowered, expected);
}

TEST(LowerRepeat, CastsSequenceElementsBeforeTheLoopToTheFirstElementsFormat) {
  const auto lowered = lower(loop(2, OperationKind::Gemm{}), three(f16(kRows), f16(kRows), f32(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  ASSERT_EQ(lowered->operations.size(), 2u);
  EXPECT_EQ(lowered->operations[0], cast(1, 2, 3, Precision::F32{}, Precision::F16{}, 96));
  const auto& repeat = std::get<MidRepeat>(lowered->operations[1].kind.alternative);
  EXPECT_EQ(repeat.iterated_inputs, (std::vector<std::vector<MidValueId>>{ids({1, 3})}));
  EXPECT_EQ(repeat.body->arguments, ids({4, 5}));
  EXPECT_EQ(repeat.body->yields, ids({9}));
  EXPECT_EQ(lowered->outputs, ids({10}));
  EXPECT_EQ(lowered->values[3], value(3, {16, 16}, f16(kRows), 2));
  EXPECT_EQ(lowered->estimated_cost, 96u + 768u);
}

TEST(LowerRepeat, YieldAlreadyInTheCarriedFormatNeedsNoConversion) {
  const auto lowered = lower(loop(1, OperationKind::Add{}), three(f16(kRows), f16(kRows), f16(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const auto& repeat = std::get<MidRepeat>(lowered->operations.at(0).kind.alternative);
  EXPECT_EQ(repeat.body->operations, (std::vector{operation(0, {3, 4}, {5}, MidKernel{MidKernel::Add{}}, 16)}));
  EXPECT_EQ(repeat.body->yields, ids({5}));
  EXPECT_EQ(lowered->estimated_cost, 16u);  // count 1: exactly the body
}

TEST(LowerRepeat, BodyAndLoopCostsSaturate) {
  const auto lowered =
      lower(loop(2, OperationKind::Gemm{}), three(f16(kRows), f16(kRows), f16(kRows)), testing::MaxCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const auto& repeat = std::get<MidRepeat>(lowered->operations.at(0).kind.alternative);
  EXPECT_EQ(repeat.body->estimated_cost, testing::MaxCostModel::kMax);
  EXPECT_EQ(lowered->operations[0].estimated_cost, testing::MaxCostModel::kMax);
  EXPECT_EQ(lowered->estimated_cost, testing::MaxCostModel::kMax);
}

TEST(LowerRepeat, DumpIndentsTheBodyUnderItsLoop) {
  const auto lowered = lower(loop(2, OperationKind::Gemm{}), three(f16(kRows), f16(kRows), f32(kRows)), ToyCostModel{});
  ASSERT_THAT(lowered, IsOk());
  const std::string text = to_string(*lowered);
  EXPECT_THAT(text,
              ::testing::HasSubstr(
                  "operations:\n"
                  "  %3 = CastPrecision F32 -> F16 (%2)  cost 96  for OperationId(1)\n"
                  "  %10 = Repeat { count: 2, carried_inputs: 1, invariant_inputs: 0 } iterating [%1, %3] (%0)"
                  "  cost 768  for OperationId(1)\n"
                  "    body (%4, %5)  cost 384\n"
                  "      %6 = Rearrange row_major(Rows, 4) -> amp_left(16, 4) (%4)  cost 64  for OperationId(0)\n"
                  "      %7 = Rearrange row_major(Rows, 4) -> amp_right(16, 4) (%5)  cost 128  for OperationId(0)\n"
                  "      %8 = Gemm { multiply: F16, accumulate: F32 } (%6, %7)  cost 128  for OperationId(0)\n"
                  "      %9 = Rearrange amp_output(4) -> row_major(Rows, 4) (%8)  cost 64  for OperationId(1)\n"
                  "    yield (%9)\n"
                  "outputs: %10\n"));
}

// Loops appended by hand through the general `operation`: the record is whatever the caller
// wrote. The baseline is sound (it carries "s" through a body that yields its argument); each row
// breaks one thing.
struct HandBuiltLoop {
  std::uint32_t count = 1;
  std::size_t carried = 1;
  std::size_t invariant = 0;
  std::vector<ValueSequenceId> iterated{ValueSequenceId{0}};
  std::vector<ValueId> arguments{ValueId{10}, ValueId{11}};
  std::vector<graph::Operation> operations;
  std::vector<ValueId> yields{ValueId{10}};
  std::vector<ValueId> inputs{ValueId{0}};
  std::vector<TensorShape> results{{16, 16}};
};

struct HandBuiltCase {
  std::string name;
  std::function<void(HandBuiltLoop&)> change;
  std::optional<LoweringError> error;
};

std::expected<MidGraph, LoweringError> lower_hand_built(const HandBuiltLoop& loop) {
  ComputeGraph graph;
  const ValueId s = *graph.host_input("s", {16, 16});
  const ValueId w = *graph.parameter("w", {16, 16});
  EXPECT_THAT(graph.value_sequence("w", {w}), IsOk());
  graph::Region body{loop.arguments, loop.operations, loop.yields, {}};
  for (const ValueId argument : loop.arguments) body.value_shapes.insert(argument, TensorShape{16, 16});
  for (const std::uint32_t result : {12u, 13u}) body.value_shapes.insert(ValueId{result}, TensorShape{16, 16});
  graph::Repeat record{loop.count, loop.carried, loop.invariant, loop.iterated, std::move(body)};
  EXPECT_THAT(graph.operation(std::move(record), loop.inputs, loop.results), IsOk());
  return lower(graph, LoweringConfig{4}.with_input(s, f16(kRows)).with_input(w, f16(kRows)), ToyCostModel{});
}

graph::Operation gelu(std::vector<ValueId> inputs, ValueId result) {
  return graph::Operation{OperationId{7}, std::move(inputs), {result}, OperationKind::Gelu{}};
}

TEST(LowerRepeat, HandBuiltLoopsAreCheckedBeforeTheyAreRead) {
  const LoweringError malformed = LoweringError::MalformedOperation{OperationId{0}};
  const HandBuiltCase cases[] = {
      {"baseline", [](HandBuiltLoop&) {}, std::nullopt},
      {"body using its own values", [](HandBuiltLoop& l) { l.operations = {gelu({ValueId{11}}, ValueId{12})}; },
       std::nullopt},
      {"body results out of order",
       [](HandBuiltLoop& l) {
         l.operations = {gelu({ValueId{10}}, ValueId{13}), gelu({ValueId{13}}, ValueId{12})};
       },
       std::nullopt},
      {"sequence the graph does not hold", [](HandBuiltLoop& l) { l.iterated = {ValueSequenceId{1}}; }, malformed},
      {"more iterations than entries", [](HandBuiltLoop& l) { l.count = 2; }, malformed},
      {"carried count beyond the inputs", [](HandBuiltLoop& l) { l.carried = 2; }, malformed},
      {"invariant count beyond the inputs", [](HandBuiltLoop& l) { l.invariant = 1; }, malformed},
      {"a yield too many", [](HandBuiltLoop& l) { l.yields.push_back(ValueId{10}); }, malformed},
      {"an argument too few", [](HandBuiltLoop& l) { l.arguments.pop_back(); }, malformed},
      {"an argument too many", [](HandBuiltLoop& l) { l.arguments.push_back(ValueId{12}); }, malformed},
      {"no result for the carried value", [](HandBuiltLoop& l) { l.results.clear(); }, malformed},
      {"body reading an outer value", [](HandBuiltLoop& l) { l.operations = {gelu({ValueId{0}}, ValueId{12})}; },
       LoweringError::UnknownValue{ValueId{0}}},
      {"body result without a shape", [](HandBuiltLoop& l) { l.operations = {gelu({ValueId{10}}, ValueId{14})}; },
       LoweringError::MissingShape{ValueId{14}}},
      {"yield from outside the body", [](HandBuiltLoop& l) { l.yields = {ValueId{0}}; },
       LoweringError::UnknownValue{ValueId{0}}},
  };
  for (const auto& [name, change, error] : cases) {
    SCOPED_TRACE(name);
    HandBuiltLoop loop;
    change(loop);
    const auto lowered = lower_hand_built(loop);
    if (error) {
      EXPECT_THAT(lowered, FailsWith(*error));
    } else {
      EXPECT_THAT(lowered, IsOk());
    }
  }
}

}  // namespace
}  // namespace vorn_codegen::mid
