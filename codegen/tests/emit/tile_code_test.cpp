#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit/tile_code.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen {
namespace {

using detail::Status;
using detail::TileCode;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::invalid;
using ::testing::IsEmpty;
using testing::schedule;
using vorn::testing::FailsWith;
using vorn::testing::IsOk;
using vorn::testing::IsOkAndHolds;

// One operation on an empty buffer: the words it must append, or the error it must fail with
// (having appended nothing).
struct AppendCase {
  const char* name;
  std::function<Status(TileCode&)> operation;
  std::vector<std::uint32_t> words;
  std::optional<CodegenError> error = std::nullopt;
};

TEST(TileCode, AppendsExactWordsOrNothing) {
  const AppendCase cases[] = {
      {"setzi small", [](TileCode& c) { return c.setzi(4, 0x52000); }, {0x19452000}},
      {"setzi largest single word", [](TileCode& c) { return c.setzi(2, 0xFFFFF); }, {0x192FFFFF}},
      {"setzi smallest three words keeps the add of 0",
       [](TileCode& c) { return c.setzi(2, 0x100000); },
       {0x19200100, 0x4222A00C, 0x22220000}},
      {"setzi 0x12345678", [](TileCode& c) { return c.setzi(3, 0x12345678); }, {0x19312345, 0x4233A00C, 0x22330678}},
      {"setzi 0xFFFFFFFF r15",
       [](TileCode& c) { return c.setzi(15, 0xFFFFFFFF); },
       {0x19FFFFFF, 0x42FFA00C, 0x22FF0FFF}},
      {"setzi r16 small", [](TileCode& c) { return c.setzi(16, 0); }, {}, schedule("setzi operand")},
      {"setzi r16 large", [](TileCode& c) { return c.setzi(16, 0x100000); }, {}, schedule("setzi operand")},
      {"jump near", [](TileCode& c) { return c.jump(0x52000); }, {0x19052000, 0x43000000}},
      {"jump to the last address",
       [](TileCode& c) { return c.jump(0xFFFFFFFF); },
       {0x190FFFFF, 0x4200A00C, 0x22000FFF, 0x43000000}},
      {"call", [](TileCode& c) { return c.call(0x50010, 10); }, {0x18A14004}},
      {"call last target", [](TileCode& c) { return c.call(0x1FFFFC, 15); }, {0x18F7FFFF}},
      {"call unaligned", [](TileCode& c) { return c.call(0x50012, 10); }, {}, schedule("call operand")},
      {"call out of reach", [](TileCode& c) { return c.call(0x200000, 10); }, {}, schedule("call operand")},
      {"call r16", [](TileCode& c) { return c.call(0, 16); }, {}, schedule("call operand")},
      {"brz placeholder", [](TileCode& c) { return c.brz(0, 0); }, {0x13000000}},
      {"brz out of reach", [](TileCode& c) { return c.brz(0, 0x200000); }, {}, schedule("brz operand")},
      {"ld32", [](TileCode& c) { return c.ld32(0, 11, 15, 0); }, {0x01B0F000}},
      {"ld32 offset too wide", [](TileCode& c) { return c.ld32(0, 11, 15, 0x1000); }, {}, schedule("ld32 operand")},
      {"st32", [](TileCode& c) { return c.st32(0, 11, 15, 0); }, {0x4FB0F000}},
      {"st32 r16", [](TileCode& c) { return c.st32(16, 11, 15, 0); }, {}, schedule("st32 operand")},
      {"add", [](TileCode& c) { return c.add_immediate(11, 11, -8); }, {0x22BBFFF8}},
      {"add immediate too small",
       [](TileCode& c) { return c.add_immediate(0, 0, -32769); },
       {},
       schedule("add immediate operand")},
      {"put", [](TileCode& c) { return c.put_special(0xA7, 15); }, {0x43F080A7}},
      {"put r16", [](TileCode& c) { return c.put_special(0xA7, 16); }, {}, schedule("put source register")},
      {"instruction no encoder makes",
       [](TileCode& c) {
         c.instruction(0xFFFFFFFF);
         return Status{};
       },
       {0xFFFFFFFF}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TileCode code;
    testing::expect_outcome(c.operation(code), c.error);
    EXPECT_THAT(code.words(), ElementsAreArray(c.words));
  }
}

TEST(TileCode, AddressCountsWordsFromTheBaseAndNeverWraps) {
  TileCode code;
  EXPECT_THAT(code.address(0x52000), IsOkAndHolds(0x52000u));
  EXPECT_THAT(code.address(0xFFFFFFFC), IsOkAndHolds(0xFFFFFFFCu));
  for (int i = 0; i < 3; ++i) code.instruction(0);
  EXPECT_THAT(code.address(0x52000), IsOkAndHolds(0x5200Cu));
  EXPECT_THAT(code.address(0xFFFFFFF0), IsOkAndHolds(0xFFFFFFFCu));
  EXPECT_THAT(code.address(0xFFFFFFF4), FailsWith(invalid("generated code address overflow")));
  EXPECT_THAT(code.address(0xFFFFFFFF), FailsWith(invalid("generated code address overflow")));
}

TEST(TileCode, ReplaceOverwritesOneWordAndTheImageIsLittleEndian) {
  TileCode code;
  code.instruction(0x41800003);
  ASSERT_THAT(code.brz(0, 0), IsOk());
  code.instruction(0x43000000);
  code.replace(1, 0x1301480C);
  code.replace(3, 0xDEADBEEF);  // names no word: nothing changes
  EXPECT_THAT(code.words(), ElementsAre(0x41800003, 0x1301480C, 0x43000000));
  EXPECT_THAT(std::move(code).take_bytes(),
              ElementsAre(0x03, 0x00, 0x80, 0x41, 0x0C, 0x48, 0x01, 0x13, 0x00, 0x00, 0x00, 0x43));
}

TEST(TileCode, KeepsEveryWordAcrossRegrowth) {
  TileCode code;
  code.reserve(3);
  std::vector<std::uint32_t> expected;
  for (std::uint32_t i = 0; i < 5000; ++i) {
    code.instruction(i * 0x01010101u);
    expected.push_back(i * 0x01010101u);
  }
  EXPECT_THAT(code.words(), ElementsAreArray(expected));
  EXPECT_THAT(code.address(0), IsOkAndHolds(20000u));
  EXPECT_EQ(std::move(code).take_bytes().size(), 20000u);
  EXPECT_THAT(TileCode{}.words(), IsEmpty());
}

}  // namespace
}  // namespace vorn_codegen
