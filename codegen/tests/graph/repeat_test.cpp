#include <cstdint>
#include <expected>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen::graph {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using vorn::testing::FailsWith;
using vorn::testing::IsOk;
using vorn::testing::IsOkAndHolds;

using Yields = std::expected<std::vector<ValueId>, GraphError>;

ValueId v(std::uint32_t n) { return ValueId{n}; }
const ValueSequenceId kSequence0{0};

// "state" [16, 16] (value 0), "weight.0" and "weight.1" [16, 16] (values 1, 2), the sequence
// "weights" of both (sequence 0), and a bias [16] (value 3).
class RepeatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_THAT(graph.host_input("state", {16, 16}), IsOkAndHolds(v(0)));
    for (int i = 0; i < 2; ++i) ASSERT_THAT(graph.parameter("weight." + std::to_string(i), {16, 16}), IsOk());
    ASSERT_THAT(graph.value_sequence("weights", {v(1), v(2)}), IsOkAndHolds(kSequence0));
    ASSERT_THAT(graph.parameter("bias", {16}), IsOkAndHolds(v(3)));
  }

  ComputeGraph graph;
};

// The body of the usual layer: state · weight.
Yields multiply_by_weight(RegionBuilder& body, const RepeatArguments& arguments) {
  auto product = body.gemm(arguments.carried[0], arguments.iterated[0]);
  if (!product) return std::unexpected(product.error());
  return std::vector<ValueId>{*product};
}

TEST_F(RepeatTest, BuildsTheRecordAndNumbersArgumentsBodyRepeatAndResultsInThatOrder) {
  RepeatArguments seen;
  const auto results = graph.repeat(
      2, {v(0)}, {v(3)}, {kSequence0}, [&](RegionBuilder& body, const RepeatArguments& arguments) -> Yields {
        seen = arguments;
        auto product = body.gemm(arguments.carried[0], arguments.iterated[0]);
        if (!product) return std::unexpected(product.error());
        auto sum = body.inferred_result(OperationKind::Add{}, {*product, arguments.invariants[0]});
        if (!sum) return std::unexpected(sum.error());
        return std::vector<ValueId>{*sum};
      });
  ASSERT_THAT(results, IsOkAndHolds(ElementsAre(v(9))));
  EXPECT_EQ(seen, (RepeatArguments{{v(4)}, {v(5)}, {v(6)}}));

  const Region body{{v(4), v(5), v(6)},
                    {Operation{OperationId{0}, {v(4), v(6)}, {v(7)}, OperationKind::Gemm{}},
                     Operation{OperationId{1}, {v(7), v(5)}, {v(8)}, OperationKind::Add{}}},
                    {v(8)},
                    {{v(4), {16, 16}}, {v(5), {16}}, {v(6), {16, 16}}, {v(7), {16, 16}}, {v(8), {16, 16}}}};
  EXPECT_THAT(graph.operations(),
              ElementsAre(Operation{OperationId{2}, {v(0), v(3)}, {v(9)}, Repeat{2, 1, 1, {kSequence0}, body}}));
  EXPECT_EQ(graph.values(), (ValueSet{v(0), v(1), v(2), v(3), v(9)}));
  EXPECT_EQ(graph.value_shape(v(9)), (TensorShape{16, 16}));
  EXPECT_EQ(graph.value_shape(v(7)), std::nullopt);  // body values stay in the body
  EXPECT_EQ(graph.next_value(), 10u);
  EXPECT_EQ(graph.next_operation(), 3u);
}

