// Readable listing of a generated program, shared by the emission examples: every instruction
// word with its address, its hex and a short description, then the exchange rows to place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "vorn/codegen/emit.hpp"

namespace vorn_examples {

inline std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
  return text;
}

// A call or branch target, named when the symbol table knows it.
inline std::string target(std::uint32_t address, const std::map<std::uint32_t, std::string>& names) {
  const auto found = names.find(address);
  return found == names.end() ? hex(address) : hex(address) + " <" + found->second + ">";
}

// What one instruction word does, from its opcode and fields.
inline std::string describe(std::uint32_t word, const std::map<std::uint32_t, std::string>& names) {
  const auto field = [word](int shift) { return std::to_string((word >> shift) & 0xF); };
  const std::uint32_t branch_target = (word & 0x7FFFF) * 4;
  if (word == vorn_codegen::EXCHANGE_PREFIX_WORD) return "exchange prefix";
  switch (word >> 24) {
    case 0x01:
      return "ld32  r" + field(16) + ", [r" + field(20) + " + r" + field(12) + " + " + std::to_string(word & 0xFFF) +
             " words]";
    case 0x13:
      return "brz   r" + field(20) + ", " + target(branch_target, names);
    case 0x18:
      return "call  " + target(branch_target, names) + ", return in r" + field(20);
    case 0x19:
      return "setzi r" + field(20) + ", " + hex(word & 0xFFFFF);
    case 0x22:
      return "add   r" + field(16) + ", r" + field(20) + ", " +
             std::to_string(static_cast<std::int16_t>(word & 0xFFFF));
    case 0x42:
      return "shl   r" + field(16) + ", r" + field(20) + ", " + std::to_string(word & 0xFFF);
    case 0x43:
      if (((word >> 12) & 0xF) == 8) return "put   $" + hex(word & 0xFF) + ", r" + field(20);
      return "br    r" + field(20);
    case 0x4F:
      return "st32  r" + field(16) + ", [r" + field(20) + " + r" + field(12) + " + " + std::to_string(word & 0xFFF) +
             " words]";
    default:
      return ".word";
  }
}

inline void print_program(const vorn_codegen::GeneratedProgram& program, std::uint32_t code_address,
                          const vorn_codegen::SymbolTable& symbols) {
  std::map<std::uint32_t, std::string> names;
  for (const auto& [name, address] : symbols) names.emplace(address, name);

  const std::size_t words = program.bytes.size() / 4;
  std::printf("code: %zu words (%zu bytes) at %s\n", words, program.bytes.size(), hex(code_address).c_str());
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint8_t* bytes = program.bytes.data() + 4 * i;
    const std::uint32_t word = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    const auto address = static_cast<std::uint32_t>(code_address + 4 * i);
    std::printf("  %08x:  %08x  %s\n", static_cast<unsigned>(address), static_cast<unsigned>(word),
                describe(word, names).c_str());
  }
  std::printf("exchange rows: %zu\n", program.exchange_rows.size());
  for (const auto& row : program.exchange_rows) {
    std::printf("  %08x: ", static_cast<unsigned>(row.address));
    for (const std::uint32_t word : row.words) std::printf(" %08x", static_cast<unsigned>(word));
    std::printf("\n");
  }
}

}  // namespace vorn_examples
