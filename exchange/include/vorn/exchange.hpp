// Instruction encoders of the Vorn tile instruction set.
//
// Every encoder takes the operands of one instruction, checks each against the field that must
// hold it, and returns the finished 32-bit word or an ExchangeError::Schedule naming the encoder.
// They are constexpr, keep no state and allocate nothing.
//
// Word layout: bits 31-24 opcode; registers are 4-bit fields (0 to 15).
//
//   mnemonic  fixed bits   23-20      19-16          15-12     11-0
//   ld32      0x01000000   base       destination    delta     word_offset
//   brz       0x13000000   register   target/4 in bits 18-0 (bit 19 always 0)
//   call      0x18000000   return     target/4 in bits 18-0 (bit 19 always 0)
//   setzi     0x19000000   register   immediate in bits 19-0
//   add       0x22000000   source     destination    immediate (16-bit two's complement)
//   shl       0x4200A000   source     destination    0xA       immediate
//   br        0x43000000   register   0              0x0       0
//   put       0x43008000   register   0              0x8       special (bits 7-0)
//   st32      0x4F000000   base       source         delta     word_offset
#pragma once

#include <compare>
#include <cstdint>
#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "vorn/detail/variant.hpp"

namespace vorn_exchange {

// The error of the encoding package. Only Schedule is produced by the encoders: its message is a
// view of a string literal, so the error owns nothing and copies freely.
struct ExchangeError {
  struct Tile {
    std::uint16_t tile;
    friend auto operator<=>(const Tile&, const Tile&) = default;
  };
  struct DuplicateTile {
    friend auto operator<=>(const DuplicateTile&, const DuplicateTile&) = default;
  };
  struct Count {
    std::uint32_t count;
    friend auto operator<=>(const Count&, const Count&) = default;
  };
  struct ReceiverSet {
    friend auto operator<=>(const ReceiverSet&, const ReceiverSet&) = default;
  };
  struct Schedule {
    std::string_view message;
    friend bool operator==(const Schedule&, const Schedule&) = default;
    friend auto operator<=>(const Schedule&, const Schedule&) = default;
  };
  struct Address {
    std::uint32_t address;
    friend auto operator<=>(const Address&, const Address&) = default;
  };
  struct HostPacket {
    friend auto operator<=>(const HostPacket&, const HostPacket&) = default;
  };

  using Variant = std::variant<Tile, DuplicateTile, Count, ReceiverSet, Schedule, Address, HostPacket>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr ExchangeError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const ExchangeError&, const ExchangeError&) = default;
  friend auto operator<=>(const ExchangeError&, const ExchangeError&) = default;
};

// `Schedule("setzi operand")`, `Tile(3)`, `DuplicateTile`.
std::string to_string(const ExchangeError& error);
std::ostream& operator<<(std::ostream& out, const ExchangeError& error);

using Encoded = std::expected<std::uint32_t, ExchangeError>;

namespace detail {

inline constexpr std::uint8_t kLastRegister = 15;
inline constexpr std::uint32_t kBranchTargetLimit = 0x200000;

constexpr bool is_register(std::uint8_t r) noexcept { return r <= kLastRegister; }

constexpr bool is_branch_target(std::uint32_t target) noexcept {
  return target % 4 == 0 && target < kBranchTargetLimit;
}

constexpr std::unexpected<ExchangeError> schedule(std::string_view message) noexcept {
  return std::unexpected(ExchangeError{ExchangeError::Schedule{message}});
}

constexpr std::uint32_t field(std::uint32_t value, int shift) noexcept { return value << shift; }

}  // namespace detail

// The `br` word for `register`, unchecked: a register above 15 runs into the opcode bits.
[[nodiscard]] constexpr std::uint32_t br_m(std::uint8_t register_) noexcept {
  return 0x43000000u | detail::field(register_, 20);
}

