#include "shape_inference.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/testing/expected.hpp"

namespace vorn_codegen::graph::detail {
namespace {

using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;

GraphError invalid(std::string message) { return GraphError::InvalidShape{std::move(message)}; }

constexpr std::uint32_t kMaxExtent = std::numeric_limits<std::uint32_t>::max();

TEST(Broadcast, AlignsAtTheEndStretchesOnesAndReportsTheOutermostClashLeftFirst) {
  struct Case {
    std::string name;
    std::vector<std::uint32_t> left;
    std::vector<std::uint32_t> right;
    std::vector<std::uint32_t> result;
    std::string error = {};
  };
  const Case cases[] = {
      {"both empty", {}, {}, {}},
      {"empty against any", {}, {4, 5}, {4, 5}},
      {"missing leading extent counts as 1", {4, 1}, {3}, {4, 3}},
      {"ones stretch both ways", {1, 7, 1}, {5, 1, 9}, {5, 7, 9}},
      {"zero against one gives one", {0}, {1}, {1}},
      {"one against zero gives one", {1}, {0}, {1}},
      {"zero against zero", {0}, {0}, {0}},
      {"largest extent against one", {kMaxExtent}, {1}, {kMaxExtent}},
      {"zero against five", {0}, {5}, {}, "dimensions 0 and 5 cannot be broadcast"},
      {"clash left extent first", {2, 3}, {3, 2}, {}, "dimensions 2 and 3 cannot be broadcast"},
      {"outermost clash reported", {2, 4, 6}, {3, 5, 7}, {}, "dimensions 2 and 3 cannot be broadcast"},
      {"clash behind a stretched extent", {1, 4}, {9, 5}, {}, "dimensions 4 and 5 cannot be broadcast"},
      {"clash at the largest extent", {kMaxExtent}, {2}, {}, "dimensions 4294967295 and 2 cannot be broadcast"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.error.empty()) {
      EXPECT_THAT(broadcast(c.left, c.right), IsOkAndHolds(c.result));
    } else {
      EXPECT_THAT(broadcast(c.left, c.right), FailsWith(invalid(c.error)));
    }
  }
}

// Values 0.. carry the shapes of one case; value 99 has none.
struct InferCase {
  std::string name;
  OperationKind kind;
  std::vector<TensorShape> shapes;
  TensorShape result;
  std::string error = {};
  std::vector<ValueId> inputs = {};  // defaults to one input per shape
};

TEST(InferShape, FollowsTheRuleOfEachKindAndReportsTheFirstFailingCheck) {
  using K = OperationKind;
  const ValueId missing{99};
  const InferCase cases[] = {
      {"gemm plain", K::Gemm{}, {{32, 64}, {64, 16}}, {32, 16}},
      {"gemm batches broadcast", K::Gemm{}, {{2, 1, 32, 64}, {1, 3, 64, 16}}, {2, 3, 32, 16}},
      {"gemm missing batch counts as one", K::Gemm{}, {{5, 32, 64}, {64, 16}}, {5, 32, 16}},
      {"gemm zero extents", K::Gemm{}, {{0, 0}, {0, 7}}, {0, 7}},
      {"gemm inner mismatch", K::Gemm{}, {{32, 64}, {32, 16}}, {}, "GEMM inner dimensions do not match"},
      {"gemm rank one left", K::Gemm{}, {{64}, {64, 16}}, {}, "GEMM inputs must have rank at least two"},
      {"gemm rank zero right", K::Gemm{}, {{2, 2}, {}}, {}, "GEMM inputs must have rank at least two"},
      {"gemm rank checked before inner", K::Gemm{}, {{3, 5}, {7}}, {}, "GEMM inputs must have rank at least two"},
      {"gemm batch clash", K::Gemm{}, {{2, 32, 64}, {3, 64, 16}}, {}, "dimensions 2 and 3 cannot be broadcast"},
      {"gemm inner checked before batches",
       K::Gemm{},
       {{2, 32, 64}, {3, 63, 16}},
       {},
       "GEMM inner dimensions do not match"},
      {"gemm one input", K::Gemm{}, {{64}}, {}, "wrong input arity"},
      {"gemm no inputs", K::Gemm{}, {}, {}, "wrong input arity"},
      {"gemm input without shape", K::Gemm{}, {{2, 2}}, {}, "wrong input arity", {ValueId{0}, missing}},
      {"gemm extra inputs ignored", K::Gemm{}, {{4, 8}, {8, 2}, {}}, {4, 2}, {}, {ValueId{0}, ValueId{1}, missing}},
      {"add broadcasts", K::Add{}, {{4, 1}, {3}}, {4, 3}},
      {"add same value twice", K::Add{}, {{2, 3}}, {2, 3}, {}, {ValueId{0}, ValueId{0}}},
      {"add rank zero", K::Add{}, {{}, {}}, {}},
      {"add rank zero with matrix", K::Add{}, {{}, {2, 5}}, {2, 5}},
      {"add zero with one", K::Add{}, {{0}, {1}}, {1}},
      {"add zero with five", K::Add{}, {{0}, {5}}, {}, "dimensions 0 and 5 cannot be broadcast"},
      {"add clash", K::Add{}, {{2, 3}, {3, 2}}, {}, "dimensions 2 and 3 cannot be broadcast"},
      {"add one input", K::Add{}, {{2}}, {}, "wrong input arity"},
      {"gelu copies", K::Gelu{}, {{7}}, {7}},
      {"gelu rank zero", K::Gelu{}, {{}}, {}},
      {"gelu no input", K::Gelu{}, {}, {}, "wrong input arity"},
      {"attention batched", K::FlashAttention{}, {{2, 8, 128, 64}, {1, 8, 256, 64}, {1, 8, 256, 80}}, {2, 8, 128, 80}},
      {"attention plain", K::FlashAttention{}, {{128, 64}, {256, 64}, {256, 80}}, {128, 80}},
      {"attention head mismatch",
       K::FlashAttention{},
       {{128, 64}, {256, 32}, {256, 80}},
       {},
       "FlashAttention head or sequence dimensions do not match"},
      {"attention sequence mismatch",
       K::FlashAttention{},
       {{128, 64}, {256, 64}, {255, 80}},
       {},
       "FlashAttention head or sequence dimensions do not match"},
      {"attention rank",
       K::FlashAttention{},
       {{128, 64}, {256, 64}, {80}},
       {},
       "FlashAttention inputs must have rank at least two"},
      {"attention key value clash reported first",
       K::FlashAttention{},
       {{7, 128, 64}, {2, 256, 64}, {3, 256, 80}},
       {},
       "dimensions 2 and 3 cannot be broadcast"},
      {"attention query clash",
       K::FlashAttention{},
       {{7, 128, 64}, {2, 256, 64}, {1, 256, 80}},
       {},
       "dimensions 7 and 2 cannot be broadcast"},
      {"attention two inputs", K::FlashAttention{}, {{128, 64}, {256, 64}}, {}, "wrong input arity"},
      {"repeat always fails",
       K::Repeat{1, 0, 0, {}, Region{}},
       {{2, 2}},
       {},
       "repeat result shapes are defined by carried values"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ShapeMap shapes;
    std::vector<ValueId> inputs = c.inputs;
    for (std::uint32_t i = 0; i < c.shapes.size(); ++i) {
      shapes.insert(ValueId{i}, c.shapes[i]);
      if (c.inputs.empty()) inputs.push_back(ValueId{i});
    }
    if (c.error.empty()) {
      EXPECT_THAT(infer_shape(c.kind, inputs, shapes), IsOkAndHolds(c.result));
    } else {
      EXPECT_THAT(infer_shape(c.kind, inputs, shapes), FailsWith(invalid(c.error)));
    }
  }
}

}  // namespace
}  // namespace vorn_codegen::graph::detail
