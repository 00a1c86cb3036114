#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builders.hpp"
#include "vorn/codegen/mid.hpp"

namespace vorn_codegen::mid {
namespace {

using testing::f16;
using testing::f32;

struct TextCase {
  std::string actual;
  std::string expected;
};

TEST(LayoutConstructors, SetEveryFieldAsTheKernelPlansExpect) {
  const TextCase cases[] = {
      {to_string(row_major(Sharding::Rows, 4)),
       "Layout { order: RowMajor, sharding: Rows, tile_count: 4, storage: Contiguous, alignment: 8 }"},
      {to_string(row_major(Sharding::Heads, 0)),
       "Layout { order: RowMajor, sharding: Heads, tile_count: 0, storage: Contiguous, alignment: 8 }"},
      {to_string(amp_left(16, 4)),
       "Layout { order: Amp(Left { inner: 16 }), sharding: Rows, tile_count: 4, storage: Contiguous, alignment: 8 }"},
      {to_string(amp_right(8, 4)),
       "Layout { order: Amp(Right { inner: 8, columns: 16 }), sharding: Columns, tile_count: 4, "
       "storage: Interleaved { grain_bytes: 8 }, alignment: 8 }"},
      {to_string(amp_output(65535)),
       "Layout { order: Amp(Output { columns: 16 }), sharding: Rows, tile_count: 65535, storage: Contiguous, "
       "alignment: 8 }"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(FormatText, NamesVariantsAndFieldsInDeclarationOrder) {
  const TextCase cases[] = {
      {to_string(Sharding::Replicated), "Replicated"},
      {to_string(Sharding::Rows), "Rows"},
      {to_string(Sharding::Columns), "Columns"},
      {to_string(Sharding::Heads), "Heads"},
      {to_string(AmpOrder{AmpOrder::Left{3}}), "Left { inner: 3 }"},
      {to_string(AmpOrder{AmpOrder::Right{8, 16}}), "Right { inner: 8, columns: 16 }"},
      {to_string(AmpOrder{AmpOrder::Output{16}}), "Output { columns: 16 }"},
      {to_string(ElementOrder{ElementOrder::RowMajor{}}), "RowMajor"},
      {to_string(ElementOrder{AmpOrder{AmpOrder::Output{7}}}), "Amp(Output { columns: 7 })"},
      {to_string(Storage{Storage::Contiguous{}}), "Contiguous"},
      {to_string(Storage{Storage::Interleaved{65535}}), "Interleaved { grain_bytes: 65535 }"},
      {to_string(Precision{Precision::F8F143{-128}}), "F8F143 { scale: -128 }"},
      {to_string(Precision{Precision::F16{}}), "F16"},
      {to_string(AccumulationPrecision::F32), "F32"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(Precision, BytesPerElement) {
  EXPECT_EQ(Precision{Precision::F8F143{-1}}.bytes(), 1u);
  EXPECT_EQ(Precision{Precision::F8F143{127}}.bytes(), 1u);
  EXPECT_EQ(Precision{Precision::F16{}}.bytes(), 2u);
  EXPECT_EQ(Precision{Precision::F32{}}.bytes(), 4u);
}

// Each row: two formats, the first strictly smaller. The order decides ties between plans.
struct OrderCase {
  std::string name;
  TensorFormat smaller;
  TensorFormat larger;
};

TensorFormat with_layout(TensorFormat format, auto change) {
  change(format.layout);
  return format;
}

TEST(TensorFormatOrder, ComparesFieldByFieldInDeclarationOrder) {
  const TensorFormat base = f16(row_major(Sharding::Rows, 4));
  const OrderCase cases[] = {
      {"precision before any layout field", f16(amp_output(4)), f32(row_major(Sharding::Replicated, 1))},
      {"F8F143 by signed scale", {Precision::F8F143{-1}, amp_output(8)}, {Precision::F8F143{0}, amp_output(4)}},
      {"F8F143 before F16", {Precision::F8F143{127}, amp_output(8)}, f16(row_major(Sharding::Replicated, 1))},
      {"row-major before amp", f16(row_major(Sharding::Heads, 9)), f16(amp_left(0, 0))},
      {"left before right", f16(amp_left(99, 4)), f16(amp_right(1, 4))},
      {"right before output", f16(amp_right(99, 4)), f16(amp_output(1))},
      {"amp inner", f16(amp_left(8, 4)), f16(amp_left(16, 4))},
      {"replicated before rows", f16(row_major(Sharding::Replicated, 8)), f16(row_major(Sharding::Rows, 1))},
      {"rows before columns", f16(row_major(Sharding::Rows, 8)), f16(row_major(Sharding::Columns, 1))},
      {"columns before heads", f16(row_major(Sharding::Columns, 8)), f16(row_major(Sharding::Heads, 1))},
      {"tile count", f16(row_major(Sharding::Rows, 4)), f16(row_major(Sharding::Rows, 8))},
      {"contiguous before interleaved", base,
       with_layout(base, [](Layout& l) { l.storage = Storage::Interleaved{0}; })},
      {"grain bytes", with_layout(base, [](Layout& l) { l.storage = Storage::Interleaved{8}; }),
       with_layout(base, [](Layout& l) { l.storage = Storage::Interleaved{16}; })},
      {"alignment last", base, with_layout(base, [](Layout& l) { l.alignment = 16; })},
  };
  for (const auto& [name, smaller, larger] : cases) {
    SCOPED_TRACE(name);
    EXPECT_LT(smaller, larger);
    EXPECT_FALSE(larger < smaller);
    EXPECT_NE(smaller, larger);
  }
}

TEST(TensorFormatOrder, EqualFormatsAreEquivalent) {
  EXPECT_EQ(f16(amp_right(16, 4)), f16(amp_right(16, 4)));
  EXPECT_EQ(f16(amp_right(16, 4)) <=> f16(amp_right(16, 4)), std::strong_ordering::equal);
}

}  // namespace
}  // namespace vorn_codegen::mid