// The `setzi` word, unchecked: nothing is masked. Only encode_setzi_m calls it, after its checks.
[[nodiscard]] constexpr std::uint32_t setzi_m(std::uint8_t register_, std::uint32_t immediate) noexcept {
  return 0x19000000u | detail::field(register_, 20) | immediate;
}

[[nodiscard]] constexpr Encoded encode_br_m(std::uint8_t register_) noexcept {
  if (!detail::is_register(register_)) return detail::schedule("branch register");
  return br_m(register_);
}

[[nodiscard]] constexpr Encoded encode_call_m_immediate(std::uint8_t return_register,
                                                        std::uint32_t target_address) noexcept {
  if (!detail::is_register(return_register) || !detail::is_branch_target(target_address)) {
    return detail::schedule("call operand");
  }
  return 0x18000000u | detail::field(return_register, 20) | (target_address / 4);
}

[[nodiscard]] constexpr Encoded encode_setzi_m(std::uint8_t register_, std::uint32_t immediate) noexcept {
  if (!detail::is_register(register_) || immediate >= 0x100000u) return detail::schedule("setzi operand");
  return setzi_m(register_, immediate);
}

[[nodiscard]] constexpr Encoded encode_put_special_m(std::uint8_t special, std::uint8_t register_) noexcept {
  if (!detail::is_register(register_)) return detail::schedule("put source register");
  return 0x43008000u | detail::field(register_, 20) | special;
}

[[nodiscard]] constexpr Encoded encode_ld32_m_immediate(std::uint8_t destination, std::uint8_t base,
                                                        std::uint8_t delta, std::uint16_t word_offset) noexcept {
  if (!detail::is_register(destination) || !detail::is_register(base) || !detail::is_register(delta) ||
      word_offset >= 0x1000u) {
    return detail::schedule("ld32 operand");
  }
  return 0x01000000u | detail::field(base, 20) | detail::field(destination, 16) | detail::field(delta, 12) |
         word_offset;
}

[[nodiscard]] constexpr Encoded encode_st32_m_immediate(std::uint8_t source, std::uint8_t base,
                                                        std::uint8_t delta, std::uint16_t word_offset) noexcept {
  if (!detail::is_register(source) || !detail::is_register(base) || !detail::is_register(delta) ||
      word_offset >= 0x1000u) {
    return detail::schedule("st32 operand");
  }
  return 0x4F000000u | detail::field(base, 20) | detail::field(source, 16) | detail::field(delta, 12) |
         word_offset;
}

// Checks the immediate first: when both it and a register are out of range, the immediate's
// message wins.
[[nodiscard]] constexpr Encoded encode_add_m_immediate(std::uint8_t destination, std::uint8_t source,
                                                       std::int32_t immediate) noexcept {
  if (immediate < -32768 || immediate > 32767) return detail::schedule("add immediate operand");
  if (!detail::is_register(destination) || !detail::is_register(source)) {
    return detail::schedule("add register operand");
  }
  const auto low16 = static_cast<std::uint32_t>(static_cast<std::uint16_t>(static_cast<std::int16_t>(immediate)));
  return 0x22000000u | detail::field(source, 20) | detail::field(destination, 16) | low16;
}

[[nodiscard]] constexpr Encoded encode_shl_m_immediate(std::uint8_t destination, std::uint8_t source,
                                                       std::uint16_t immediate) noexcept {
  if (!detail::is_register(destination) || !detail::is_register(source) || immediate >= 0x1000u) {
    return detail::schedule("shift-left operand");
  }
  return 0x4200A000u | detail::field(source, 20) | detail::field(destination, 16) | immediate;
}

[[nodiscard]] constexpr Encoded encode_brz_m_immediate(std::uint8_t register_, std::uint32_t target_address) noexcept {
  if (!detail::is_register(register_) || !detail::is_branch_target(target_address)) {
    return detail::schedule("brz operand");
  }
  return 0x13000000u | detail::field(register_, 20) | (target_address / 4);
}

}  // namespace vorn_exchange

#include "vorn/exchange/decode.hpp"  // IWYU pragma: export
