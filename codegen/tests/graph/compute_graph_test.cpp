#include <cstdint>
#include <expected>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen::graph {

namespace detail {
// Test hook declared by ComputeGraph: places a counter near its limit without building billions
// of values.
struct CounterAccess {
  static void set_next_value(ComputeGraph& graph, std::uint32_t next) { graph.next_value_ = next; }
  static void set_next_operation(ComputeGraph& graph, std::uint32_t next) { graph.next_operation_ = next; }
};
}  // namespace detail

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using vorn::testing::FailsWith;
using vorn::testing::IsOk;
using vorn::testing::IsOkAndHolds;

constexpr std::uint32_t kMaxNumber = std::numeric_limits<std::uint32_t>::max();

ValueId v(std::uint32_t n) { return ValueId{n}; }
GraphError unknown(std::uint32_t n) { return GraphError::UnknownValue{ValueId{n}}; }
GraphError invalid(std::string message) { return GraphError::InvalidShape{std::move(message)}; }

// Any call's outcome without its value, so that calls of every signature fit one table.
template <class T>
std::expected<void, GraphError> status(const std::expected<T, GraphError>& result) {
  if (result) return {};
  return std::unexpected(result.error());
}

TEST(ComputeGraph, NewGraphIsEmpty) {
  const ComputeGraph graph;
  EXPECT_THAT(graph.inputs(), IsEmpty());
  EXPECT_THAT(graph.sequences(), IsEmpty());
  EXPECT_THAT(graph.operations(), IsEmpty());
  EXPECT_THAT(graph.outputs(), IsEmpty());
  EXPECT_TRUE(graph.values().empty());
  EXPECT_TRUE(graph.value_shapes().empty());
  EXPECT_EQ(graph.value_shape(v(0)), std::nullopt);
  EXPECT_EQ(graph, ComputeGraph{});
  EXPECT_EQ(graph.next_value(), 0u);
  EXPECT_EQ(graph.next_operation(), 0u);
  EXPECT_EQ(graph.next_sequence(), 0u);
}

TEST(ComputeGraph, InputsAndAProductAreNumberedInOrderAndKeepTheirShapes) {
  ComputeGraph graph;
  EXPECT_THAT(graph.host_input("left", {2, 1, 32, 64}), IsOkAndHolds(v(0)));
  EXPECT_THAT(graph.parameter("right", {1, 3, 64, 16}), IsOkAndHolds(v(1)));
  EXPECT_THAT(graph.gemm(v(0), v(1)), IsOkAndHolds(v(2)));

  EXPECT_THAT(graph.inputs(), ElementsAre(GraphInput{"left", GraphInputKind::Host, v(0), {2, 1, 32, 64}},
                                          GraphInput{"right", GraphInputKind::Parameter, v(1), {1, 3, 64, 16}}));
  EXPECT_THAT(graph.operations(), ElementsAre(Operation{OperationId{0}, {v(0), v(1)}, {v(2)}, OperationKind::Gemm{}}));
  EXPECT_EQ(graph.values(), (ValueSet{v(0), v(1), v(2)}));
  EXPECT_EQ(graph.value_shapes(), (ShapeMap{{v(0), {2, 1, 32, 64}}, {v(1), {1, 3, 64, 16}}, {v(2), {2, 3, 32, 16}}}));
  EXPECT_EQ(graph.value_shape(v(2)), (TensorShape{2, 3, 32, 16}));
  EXPECT_EQ(graph.value_shape(v(3)), std::nullopt);
  EXPECT_EQ(graph.next_value(), 3u);
  EXPECT_EQ(graph.next_operation(), 1u);
}

TEST(ComputeGraph, OperationsOfEveryKindInferTheirResultShapes) {
  ComputeGraph graph;
  const ValueId q = *graph.host_input("q", {2, 8, 128, 64});
  const ValueId k = *graph.host_input("k", {1, 8, 256, 64});
  const ValueId value = *graph.host_input("v", {1, 8, 256, 80});
  const ValueId bias = *graph.parameter("bias", {80});

  const auto attention = graph.flash_attention(q, k, value);
  ASSERT_THAT(attention, IsOk());
  EXPECT_EQ(graph.value_shape(*attention), (TensorShape{2, 8, 128, 80}));
  const auto sum = graph.add(*attention, bias);
  ASSERT_THAT(sum, IsOk());
  EXPECT_EQ(graph.value_shape(*sum), (TensorShape{2, 8, 128, 80}));
  const auto activation = graph.inferred_result(OperationKind::Gelu{}, {*sum});
  ASSERT_THAT(activation, IsOk());
  EXPECT_EQ(graph.value_shape(*activation), (TensorShape{2, 8, 128, 80}));
  EXPECT_THAT(graph.add(bias, bias), IsOk());  // an input may appear twice
  EXPECT_EQ(graph.operations().back().inputs, (std::vector<ValueId>{bias, bias}));
}

