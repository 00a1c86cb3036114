#include "vorn/exchange/decode.hpp"

#include <ostream>
#include <string>

#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_exchange {
namespace {

using vorn::detail::hex;

// What every word of one mnemonic has in common: outside `operands`, the word equals `fixed`.
struct Layout {
  std::string_view mnemonic;
  std::uint32_t fixed;
  std::uint32_t operands;
};

constexpr Layout kLd32{"ld32", 0x01000000, 0x00FFFFFF};
constexpr Layout kBrz{"brz", 0x13000000, 0x00F7FFFF};
constexpr Layout kCall{"call", 0x18000000, 0x00F7FFFF};
constexpr Layout kSetzi{"setzi", 0x19000000, 0x00FFFFFF};
constexpr Layout kAdd{"add", 0x22000000, 0x00FFFFFF};
constexpr Layout kShl{"shl", 0x4200A000, 0x00FF0FFF};
constexpr Layout kBr{"br", 0x43000000, 0x00F00000};
constexpr Layout kPut{"put", 0x43008000, 0x00F000FF};
constexpr Layout kSt32{"st32", 0x4F000000, 0x00FFFFFF};

// br and put share opcode 0x43; bits 15-12 tell them apart.
const Layout* layout_of(std::uint32_t word) noexcept {
  switch (word >> 24) {
    case 0x01:
      return &kLd32;
    case 0x13:
      return &kBrz;
    case 0x18:
      return &kCall;
    case 0x19:
      return &kSetzi;
    case 0x22:
      return &kAdd;
    case 0x42:
      return &kShl;
    case 0x43:
      return (word & 0xF000u) == 0x8000u ? &kPut : &kBr;
    case 0x4F:
      return &kSt32;
    default:
      return nullptr;
  }
}

constexpr std::uint8_t nibble(std::uint32_t word, int shift) noexcept {
  return static_cast<std::uint8_t>((word >> shift) & 0xFu);
}

constexpr std::uint16_t low12(std::uint32_t word) noexcept { return static_cast<std::uint16_t>(word & 0xFFFu); }

constexpr std::uint32_t target(std::uint32_t word) noexcept { return (word & 0x7FFFFu) * 4; }

// Built by appending: g++ 12 at -O3 misreports `"r" + std::to_string(n)` under -Wrestrict.
std::string reg(std::uint8_t number) {
  std::string text(1, 'r');
  text += std::to_string(number);
  return text;
}

}  // namespace

std::expected<Instruction, DecodeError> decode(std::uint32_t word) noexcept {
  const Layout* layout = layout_of(word);
  if (layout == nullptr) return std::unexpected(DecodeError::UnknownOpcode{static_cast<std::uint8_t>(word >> 24)});
  if (const std::uint32_t stray = (word & ~layout->operands) ^ layout->fixed; stray != 0) {
    return std::unexpected(DecodeError::StrayBits{layout->mnemonic, stray});
  }
  using I = Instruction;
  switch (word >> 24) {
    case 0x01:
      return I::Ld32{nibble(word, 16), nibble(word, 20), nibble(word, 12), low12(word)};
    case 0x13:
      return I::Brz{nibble(word, 20), target(word)};
    case 0x18:
      return I::Call{nibble(word, 20), target(word)};
    case 0x19:
      return I::Setzi{nibble(word, 20), word & 0xFFFFFu};
    case 0x22:
      return I::Add{nibble(word, 16), nibble(word, 20), static_cast<std::int16_t>(static_cast<std::uint16_t>(word))};
    case 0x42:
      return I::Shl{nibble(word, 16), nibble(word, 20), low12(word)};
    case 0x4F:
      return I::St32{nibble(word, 16), nibble(word, 20), nibble(word, 12), low12(word)};
    default:  // 0x43
      if (layout == &kPut) return I::Put{static_cast<std::uint8_t>(word), nibble(word, 20)};
      return I::Br{nibble(word, 20)};
  }
}

Encoded encode(const Instruction& instruction) noexcept {
  using I = Instruction;
  return std::visit(
      vorn::detail::overloaded{
          [](const I::Ld32& i) { return encode_ld32_m_immediate(i.destination, i.base, i.delta, i.word_offset); },
          [](const I::Brz& i) { return encode_brz_m_immediate(i.register_, i.target_address); },
          [](const I::Call& i) { return encode_call_m_immediate(i.return_register, i.target_address); },
          [](const I::Setzi& i) { return encode_setzi_m(i.register_, i.immediate); },
          [](const I::Add& i) { return encode_add_m_immediate(i.destination, i.source, i.immediate); },
          [](const I::Shl& i) { return encode_shl_m_immediate(i.destination, i.source, i.immediate); },
          [](const I::Br& i) { return encode_br_m(i.register_); },
          [](const I::Put& i) { return encode_put_special_m(i.special, i.register_); },
          [](const I::St32& i) { return encode_st32_m_immediate(i.source, i.base, i.delta, i.word_offset); },
      },
      instruction.alternative);
}

std::string to_string(const Instruction& instruction) {
  using I = Instruction;
  const auto memory = [](std::string_view mnemonic, std::uint8_t value, std::uint8_t base, std::uint8_t delta,
                         std::uint16_t offset) {
    return std::string(mnemonic) + " " + reg(value) + ", " + reg(base) + ", " + reg(delta) + ", " +
           std::to_string(offset);
  };
  return std::visit(
      vorn::detail::overloaded{
          [&](const I::Ld32& i) { return memory("ld32", i.destination, i.base, i.delta, i.word_offset); },
          [](const I::Brz& i) { return "brz " + reg(i.register_) + ", " + hex(i.target_address); },
          [](const I::Call& i) { return "call " + hex(i.target_address) + ", " + reg(i.return_register); },
          [](const I::Setzi& i) { return "setzi " + reg(i.register_) + ", " + hex(i.immediate); },
          [](const I::Add& i) {
            return "add " + reg(i.destination) + ", " + reg(i.source) + ", " + std::to_string(i.immediate);
          },
          [](const I::Shl& i) {
            return "shl " + reg(i.destination) + ", " + reg(i.source) + ", " + std::to_string(i.immediate);
          },
          [](const I::Br& i) { return "br " + reg(i.register_); },
          [](const I::Put& i) { return "put " + hex(i.special) + ", " + reg(i.register_); },
          [&](const I::St32& i) { return memory("st32", i.source, i.base, i.delta, i.word_offset); },
      },
      instruction.alternative);
}

std::ostream& operator<<(std::ostream& out, const Instruction& instruction) { return out << to_string(instruction); }

std::string to_string(const DecodeError& error) {
  using E = DecodeError;
  return std::visit(vorn::detail::overloaded{
                        [](const E::UnknownOpcode& e) { return "UnknownOpcode(" + hex(e.opcode) + ")"; },
                        [](const E::StrayBits& e) {
                          return "StrayBits { mnemonic: " + vorn::detail::quoted(e.mnemonic) +
                                 ", bits: " + hex(e.bits) + " }";
                        },
                    },
                    error.alternative);
}

std::ostream& operator<<(std::ostream& out, const DecodeError& error) { return out << to_string(error); }

}  // namespace vorn_exchange
