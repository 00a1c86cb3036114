#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::graph {
namespace {

ValueId v(std::uint32_t n) { return ValueId{n}; }

TEST(TextForms, RecordsNameEveryFieldInDeclarationOrder) {
  const Region body{{v(3), v(4)},
                    {Operation{OperationId{0}, {v(3), v(4)}, {v(5)}, OperationKind::Gemm{}}},
                    {v(5)},
                    {{v(3), {16, 16}}, {v(5), {}}}};
  EXPECT_EQ(to_string(OperationKind::Gelu{}), "Gelu");
  EXPECT_EQ(to_string(OperationKind::FlashAttention{}), "FlashAttention");
  EXPECT_EQ(to_string(Operation{OperationId{1}, {v(0), v(0)}, {}, OperationKind::Add{}}),
            "Operation { id: OperationId(1), inputs: [ValueId(0), ValueId(0)], results: [], kind: Add }");
  EXPECT_EQ(to_string(OperationKind{Repeat{2, 1, 0, {ValueSequenceId{0}}, body}}),
            "Repeat(Repeat { count: 2, carried_inputs: 1, invariant_inputs: 0, iterated_inputs: [ValueSequenceId(0)], "
            "body: Region { arguments: [ValueId(3), ValueId(4)], operations: [Operation { id: OperationId(0), "
            "inputs: [ValueId(3), ValueId(4)], results: [ValueId(5)], kind: Gemm }], yields: [ValueId(5)], "
            "value_shapes: {ValueId(3): TensorShape([16, 16]), ValueId(5): TensorShape([])} } })");
  EXPECT_EQ(to_string(GraphInput{"a \"b\"", GraphInputKind::Parameter, v(7), {2}}),
            R"(GraphInput { name: "a \"b\"", kind: Parameter, value: ValueId(7), shape: TensorShape([2]) })");
  EXPECT_EQ(to_string(ValueSequence{ValueSequenceId{1}, "w", {v(1), v(2)}}),
            R"(ValueSequence { id: ValueSequenceId(1), name: "w", values: [ValueId(1), ValueId(2)] })");
  EXPECT_EQ(to_string(RepeatArguments{{v(1)}, {}, {v(2), v(3)}}),
            "RepeatArguments { carried: [ValueId(1)], invariants: [], iterated: [ValueId(2), ValueId(3)] }");
}

TEST(TextForms, TheGraphDumpShowsEveryValueWithItsShapeAndIndentsBodies) {
  ComputeGraph graph;
  const ValueId state = *graph.host_input("state", {16, 16});
  const ValueId w0 = *graph.parameter("weight.0", {16, 16});
  const ValueId w1 = *graph.parameter("weight.1", {16, 16});
  const ValueSequenceId weights = *graph.value_sequence("weights", {w0, w1});
  const auto results = graph.repeat(2, {state}, {w0}, {weights}, [](RegionBuilder& body, const RepeatArguments& a) {
    return std::vector<ValueId>{*body.gemm(a.carried[0], a.iterated[0])};
  });
  ASSERT_TRUE(results.has_value());
  const ValueId sum = *graph.add((*results)[0], w1);
  ASSERT_TRUE(graph.set_outputs({sum, state}).has_value());
  EXPECT_EQ(to_string(graph),
            "input %0 \"state\": Host [16, 16]\n"
            "input %1 \"weight.0\": Parameter [16, 16]\n"
            "input %2 \"weight.1\": Parameter [16, 16]\n"
            "sequence #0 \"weights\" = %1, %2\n"
            "op1: %7 [16, 16] = Repeat x2 (carried %0; invariant %1; iterated #0)\n"
            "  body (%3 [16, 16], %4 [16, 16], %5 [16, 16]):\n"
            "    op0: %6 [16, 16] = Gemm(%3, %5)\n"
            "    yield %6\n"
            "op2: %8 [16, 16] = Add(%7, %2)\n"
            "outputs %8, %0\n");
}

}  // namespace
}  // namespace vorn_codegen::graph
