#include <cstdint>
#include <string>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/exchange.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_exchange {
namespace {

using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;

ExchangeError schedule(std::string_view message) { return ExchangeError::Schedule{message}; }

// One row per encoding: the call, the word it must produce (or the message it must fail with).
// Rows come in boundary pairs: the last operand that fits, then the first that does not.
struct EncodeCase {
  std::string name;
  Encoded actual;
  std::uint32_t word = 0;
  std::string_view error = {};
};

TEST(Encoders, ProduceExactWordsAndRejectEveryOperandOutsideItsField) {
  const EncodeCase cases[] = {
      {"br r0", encode_br_m(0), 0x43000000},
      {"br r15", encode_br_m(15), 0x43F00000},
      {"br r16", encode_br_m(16), 0, "branch register"},
      {"setzi r2 5", encode_setzi_m(2, 5), 0x19200005},
      {"setzi r2 max", encode_setzi_m(2, 0xFFFFF), 0x192FFFFF},
      {"setzi r0 max", encode_setzi_m(0, 0xFFFFF), 0x190FFFFF},
      {"setzi r15 0", encode_setzi_m(15, 0), 0x19F00000},
      {"setzi immediate too wide", encode_setzi_m(0, 0x100000), 0, "setzi operand"},
      {"setzi r16", encode_setzi_m(16, 0), 0, "setzi operand"},
      {"put 0xa7 r15", encode_put_special_m(0xA7, 15), 0x43F080A7},
      {"put 0xa6 r8", encode_put_special_m(0xA6, 8), 0x438080A6},
      {"put 0xff r0", encode_put_special_m(0xFF, 0), 0x430080FF},
      {"put 0 r16", encode_put_special_m(0, 16), 0, "put source register"},
      {"ld32 r0 r11 r15 0", encode_ld32_m_immediate(0, 11, 15, 0), 0x01B0F000},
      {"ld32 max offset", encode_ld32_m_immediate(0, 0, 0, 0xFFF), 0x01000FFF},
      {"ld32 all fields", encode_ld32_m_immediate(1, 2, 3, 4), 0x01213004},
      {"ld32 offset too wide", encode_ld32_m_immediate(0, 0, 0, 0x1000), 0, "ld32 operand"},
      {"ld32 destination r16", encode_ld32_m_immediate(16, 0, 0, 0), 0, "ld32 operand"},
      {"ld32 base r16", encode_ld32_m_immediate(0, 16, 0, 0), 0, "ld32 operand"},
      {"ld32 delta r16", encode_ld32_m_immediate(0, 0, 16, 0), 0, "ld32 operand"},
      {"st32 r0 r11 r15 0", encode_st32_m_immediate(0, 11, 15, 0), 0x4FB0F000},
      {"st32 all fields", encode_st32_m_immediate(1, 2, 3, 0xFFF), 0x4F213FFF},
      {"st32 offset too wide", encode_st32_m_immediate(0, 0, 0, 0x1000), 0, "st32 operand"},
      {"st32 source r16", encode_st32_m_immediate(16, 0, 0, 0), 0, "st32 operand"},
      {"st32 base r16", encode_st32_m_immediate(0, 16, 0, 0), 0, "st32 operand"},
      {"st32 delta r16", encode_st32_m_immediate(0, 0, 16, 0), 0, "st32 operand"},
      {"add r11 r11 -8", encode_add_m_immediate(11, 11, -8), 0x22BBFFF8},
      {"add r11 r11 8", encode_add_m_immediate(11, 11, 8), 0x22BB0008},
      {"add r0 r0 -1", encode_add_m_immediate(0, 0, -1), 0x2200FFFF},
      {"add min immediate", encode_add_m_immediate(0, 0, -32768), 0x22008000},
      {"add max immediate", encode_add_m_immediate(0, 0, 32767), 0x22007FFF},
      {"add source above destination", encode_add_m_immediate(1, 2, 0), 0x22210000},
      {"add immediate too small", encode_add_m_immediate(0, 0, -32769), 0, "add immediate operand"},
      {"add immediate too large", encode_add_m_immediate(0, 0, 32768), 0, "add immediate operand"},
      {"add destination r16", encode_add_m_immediate(16, 0, 0), 0, "add register operand"},
      {"add source r16", encode_add_m_immediate(0, 16, 0), 0, "add register operand"},
      {"add immediate checked before registers", encode_add_m_immediate(16, 0, 40000), 0, "add immediate operand"},
      {"shl r3 r3 12", encode_shl_m_immediate(3, 3, 12), 0x4233A00C},
      {"shl max", encode_shl_m_immediate(0, 0, 0xFFF), 0x4200AFFF},
      {"shl source above destination", encode_shl_m_immediate(1, 2, 0), 0x4221A000},
      {"shl immediate too wide", encode_shl_m_immediate(0, 0, 0x1000), 0, "shift-left operand"},
      {"shl destination r16", encode_shl_m_immediate(16, 0, 0), 0, "shift-left operand"},
      {"shl source r16", encode_shl_m_immediate(0, 16, 0), 0, "shift-left operand"},
      {"brz r0 0", encode_brz_m_immediate(0, 0), 0x13000000},
      {"brz last target", encode_brz_m_immediate(0, 0x1FFFFC), 0x1307FFFF},
      {"brz r15", encode_brz_m_immediate(15, 4), 0x13F00001},
      {"brz target out of reach", encode_brz_m_immediate(0, 0x200000), 0, "brz operand"},
      {"brz unaligned 2", encode_brz_m_immediate(0, 2), 0, "brz operand"},
      {"brz unaligned 0x50002", encode_brz_m_immediate(0, 0x50002), 0, "brz operand"},
      {"brz r16", encode_brz_m_immediate(16, 0), 0, "brz operand"},
      {"call r9 0x50008", encode_call_m_immediate(9, 0x50008), 0x18914002},
      {"call r10 0x51000", encode_call_m_immediate(10, 0x51000), 0x18A14400},
      {"call r0 0", encode_call_m_immediate(0, 0), 0x18000000},
      {"call last target", encode_call_m_immediate(15, 0x1FFFFC), 0x18F7FFFF},
      {"call unaligned", encode_call_m_immediate(10, 0x51002), 0, "call operand"},
      {"call target out of reach", encode_call_m_immediate(10, 0x200000), 0, "call operand"},
      {"call target near 2^32", encode_call_m_immediate(10, 0xFFFFFFFC), 0, "call operand"},
      {"call r16", encode_call_m_immediate(16, 0), 0, "call operand"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.error.empty()) {
      EXPECT_THAT(c.actual, IsOkAndHolds(c.word));
    } else {
      EXPECT_THAT(c.actual, FailsWith(schedule(c.error)));
    }
  }
}

TEST(Encoders, UncheckedBuildersMatchTheCheckedOnes) {
  EXPECT_EQ(br_m(0), 0x43000000u);
  EXPECT_THAT(encode_br_m(0), IsOkAndHolds(br_m(0)));
  EXPECT_EQ(setzi_m(2, 5), 0x19200005u);
}

TEST(Encoders, AreUsableAtCompileTime) {
  static_assert(encode_call_m_immediate(10, 0x51000).value() == 0x18A14400u);
  static_assert(!encode_setzi_m(16, 0).has_value());
}

TEST(ExchangeError, TextFormNamesTheVariantAndItsPayload) {
  EXPECT_EQ(to_string(ExchangeError::Schedule{"setzi operand"}), R"(Schedule("setzi operand"))");
  EXPECT_EQ(to_string(ExchangeError::Schedule{"a \"b\"\\\n"}), R"(Schedule("a \"b\"\\\n"))");
  EXPECT_EQ(to_string(ExchangeError::Tile{3}), "Tile(3)");
  EXPECT_EQ(to_string(ExchangeError::DuplicateTile{}), "DuplicateTile");
  EXPECT_EQ(to_string(ExchangeError::Count{4294967295u}), "Count(4294967295)");
  EXPECT_EQ(to_string(ExchangeError::ReceiverSet{}), "ReceiverSet");
  EXPECT_EQ(to_string(ExchangeError::Address{0x50000}), "Address(327680)");
  EXPECT_EQ(to_string(ExchangeError::HostPacket{}), "HostPacket");
}

TEST(ExchangeError, ComparesByVariantThenPayloadAndCopiesWithoutOwningMemory) {
  static_assert(std::is_trivially_copyable_v<ExchangeError::Schedule>);
  EXPECT_EQ(ExchangeError(ExchangeError::Schedule{"x"}), ExchangeError(ExchangeError::Schedule{"x"}));
  EXPECT_NE(ExchangeError(ExchangeError::Schedule{"x"}), ExchangeError(ExchangeError::Schedule{"y"}));
  EXPECT_LT(ExchangeError(ExchangeError::Tile{9}), ExchangeError(ExchangeError::DuplicateTile{}));
  EXPECT_LT(ExchangeError(ExchangeError::Tile{1}), ExchangeError(ExchangeError::Tile{2}));
}

}  // namespace
}  // namespace vorn_exchange
