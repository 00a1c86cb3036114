#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::graph {
namespace {

TEST(TensorShape, ElementsIsTheProductOfExtentsAndSaturatesInsteadOfWrapping) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  constexpr auto kExtentMax = std::numeric_limits<std::uint32_t>::max();
  struct Case {
    TensorShape shape;
    std::uint64_t elements;
  };
  const Case cases[] = {
      {TensorShape{}, 1},
      {TensorShape{2, 0, 5}, 0},
      {TensorShape{16, 16}, 256},
      {TensorShape{2, 1, 32, 64}, 4096},
      {TensorShape{kExtentMax, kExtentMax}, std::uint64_t{kExtentMax} * kExtentMax},
      {TensorShape{kExtentMax, kExtentMax, 2}, kMax},
      {TensorShape{kExtentMax, kExtentMax, kExtentMax, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_string(c.shape));
    EXPECT_EQ(c.shape.elements(), c.elements);
  }
}

TEST(TensorShape, EqualityComparesRankAndExtentsInOrder) {
  EXPECT_EQ((TensorShape{2, 3}), (TensorShape{2, 3}));
  EXPECT_NE((TensorShape{2, 3}), (TensorShape{3, 2}));
  EXPECT_NE((TensorShape{2, 3}), (TensorShape{2, 3, 1}));
}

TEST(Identifiers, ValueIdsOrderByNumberAndSequenceIndexIsTheNumber) {
  EXPECT_LT(ValueId{2}, ValueId{10});
  EXPECT_EQ(ValueSequenceId{5}.index(), 5u);
  EXPECT_EQ(OperationId{1}, OperationId{1});
}

TEST(TextForms, MatchTheDiagnosticFormat) {
  EXPECT_EQ(to_string(ValueId{7}), "ValueId(7)");
  EXPECT_EQ(to_string(OperationId{0}), "OperationId(0)");
  EXPECT_EQ(to_string(ValueSequenceId{3}), "ValueSequenceId(3)");
  EXPECT_EQ(to_string(TensorShape{2, 3, 32, 16}), "TensorShape([2, 3, 32, 16])");
  EXPECT_EQ(to_string(TensorShape{}), "TensorShape([])");
  EXPECT_EQ(to_string(GraphInputKind::Host), "Host");
  EXPECT_EQ(to_string(GraphInputKind::Parameter), "Parameter");
  EXPECT_EQ(to_string(GraphError::EmptyName{}), "EmptyName");
  EXPECT_EQ(to_string(GraphError::EmptyRepeat{}), "EmptyRepeat");
  EXPECT_EQ(to_string(GraphError::UnknownValue{ValueId{7}}), "UnknownValue(ValueId(7))");
  EXPECT_EQ(to_string(GraphError::UnknownSequence{ValueSequenceId{1}}), "UnknownSequence(ValueSequenceId(1))");
  EXPECT_EQ(to_string(GraphError::ShortSequence{ValueSequenceId{0}, 1, 2}),
            "ShortSequence { sequence: ValueSequenceId(0), available: 1, required: 2 }");
  EXPECT_EQ(to_string(GraphError::YieldArity{1, 0}), "YieldArity { expected: 1, actual: 0 }");
  EXPECT_EQ(to_string(GraphError::InvalidShape{"GEMM inner dimensions do not match"}),
            R"(InvalidShape("GEMM inner dimensions do not match"))");
  EXPECT_EQ(to_string(GraphError::SequenceShape{2}), "SequenceShape { entry: 2 }");
  EXPECT_EQ(to_string(GraphError::YieldShape{0}), "YieldShape { index: 0 }");
}

}  // namespace
}  // namespace vorn_codegen::graph