TEST(Repeat, TheWeightsExampleGivesTheDocumentedNumbers) {
  ComputeGraph graph;
  ASSERT_THAT(graph.host_input("state", {16, 16}), IsOkAndHolds(v(0)));
  ASSERT_THAT(graph.parameter("weight.0", {16, 16}), IsOkAndHolds(v(1)));
  ASSERT_THAT(graph.parameter("weight.1", {16, 16}), IsOkAndHolds(v(2)));
  ASSERT_THAT(graph.value_sequence("weights", {v(1), v(2)}), IsOkAndHolds(kSequence0));
  ASSERT_THAT(graph.repeat(2, {v(0)}, {}, {kSequence0}, multiply_by_weight), IsOkAndHolds(ElementsAre(v(6))));
  const Region body{{v(3), v(4)},
                    {Operation{OperationId{0}, {v(3), v(4)}, {v(5)}, OperationKind::Gemm{}}},
                    {v(5)},
                    {{v(3), {16, 16}}, {v(4), {16, 16}}, {v(5), {16, 16}}}};
  EXPECT_THAT(graph.operations(),
              ElementsAre(Operation{OperationId{1}, {v(0)}, {v(6)}, Repeat{2, 1, 0, {kSequence0}, body}}));
  EXPECT_EQ(graph.value_shape(v(6)), (TensorShape{16, 16}));
  EXPECT_THAT(graph.sequences(), ElementsAre(ValueSequence{kSequence0, "weights", {v(1), v(2)}}));
}

// Checks before the body runs: the body is never called, and nothing changes, counters included.
TEST_F(RepeatTest, ChecksBeforeTheBodyFailInOrderAndChangeNothing) {
  struct Case {
    std::string name;
    std::uint32_t count;
    std::vector<ValueId> carried;
    std::vector<ValueId> invariants;
    std::vector<ValueSequenceId> iterated;
    GraphError error;
  };
  const Case cases[] = {
      {"count 0 first", 0, {v(50)}, {v(51)}, {ValueSequenceId{9}}, GraphError::EmptyRepeat{}},
      {"carried before invariants", 1, {v(0), v(50)}, {v(51)}, {}, GraphError::UnknownValue{v(50)}},
      {"invariants", 1, {v(0)}, {v(3), v(51)}, {}, GraphError::UnknownValue{v(51)}},
      {"values before sequences", 1, {v(50)}, {}, {ValueSequenceId{9}}, GraphError::UnknownValue{v(50)}},
      {"unknown sequence",
       1,
       {v(0)},
       {},
       {kSequence0, ValueSequenceId{1}},
       GraphError::UnknownSequence{ValueSequenceId{1}}},
      {"short sequence", 3, {v(0)}, {}, {kSequence0}, GraphError::ShortSequence{kSequence0, 2, 3}},
      {"each sequence checked in turn",
       3,
       {},
       {},
       {ValueSequenceId{7}, kSequence0},
       GraphError::UnknownSequence{ValueSequenceId{7}}},
      {"largest count", 0xFFFFFFFF, {}, {}, {kSequence0}, GraphError::ShortSequence{kSequence0, 2, 0xFFFFFFFF}},
  };
  const ComputeGraph before = graph;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bool called = false;
    const auto body = [&](RegionBuilder&, const RepeatArguments&) -> Yields {
      called = true;
      return std::vector<ValueId>{};
    };
    EXPECT_THAT(graph.repeat(c.count, c.carried, c.invariants, c.iterated, body), FailsWith(c.error));
    EXPECT_FALSE(called);
    EXPECT_EQ(graph, before);
  }
}

TEST_F(RepeatTest, SequencesAsLongAsTheCountOrLongerAreAccepted) {
  for (const std::uint32_t count : {1u, 2u}) {
    SCOPED_TRACE(count);
    EXPECT_THAT(graph.repeat(count, {v(0)}, {}, {kSequence0}, multiply_by_weight), IsOk());
  }
}

