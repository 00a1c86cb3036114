#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/exchange.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_exchange {
namespace {

using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;
using I = Instruction;

// One row per instruction: the word, what it decodes to and how that prints, so that decoding,
// encoding and the text form are proved together.
struct DecodeCase {
  std::uint32_t word;
  Instruction instruction;
  std::string text;
};

TEST(Decode, ReadsEveryFieldOfEveryMnemonicAndPrintsIt) {
  const DecodeCase cases[] = {
      {0x01B0F000, I::Ld32{0, 11, 15, 0}, "ld32 r0, r11, r15, 0"},
      {0x01213004, I::Ld32{1, 2, 3, 4}, "ld32 r1, r2, r3, 4"},
      {0x01000FFF, I::Ld32{0, 0, 0, 0xFFF}, "ld32 r0, r0, r0, 4095"},
      {0x1301480C, I::Brz{0, 0x52030}, "brz r0, 0x52030"},
      {0x13F7FFFF, I::Brz{15, 0x1FFFFC}, "brz r15, 0x1ffffc"},
      {0x18A14400, I::Call{10, 0x51000}, "call 0x51000, r10"},
      {0x18000000, I::Call{0, 0}, "call 0x0, r0"},
      {0x19270000, I::Setzi{2, 0x70000}, "setzi r2, 0x70000"},
      {0x190FFFFF, I::Setzi{0, 0xFFFFF}, "setzi r0, 0xfffff"},
      {0x22BBFFF8, I::Add{11, 11, -8}, "add r11, r11, -8"},
      {0x22210000, I::Add{1, 2, 0}, "add r1, r2, 0"},
      {0x22007FFF, I::Add{0, 0, 32767}, "add r0, r0, 32767"},
      {0x22008000, I::Add{0, 0, -32768}, "add r0, r0, -32768"},
      {0x4233A00C, I::Shl{3, 3, 12}, "shl r3, r3, 12"},
      {0x4221AFFF, I::Shl{1, 2, 0xFFF}, "shl r1, r2, 4095"},
      {0x43000000, I::Br{0}, "br r0"},
      {0x43F00000, I::Br{15}, "br r15"},
      {0x43F080A7, I::Put{0xA7, 15}, "put 0xa7, r15"},
      {0x430080FF, I::Put{0xFF, 0}, "put 0xff, r0"},
      {0x4FB0F000, I::St32{0, 11, 15, 0}, "st32 r0, r11, r15, 0"},
      {0x4F213FFF, I::St32{1, 2, 3, 0xFFF}, "st32 r1, r2, r3, 4095"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_THAT(decode(c.word), IsOkAndHolds(c.instruction));
    EXPECT_THAT(encode(c.instruction), IsOkAndHolds(c.word));
    EXPECT_EQ(to_string(c.instruction), c.text);
  }
}

struct RejectCase {
  std::string name;
  std::uint32_t word;
  DecodeError error;
};

TEST(Decode, RejectsEveryWordNoEncoderProduces) {
  const RejectCase cases[] = {
      {"exchange prefix", 0x41800003, DecodeError::UnknownOpcode{0x41}},
      {"inactive row word", 0x40C00000, DecodeError::UnknownOpcode{0x40}},
      {"zero", 0x00000000, DecodeError::UnknownOpcode{0x00}},
      {"all ones", 0xFFFFFFFF, DecodeError::UnknownOpcode{0xFF}},
      {"brz bit 19", 0x13080000, DecodeError::StrayBits{"brz", 0x80000}},
      {"call bit 19", 0x18A94400, DecodeError::StrayBits{"call", 0x80000}},
      {"br with bits 19-16", 0x43010000, DecodeError::StrayBits{"br", 0x10000}},
      {"br with a low bit", 0x43000001, DecodeError::StrayBits{"br", 0x1}},
      {"br with bits 15-12 neither 0 nor 8", 0x43001000, DecodeError::StrayBits{"br", 0x1000}},
      {"put with bits 11-8", 0x43F081A7, DecodeError::StrayBits{"put", 0x100}},
      {"put with bits 19-16", 0x43F480A7, DecodeError::StrayBits{"put", 0x40000}},
      {"shl with bits 15-12 not 0xa", 0x4233B00C, DecodeError::StrayBits{"shl", 0x1000}},
      {"shl with bits 15-12 zero", 0x4233000C, DecodeError::StrayBits{"shl", 0xA000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(decode(c.word), FailsWith(c.error));
  }
  EXPECT_EQ(to_string(DecodeError::UnknownOpcode{0x41}), "UnknownOpcode(0x41)");
  EXPECT_EQ(to_string(DecodeError::StrayBits{"brz", 0x80000}), R"(StrayBits { mnemonic: "brz", bits: 0x80000 })");
}

TEST(Encode, ChecksOperandsThroughTheMnemonicsEncoder) {
  EXPECT_THAT(encode(I::Setzi{16, 0}), FailsWith(ExchangeError{ExchangeError::Schedule{"setzi operand"}}));
  EXPECT_THAT(encode(I::Setzi{0, 0x100000}), FailsWith(ExchangeError{ExchangeError::Schedule{"setzi operand"}}));
  EXPECT_THAT(encode(I::Call{10, 0x51002}), FailsWith(ExchangeError{ExchangeError::Schedule{"call operand"}}));
  EXPECT_THAT(encode(I::Add{0, 0, 32768}), FailsWith(ExchangeError{ExchangeError::Schedule{"add immediate operand"}}));
  EXPECT_THAT(encode(I::Br{16}), FailsWith(ExchangeError{ExchangeError::Schedule{"branch register"}}));
}

// The edges of a field, then a seeded sample of the values between them.
template <class T>
std::vector<T> field_values(std::vector<T> edges, T low, T high, std::mt19937& random) {
  std::uniform_int_distribution<std::int64_t> between(low, high);
  for (int i = 0; i < 64; ++i) edges.push_back(static_cast<T>(between(random)));
  return edges;
}

TEST(Decode, InvertsEveryEncoderOverAllRegistersAndImmediateEdges) {
  std::mt19937 random(20261211);
  const auto offsets = field_values<std::uint16_t>({0, 1, 0x7FF, 0x800, 0xFFE, 0xFFF}, 0, 0xFFF, random);
  // Branch targets in words: the field holds the byte address divided by 4.
  const auto targets = field_values<std::uint32_t>({0, 1, 0x40000, 0x7FFFE, 0x7FFFF}, 0, 0x7FFFF, random);
  const auto setzis = field_values<std::uint32_t>({0, 1, 0x7FFFF, 0x80000, 0xFFFFE, 0xFFFFF}, 0, 0xFFFFF, random);
  const auto adds = field_values<std::int32_t>({-32768, -32767, -1, 0, 1, 32766, 32767}, -32768, 32767, random);
  const auto specials = field_values<std::uint8_t>({0, 1, 0x7F, 0x80, 0xA6, 0xFE, 0xFF}, 0, 0xFF, random);

  std::vector<Instruction> instructions;
  for (std::uint8_t r = 0; r < 16; ++r) {
    // Three different bijections of 0..15, so every register reaches every field position.
    const std::uint8_t a = r;
    const auto b = static_cast<std::uint8_t>((r * 7 + 3) % 16);
    const auto c = static_cast<std::uint8_t>(15 - r);
    for (const auto offset : offsets) {
      instructions.push_back(I::Ld32{a, b, c, offset});
      instructions.push_back(I::St32{a, b, c, offset});
      instructions.push_back(I::Shl{a, b, offset});
    }
    for (const auto target : targets) {
      instructions.push_back(I::Brz{a, target * 4});
      instructions.push_back(I::Call{a, target * 4});
    }
    for (const auto immediate : setzis) instructions.push_back(I::Setzi{a, immediate});
    for (const auto immediate : adds) instructions.push_back(I::Add{a, b, immediate});
    for (const auto special : specials) instructions.push_back(I::Put{special, a});
    instructions.push_back(I::Br{a});
  }
  for (const auto& instruction : instructions) {
    const auto word = encode(instruction);
    ASSERT_TRUE(word.has_value()) << instruction;
    ASSERT_THAT(decode(*word), IsOkAndHolds(instruction)) << instruction;
  }
}

// Every word that decode accepts is exactly what the encoder makes of the decoded instruction.
// Half of the words get a real opcode, so that every mnemonic's stray-bit checks are exercised.
TEST(Decode, AcceptsOnlyWordsThatEncodeBackToThemselves) {
  constexpr std::uint32_t kOpcodes[] = {0x01, 0x13, 0x18, 0x19, 0x22, 0x42, 0x43, 0x4F};
  std::mt19937 random(7);
  for (int i = 0; i < 3'000'000; ++i) {
    auto word = static_cast<std::uint32_t>(random());
    if (const auto pick = static_cast<std::uint32_t>(random()); pick % 2 == 0)
      word = (word & 0x00FFFFFFu) | (kOpcodes[pick / 2 % 8] << 24);
    const auto instruction = decode(word);
    if (!instruction) continue;
    const auto back = encode(*instruction);
    ASSERT_TRUE(back.has_value() && *back == word) << std::hex << "0x" << word << " decodes to " << *instruction;
  }
}

}  // namespace
}  // namespace vorn_exchange