TEST(ComputeGraph, InputsAcceptAnyNameButTheEmptyOneAndAnyDimensions) {
  const std::vector<std::uint32_t> rank_64(64, 1);
  const std::string huge_name(1 << 20, 'n');
  struct Case {
    std::string name;
    std::vector<std::uint32_t> dimensions;
  };
  const Case cases[] = {
      {" ", {16, 16}},
      {"same", {}},
      {"same", {0}},
      {huge_name, {kMaxNumber, kMaxNumber, kMaxNumber}},
      {std::string("nul\0byte", 8), rank_64},
  };
  ComputeGraph graph;
  std::uint32_t next = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.size());
    ASSERT_THAT(graph.host_input(c.name, c.dimensions), IsOkAndHolds(v(next)));
    EXPECT_EQ(graph.inputs().back(), (GraphInput{c.name, GraphInputKind::Host, v(next), TensorShape(c.dimensions)}));
    EXPECT_EQ(graph.value_shape(v(next)), TensorShape(c.dimensions));
    ++next;
  }
}

TEST(ComputeGraph, EmptyNameFailsAndTakesNoNumber) {
  ComputeGraph graph;
  EXPECT_THAT(graph.host_input("", {16, 16}), FailsWith(GraphError{GraphError::EmptyName{}}));
  EXPECT_THAT(graph.parameter("", {}), FailsWith(GraphError{GraphError::EmptyName{}}));
  EXPECT_EQ(graph, ComputeGraph{});
  EXPECT_THAT(graph.host_input("x", {16, 16}), IsOkAndHolds(v(0)));
}