// Failures from the body onwards: the graph's lists, values and shapes stay, but the counters
// keep the numbers the body took (here: 3 arguments, then each appended body operation).
TEST_F(RepeatTest, FailuresFromTheBodyOnKeepTheNumbersTheBodyTook) {
  struct Case {
    std::string name;
    std::function<Yields(RegionBuilder&, const RepeatArguments&)> build;
    GraphError error;
    std::uint32_t values_taken;
    std::uint32_t operations_taken;
  };
  const Case cases[] = {
      {"body error passes unchanged",
       [](RegionBuilder&, const RepeatArguments&) -> Yields { return std::unexpected(GraphError::EmptyRepeat{}); },
       GraphError::EmptyRepeat{}, 3, 0},
      {"graph value used in the body",
       [](RegionBuilder& body, const RepeatArguments& a) -> Yields {
         (void)body.gemm(a.carried[0], a.iterated[0]);
         auto bad = body.gemm(a.carried[0], v(1));
         if (!bad) return std::unexpected(bad.error());
         return std::vector<ValueId>{*bad};
       },
       GraphError::UnknownValue{v(1)}, 4, 1},
      {"no yields for one carried",
       [](RegionBuilder&, const RepeatArguments&) -> Yields { return std::vector<ValueId>{}; },
       GraphError::YieldArity{1, 0}, 3, 0},
      {"two yields for one carried",
       [](RegionBuilder&, const RepeatArguments& a) -> Yields {
         return std::vector<ValueId>{a.carried[0], a.carried[0]};
       },
       GraphError::YieldArity{1, 2}, 3, 0},
      {"yield of another shape",
       [](RegionBuilder&, const RepeatArguments& a) -> Yields { return std::vector<ValueId>{a.invariants[0]}; },
       GraphError::YieldShape{0}, 3, 0},
      {"yield of the carried graph value itself",
       [](RegionBuilder&, const RepeatArguments&) -> Yields { return std::vector<ValueId>{v(0)}; },
       GraphError::YieldShape{0}, 3, 0},
      {"yield of a value never allocated",
       [](RegionBuilder& body, const RepeatArguments&) -> Yields {
         (void)body.operation(OperationKind::Gelu{}, {}, {{16, 16}, {16, 16}});
         return std::vector<ValueId>{v(1000)};
       },
       GraphError::YieldShape{0}, 5, 1},
      {"yield of a body value of an earlier repeat (the first case's carried argument)",
       [](RegionBuilder&, const RepeatArguments&) -> Yields { return std::vector<ValueId>{v(4)}; },
       GraphError::YieldShape{0}, 3, 0},
      {"inference error in the body",
       [](RegionBuilder& body, const RepeatArguments& a) -> Yields {
         auto bad = body.inferred_result(OperationKind::Add{}, {a.carried[0], a.invariants[0], a.iterated[0]});
         auto worse = body.gemm(a.invariants[0], a.carried[0]);
         if (!worse) return std::unexpected(worse.error());
         return std::vector<ValueId>{*bad};
       },
       GraphError::InvalidShape{"GEMM inputs must have rank at least two"}, 4, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ComputeGraph expected = graph;
    const std::uint32_t next_value = graph.next_value();
    const std::uint32_t next_operation = graph.next_operation();
    EXPECT_THAT(graph.repeat(2, {v(0)}, {v(3)}, {kSequence0}, c.build), FailsWith(c.error));
    EXPECT_EQ(graph.next_value(), next_value + c.values_taken);
    EXPECT_EQ(graph.next_operation(), next_operation + c.operations_taken);
    EXPECT_EQ(graph.inputs(), expected.inputs());
    EXPECT_EQ(graph.sequences(), expected.sequences());
    EXPECT_EQ(graph.operations(), expected.operations());
    EXPECT_EQ(graph.values(), expected.values());
    EXPECT_EQ(graph.value_shapes(), expected.value_shapes());
  }
  // The numbers taken are not handed out again.
  EXPECT_THAT(graph.add(v(3), v(3)), IsOkAndHolds(v(35)));
}

TEST_F(RepeatTest, ABodyThatThrowsLeavesTheGraphAsAFailedRepeatDoes) {
  const ComputeGraph before = graph;
  const auto throwing = [](RegionBuilder& body, const RepeatArguments& a) -> Yields {
    (void)body.gemm(a.carried[0], a.carried[0]);
    throw std::runtime_error("body gave up");
  };
  EXPECT_THROW((void)graph.repeat(1, {v(0)}, {}, {}, throwing), std::runtime_error);
  EXPECT_EQ(graph.operations(), before.operations());
  EXPECT_EQ(graph.values(), before.values());
  EXPECT_EQ(graph.next_value(), before.next_value() + 2);
  EXPECT_EQ(graph.next_operation(), before.next_operation() + 1);
}

TEST_F(RepeatTest, EdgeShapesOfARepeat) {
  // Yielding the carried argument unchanged is a valid loop.
  EXPECT_THAT(
      graph.repeat(1, {v(0)}, {}, {}, [](RegionBuilder&, const RepeatArguments& a) -> Yields { return a.carried; }),
      IsOkAndHolds(ElementsAre(v(5))));
  // Any count is recorded; the graph does not run the loop.
  EXPECT_THAT(graph.repeat(0xFFFFFFFF, {v(0)}, {}, {},
                           [](RegionBuilder&, const RepeatArguments& a) -> Yields { return a.carried; }),
              IsOk());
  // Nothing carried: empty yields, no results, but an operation number all the same.
  EXPECT_THAT(graph.repeat(5, {}, {v(3)}, {},
                           [](RegionBuilder&, const RepeatArguments&) -> Yields { return std::vector<ValueId>{}; }),
              IsOkAndHolds(IsEmpty()));
  EXPECT_EQ(graph.operations().back().id, OperationId{2});
  EXPECT_THAT(graph.operations().back().results, IsEmpty());
  // Values and sequences may repeat; a body may reach the same argument twice.
  const auto twice = graph.repeat(2, {v(0), v(0)}, {}, {kSequence0, kSequence0},
                                  [](RegionBuilder& body, const RepeatArguments& a) -> Yields {
                                    auto left = body.gemm(a.carried[0], a.iterated[0]);
                                    auto right = body.gemm(a.carried[1], a.iterated[1]);
                                    if (!left || !right) return std::unexpected(GraphError::EmptyRepeat{});
                                    return std::vector<ValueId>{*right, *left};
                                  });
  ASSERT_THAT(twice, IsOkAndHolds(ElementsAre(v(15), v(16))));
  const auto& record = std::get<Repeat>(graph.operations().back().kind.alternative);
  EXPECT_EQ(record.body->arguments, (std::vector<ValueId>{v(9), v(10), v(11), v(12)}));
  EXPECT_EQ(record.body->yields, (std::vector<ValueId>{v(14), v(13)}));
  EXPECT_EQ(record.iterated_inputs, (std::vector<ValueSequenceId>{kSequence0, kSequence0}));
}

TEST_F(RepeatTest, ValueSequencesCheckNameValuesAndShapesInOrder) {
  const ComputeGraph before = graph;
  EXPECT_THAT(graph.value_sequence("", {v(99)}), FailsWith(GraphError{GraphError::EmptyName{}}));
  EXPECT_THAT(graph.value_sequence("s", {v(1), v(99)}), FailsWith(GraphError{GraphError::UnknownValue{v(99)}}));
  EXPECT_THAT(graph.value_sequence("s", {v(1), v(2), v(3), v(99)}),
              FailsWith(GraphError{GraphError::UnknownValue{v(99)}}));
  EXPECT_THAT(graph.value_sequence("s", {v(1), v(2), v(3)}), FailsWith(GraphError{GraphError::SequenceShape{2}}));
  EXPECT_THAT(graph.value_sequence("s", {v(3), v(1)}), FailsWith(GraphError{GraphError::SequenceShape{1}}));
  EXPECT_EQ(graph, before);

  EXPECT_THAT(graph.value_sequence("weights", {v(2), v(2), v(1)}), IsOkAndHolds(ValueSequenceId{1}));
  EXPECT_THAT(graph.value_sequence("empty", {}), IsOkAndHolds(ValueSequenceId{2}));
  EXPECT_EQ(graph.sequences().back(), (ValueSequence{ValueSequenceId{2}, "empty", {}}));
  EXPECT_THAT(graph.repeat(1, {}, {}, {ValueSequenceId{2}}, multiply_by_weight),
              FailsWith(GraphError{GraphError::ShortSequence{ValueSequenceId{2}, 0, 1}}));
}

TEST_F(RepeatTest, ABodyThatCallsTheGraphItCapturedLeavesAConsistentGraph) {
  // The body has no business changing the graph, but a lambda can capture it; the calls it makes
  // are ordinary calls and the repeat still lands behind them with fresh numbers.
  const auto results = graph.repeat(1, {v(0)}, {}, {}, [&](RegionBuilder&, const RepeatArguments& a) -> Yields {
    EXPECT_THAT(graph.host_input("late", {1}), IsOkAndHolds(v(5)));
    return a.carried;
  });
  ASSERT_THAT(results, IsOkAndHolds(ElementsAre(v(6))));
  EXPECT_EQ(graph.values(), (ValueSet{v(0), v(1), v(2), v(3), v(5), v(6)}));
}

}  // namespace
}  // namespace vorn_codegen::graph
