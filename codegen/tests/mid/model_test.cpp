#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"

namespace vorn_codegen::mid {
namespace {

using graph::OperationId;
using graph::ValueId;
using testing::f16;
using testing::f32;
using testing::value;

TEST(LoweringState, NumbersValuesDenselyInOrderOfCreation) {
  LoweringState state;
  EXPECT_EQ(state.value(ValueId{7}, {{2, 3}, f16(amp_output(4))}), MidValueId{0});
  EXPECT_EQ(state.value(ValueId{5}, {{16}, f32(amp_left(8, 2))}), MidValueId{1});
  EXPECT_EQ(state.value(ValueId{7}, {{}, f16(amp_output(4))}), MidValueId{2});
  EXPECT_EQ(state.get(MidValueId{1}), value(1, {16}, f32(amp_left(8, 2)), 5));
  EXPECT_THROW((void)state.get(MidValueId{3}), std::out_of_range);
  EXPECT_FALSE(state.exhausted());
}

TEST(LoweringState, ReportsRunningOutOfIdentifiersInsteadOfReusingThemSilently) {
  LoweringState state{2};
  EXPECT_EQ(state.value(ValueId{0}, {{1}, f16(amp_output(4))}), MidValueId{0});
  EXPECT_EQ(state.value(ValueId{1}, {{1}, f16(amp_output(4))}), MidValueId{1});
  EXPECT_FALSE(state.exhausted());
  (void)state.value(ValueId{2}, {{1}, f16(amp_output(4))});
  EXPECT_TRUE(state.exhausted());
}

TEST(LoweringConfig, StartsWithDefaultPrecisionsAndChainsInputFormats) {
  const LoweringConfig fresh{4};
  EXPECT_EQ(fresh.tile_count, 4);
  EXPECT_TRUE(fresh.inputs.empty());
  EXPECT_EQ(fresh.gemm_precisions, (std::vector<Precision>{Precision::F16{}, Precision::F32{}}));

  const LoweringConfig config = LoweringConfig{4}
                                    .with_input(ValueId{3}, f16(amp_output(4)))
                                    .with_input(ValueId{1}, f16(amp_left(16, 4)))
                                    .with_input(ValueId{3}, f32(amp_output(4)));
  EXPECT_EQ(config.inputs,
            (std::map<ValueId, TensorFormat>{{ValueId{1}, f16(amp_left(16, 4))}, {ValueId{3}, f32(amp_output(4))}}));

  const LoweringConfig base = LoweringConfig{2}.with_input(ValueId{0}, f16(amp_output(2)));
  const LoweringConfig extended = base.with_input(ValueId{1}, f16(amp_output(2)));
  EXPECT_EQ(base.inputs.size(), 1u);  // an lvalue is copied, not consumed
  EXPECT_EQ(extended.inputs.size(), 2u);
}

TEST(LoweringErrorText, IsTheVariantNameAndItsIdentifier) {
  const std::pair<LoweringError, std::string> cases[] = {
      {LoweringError::EmptyTileGroup{}, "EmptyTileGroup"},
      {LoweringError::MissingInputType{ValueId{3}}, "MissingInputType(ValueId(3))"},
      {LoweringError::MissingShape{ValueId{12}}, "MissingShape(ValueId(12))"},
      {LoweringError::NoCandidate{OperationId{0}}, "NoCandidate(OperationId(0))"},
      {LoweringError::UnknownValue{ValueId{4294967295}}, "UnknownValue(ValueId(4294967295))"},
      {LoweringError::MalformedOperation{OperationId{9}}, "MalformedOperation(OperationId(9))"},
      {LoweringError::TooManyValues{}, "TooManyValues"},
  };
  for (const auto& [error, text] : cases) {
    EXPECT_EQ(to_string(error), text);
    EXPECT_EQ(::testing::PrintToString(error), text);
  }
  EXPECT_EQ(to_string(MidValueId{7}), "MidValueId(7)");
  EXPECT_EQ(MidValueId{7}.index(), 7u);
}

}  // namespace
}  // namespace vorn_codegen::mid