// A graph with x [4, 8] (value 0), w [8, 2] (value 1), s [] (value 2) and x·w (operation 0,
// value 3); every call below must fail with its error and leave it exactly as it was.
TEST(ComputeGraph, FailedCallsReportTheFirstErrorInCheckOrderAndChangeNothing) {
  ComputeGraph graph;
  ASSERT_THAT(graph.host_input("x", {4, 8}), IsOk());
  ASSERT_THAT(graph.parameter("w", {8, 2}), IsOk());
  ASSERT_THAT(graph.host_input("s", {}), IsOk());
  ASSERT_THAT(graph.gemm(v(0), v(1)), IsOk());
  ASSERT_THAT(graph.set_outputs({v(3)}), IsOk());
  const ComputeGraph before = graph;

  struct Case {
    std::string name;
    std::function<std::expected<void, GraphError>(ComputeGraph&)> call;
    GraphError error;
  };
  const Case cases[] = {
      {"gemm neither defined", [](ComputeGraph& g) { return status(g.gemm(v(10), v(11))); }, unknown(10)},
      {"gemm right undefined", [](ComputeGraph& g) { return status(g.gemm(v(0), v(4))); }, unknown(4)},
      {"gemm undefined before bad shape", [](ComputeGraph& g) { return status(g.gemm(v(2), v(9))); }, unknown(9)},
      {"gemm inner mismatch", [](ComputeGraph& g) { return status(g.gemm(v(0), v(0))); },
       invalid("GEMM inner dimensions do not match")},
      {"gemm rank zero", [](ComputeGraph& g) { return status(g.gemm(v(2), v(1))); },
       invalid("GEMM inputs must have rank at least two")},
      {"add clash", [](ComputeGraph& g) { return status(g.add(v(0), v(1))); },
       invalid("dimensions 4 and 8 cannot be broadcast")},
      {"attention rank", [](ComputeGraph& g) { return status(g.flash_attention(v(0), v(0), v(2))); },
       invalid("FlashAttention inputs must have rank at least two")},
      {"attention undefined value", [](ComputeGraph& g) { return status(g.flash_attention(v(0), v(0), v(7))); },
       unknown(7)},
      {"gelu without input", [](ComputeGraph& g) { return status(g.inferred_result(OperationKind::Gelu{}, {})); },
       invalid("wrong input arity")},
      {"inferred repeat",
       [](ComputeGraph& g) {
         return status(g.inferred_result(OperationKind{Repeat{1, 0, 0, {}, Region{}}}, {v(0)}));
       },
       invalid("repeat result shapes are defined by carried values")},
      {"operation undefined input",
       [](ComputeGraph& g) {
         return status(g.operation(OperationKind::Add{}, {v(0), v(5)}, {{1}}));
       },
       unknown(5)},
      {"set outputs with one undefined",
       [](ComputeGraph& g) {
         return status(g.set_outputs({v(0), v(kMaxNumber), v(6)}));
       },
       unknown(kMaxNumber)},
      {"empty host name", [](ComputeGraph& g) { return status(g.host_input("", {1})); }, GraphError::EmptyName{}},
      {"empty parameter name", [](ComputeGraph& g) { return status(g.parameter("", {1})); }, GraphError::EmptyName{}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(c.call(graph), FailsWith(c.error));
    EXPECT_EQ(graph, before);
  }
  // The next operation takes the number that the failed ones would have had.
  EXPECT_THAT(graph.gemm(v(0), v(1)), IsOkAndHolds(v(4)));
  EXPECT_EQ(graph.operations().back().id, OperationId{1});
}

TEST(ComputeGraph, GeneralOperationTakesAnyKindAndResultCountWithoutInference) {
  ComputeGraph graph;
  const ValueId x = *graph.host_input("x", {3});
  EXPECT_THAT(graph.operation(OperationKind::Gemm{}, {x}, {}), IsOkAndHolds(IsEmpty()));
  EXPECT_THAT(graph.operation(OperationKind::Gelu{}, {}, {{1, 2}, {}, {7}}),
              IsOkAndHolds(ElementsAre(v(1), v(2), v(3))));
  EXPECT_THAT(graph.operations(),
              ElementsAre(Operation{OperationId{0}, {x}, {}, OperationKind::Gemm{}},
                          Operation{OperationId{1}, {}, {v(1), v(2), v(3)}, OperationKind::Gelu{}}));
  EXPECT_EQ(graph.value_shape(v(1)), (TensorShape{1, 2}));
  EXPECT_EQ(graph.value_shape(v(2)), TensorShape{});
  EXPECT_EQ(graph.next_value(), 4u);
  EXPECT_EQ(graph.next_operation(), 2u);
}

TEST(ComputeGraph, SetOutputsReplacesTheListKeepingOrderAndDuplicates) {
  ComputeGraph graph;
  const ValueId x = *graph.host_input("x", {2});
  const ValueId y = *graph.add(x, x);
  EXPECT_THAT(graph.set_outputs({y, x, y}), IsOk());
  EXPECT_THAT(graph.outputs(), ElementsAre(y, x, y));
  EXPECT_THAT(graph.set_outputs({x, v(9)}), FailsWith(unknown(9)));
  EXPECT_THAT(graph.outputs(), ElementsAre(y, x, y));
  // The graph's own list may be handed back: it is read whole before it is replaced.
  EXPECT_THAT(graph.set_outputs(graph.outputs()), IsOk());
  EXPECT_THAT(graph.outputs(), ElementsAre(y, x, y));
  EXPECT_THAT(graph.set_outputs({}), IsOk());
  EXPECT_THAT(graph.outputs(), IsEmpty());
}

TEST(ComputeGraph, ACounterNeverWrapsTheCallThatWouldPassItThrowsAndChangesNothing) {
  ComputeGraph graph;
  const ValueId x = *graph.host_input("x", {2, 2});
  detail::CounterAccess::set_next_value(graph, kMaxNumber - 2);
  EXPECT_THAT(graph.add(x, x), IsOkAndHolds(v(kMaxNumber - 2)));
  ComputeGraph before = graph;
  EXPECT_THROW((void)graph.operation(OperationKind::Gelu{}, {x}, {{1}, {2}}), std::length_error);
  EXPECT_EQ(graph, before);
  EXPECT_THAT(graph.parameter("last", {1}), IsOkAndHolds(v(kMaxNumber - 1)));
  before = graph;
  EXPECT_THROW((void)graph.host_input("past", {1}), std::length_error);
  EXPECT_THROW((void)graph.gemm(x, x), std::length_error);
  EXPECT_EQ(graph, before);
  EXPECT_THAT(graph.operation(OperationKind::Gelu{}, {x}, {}), IsOk());  // no value needed

  detail::CounterAccess::set_next_operation(graph, kMaxNumber);
  before = graph;
  EXPECT_THROW((void)graph.operation(OperationKind::Gelu{}, {x}, {}), std::length_error);
  EXPECT_EQ(graph, before);
}

TEST(ComputeGraph, ARepeatThatRunsOutOfNumbersThrowsAsAFailedRepeat) {
  ComputeGraph graph;
  const ValueId x = *graph.host_input("x", {2, 2});
  const auto square = [](RegionBuilder& body,
                         const RepeatArguments& a) -> std::expected<std::vector<ValueId>, GraphError> {
    return std::vector<ValueId>{*body.gemm(a.carried[0], a.carried[0])};
  };
  // Two arguments cannot be numbered: nothing is taken.
  detail::CounterAccess::set_next_value(graph, kMaxNumber - 1);
  ComputeGraph before = graph;
  EXPECT_THROW((void)graph.repeat(1, {x, x}, {}, {}, square), std::length_error);
  EXPECT_EQ(graph, before);
  // The argument and the body's product fit, the repeat's result does not: the body's numbers
  // stay taken, as when a body fails.
  detail::CounterAccess::set_next_value(graph, kMaxNumber - 2);
  before = graph;
  EXPECT_THROW((void)graph.repeat(1, {x}, {}, {}, square), std::length_error);
  EXPECT_EQ(graph.operations(), before.operations());
  EXPECT_EQ(graph.values(), before.values());
  EXPECT_EQ(graph.value_shapes(), before.value_shapes());
  EXPECT_EQ(graph.next_value(), kMaxNumber);
  EXPECT_EQ(graph.next_operation(), before.next_operation() + 1);
}

}  // namespace
}  // namespace vorn_codegen::graph
