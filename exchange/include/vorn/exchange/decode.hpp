// Decoding: the instruction an instruction word holds, and the way back.
//
// `decode` accepts exactly the words that some encoder produces. A word whose opcode belongs to no
// instruction, or that has a bit set outside the fields of its instruction (bit 19 of `brz` and
// `call`, bits 19-16 of `br` and `put`, bits 11-8 of `put`, bits 15-12 of `shl` other than 0xA,
// ...), is rejected. So for every word w that decodes, encode(decode(w)) == w, and for every
// instruction x that encodes, decode(encode(x)) == x.
#pragma once

#include <compare>
#include <cstdint>
#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "vorn/detail/variant.hpp"
#include "vorn/exchange.hpp"

namespace vorn_exchange {

// One tile instruction with its operands, one alternative per mnemonic in opcode order. Fields are
// named and typed as the arguments of the matching encoder.
struct Instruction {
  struct Ld32 {
    std::uint8_t destination;
    std::uint8_t base;
    std::uint8_t delta;
    std::uint16_t word_offset;
    friend auto operator<=>(const Ld32&, const Ld32&) = default;
  };
  struct Brz {
    std::uint8_t register_;
    std::uint32_t target_address;
    friend auto operator<=>(const Brz&, const Brz&) = default;
  };
  struct Call {
    std::uint8_t return_register;
    std::uint32_t target_address;
    friend auto operator<=>(const Call&, const Call&) = default;
  };
  struct Setzi {
    std::uint8_t register_;
    std::uint32_t immediate;
    friend auto operator<=>(const Setzi&, const Setzi&) = default;
  };
  struct Add {
    std::uint8_t destination;
    std::uint8_t source;
    std::int32_t immediate;
    friend auto operator<=>(const Add&, const Add&) = default;
  };
  struct Shl {
    std::uint8_t destination;
    std::uint8_t source;
    std::uint16_t immediate;
    friend auto operator<=>(const Shl&, const Shl&) = default;
  };
  struct Br {
    std::uint8_t register_;
    friend auto operator<=>(const Br&, const Br&) = default;
  };
  struct Put {
    std::uint8_t special;
    std::uint8_t register_;
    friend auto operator<=>(const Put&, const Put&) = default;
  };
  struct St32 {
    std::uint8_t source;
    std::uint8_t base;
    std::uint8_t delta;
    std::uint16_t word_offset;
    friend auto operator<=>(const St32&, const St32&) = default;
  };

  using Variant = std::variant<Ld32, Brz, Call, Setzi, Add, Shl, Br, Put, St32>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr Instruction(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const Instruction&, const Instruction&) = default;
  friend auto operator<=>(const Instruction&, const Instruction&) = default;
};

// Assembly text, operands in encoder argument order except that `call` names its target first:
// `setzi r2, 0x70000`, `add r11, r11, -8`, `ld32 r0, r11, r15, 0`, `call 0x51000, r10`,
// `brz r0, 0x52030`, `put 0xa7, r15`, `br r0`. Addresses and setzi immediates are hexadecimal,
// add and shift immediates and word offsets decimal.
std::string to_string(const Instruction& instruction);
std::ostream& operator<<(std::ostream& out, const Instruction& instruction);

// Why a word is not an instruction.
struct DecodeError {
  // Bits 31-24 name no instruction.
  struct UnknownOpcode {
    std::uint8_t opcode;
    friend auto operator<=>(const UnknownOpcode&, const UnknownOpcode&) = default;
  };
  // The opcode names `mnemonic`, but `bits` (nonzero) differ from what every encoding of it has
  // outside its operand fields.
  struct StrayBits {
    std::string_view mnemonic;
    std::uint32_t bits;
    friend bool operator==(const StrayBits&, const StrayBits&) = default;
    friend auto operator<=>(const StrayBits&, const StrayBits&) = default;
  };

  using Variant = std::variant<UnknownOpcode, StrayBits>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr DecodeError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const DecodeError&, const DecodeError&) = default;
  friend auto operator<=>(const DecodeError&, const DecodeError&) = default;
};

// `UnknownOpcode(0x41)`, `StrayBits { mnemonic: "brz", bits: 0x80000 }`: hexadecimal, because
// opcodes and bit masks are read as bit patterns.
std::string to_string(const DecodeError& error);
std::ostream& operator<<(std::ostream& out, const DecodeError& error);

// The instruction `word` holds, or why it holds none.
[[nodiscard]] std::expected<Instruction, DecodeError> decode(std::uint32_t word) noexcept;

// The word of `instruction`, through the encoder of its mnemonic, with that encoder's checks.
[[nodiscard]] Encoded encode(const Instruction& instruction) noexcept;

}  // namespace vorn_exchange
