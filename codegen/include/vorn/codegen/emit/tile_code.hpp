// TileCode: the instruction buffer of one emission. Internal to the library (namespace detail);
// tests and tools may use it, callers of emit() never see it.
//
// Invariants:
// - The buffer holds the finished code image, not a word list: word i lies at bytes 4i to 4i+3,
//   least significant byte first, exactly as it will lie in tile memory from the load address.
//   emit() hands this storage over as GeneratedProgram::bytes, so the image is never copied.
// - Every operation except instruction() and replace() writes only words an encoder accepted; a
//   failed operation appends nothing of its own failing word (words of a multi-word sequence
//   appended before the failure stay, and the emission that sees the failure drops the buffer).
// - Only jump() touches a register its caller did not name: it overwrites register 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <vector>

#include "vorn/codegen/emit/error.hpp"
#include "vorn/exchange.hpp"

namespace vorn_codegen::detail {

using Status = std::expected<void, CodegenError>;

class TileCode {
 public:
  TileCode() = default;

  // Number of words appended so far.
  [[nodiscard]] std::size_t size() const noexcept { return used_ / 4; }

  // The words, decoded from the image: for inspection and tests.
  [[nodiscard]] std::vector<std::uint32_t> words() const;

  // Overwrites word `index`: how a forward branch gets its target once it is known. An index at
  // or past size() names no word and changes nothing.
  void replace(std::size_t index, std::uint32_t word) noexcept {
    if (index < size()) store(index * 4, word);
  }

  // Makes room for `words` words without changing the contents.
  void reserve(std::size_t words);

  // The image, each word least significant byte first; leaves the buffer empty.
  [[nodiscard]] std::vector<std::uint8_t> take_bytes() &&;

  // The address of the next word when the code is loaded at `base`: `base` plus 4 times size().
  // Fails with "generated code exceeds u32", "generated code size overflow" or "generated code
  // address overflow"; never wraps.
  [[nodiscard]] std::expected<std::uint32_t, CodegenError> address(std::uint32_t base) const;

  // Appends `word` unchanged: for words no encoder makes.
  void instruction(std::uint32_t word) { append(word); }

  // Loads any 32-bit value: one setzi below 0x100000, else setzi of the upper 20 bits, shl 12 and
  // add of the low 12 bits (the add is written even when they are zero).
  [[nodiscard]] Status setzi(std::uint8_t register_, std::uint32_t immediate) {
    if (immediate < 0x100000u) [[likely]]
      return put(vorn_exchange::encode_setzi_m(register_, immediate));
    return setzi_wide(register_, immediate);
  }

  [[nodiscard]] Status ld32(std::uint8_t destination, std::uint8_t base, std::uint8_t delta, std::uint16_t offset) {
    return put(vorn_exchange::encode_ld32_m_immediate(destination, base, delta, offset));
  }

  [[nodiscard]] Status st32(std::uint8_t source, std::uint8_t base, std::uint8_t delta, std::uint16_t offset) {
    return put(vorn_exchange::encode_st32_m_immediate(source, base, delta, offset));
  }

  [[nodiscard]] Status add_immediate(std::uint8_t destination, std::uint8_t source, std::int32_t immediate) {
    return put(vorn_exchange::encode_add_m_immediate(destination, source, immediate));
  }

  [[nodiscard]] Status put_special(std::uint8_t special, std::uint8_t register_) {
    return put(vorn_exchange::encode_put_special_m(special, register_));
  }

  // Note the argument order: target first, unlike the encoder.
  [[nodiscard]] Status call(std::uint32_t target, std::uint8_t return_register) {
    return put(vorn_exchange::encode_call_m_immediate(return_register, target));
  }

  [[nodiscard]] Status brz(std::uint8_t register_, std::uint32_t target) {
    return put(vorn_exchange::encode_brz_m_immediate(register_, target));
  }

  // Jumps to any 32-bit address through register 0: 2 words below 0x100000, 4 above.
  [[nodiscard]] Status jump(std::uint32_t target) {
    if (auto loaded = setzi(0, target); !loaded) return loaded;
    return put(vorn_exchange::encode_br_m(0));
  }

 private:
  [[nodiscard]] Status put(const vorn_exchange::Encoded& encoded) {
    if (!encoded) [[unlikely]]
      return rejected(encoded.error());
    append(*encoded);
    return {};
  }

  // The rare paths stay out of line, so that the common ones inline into every caller.
  [[nodiscard]] Status setzi_wide(std::uint8_t register_, std::uint32_t immediate);
  [[nodiscard, gnu::cold]] static Status rejected(const vorn_exchange::ExchangeError& error);

  void append(std::uint32_t word) {
    if (bytes_.size() - used_ < 4) [[unlikely]]
      grow();
    store(used_, word);
    used_ += 4;
  }

  // The caller guarantees offset + 4 <= bytes_.size().
  void store(std::size_t offset, std::uint32_t word) noexcept {
    std::uint8_t* out = bytes_.data() + offset;
    out[0] = static_cast<std::uint8_t>(word);
    out[1] = static_cast<std::uint8_t>(word >> 8);
    out[2] = static_cast<std::uint8_t>(word >> 16);
    out[3] = static_cast<std::uint8_t>(word >> 24);
  }

  void grow();

  // bytes_ is the allocation, used_ the image so far (a multiple of 4); the bytes past used_ are
  // spare room that append() fills without a capacity check per byte.
  std::vector<std::uint8_t> bytes_;
  std::size_t used_ = 0;
};

}  // namespace vorn_codegen::detail
