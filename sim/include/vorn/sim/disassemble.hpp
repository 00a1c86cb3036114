// A listing of a code image, one line per word, for reading generated code:
//
//   00052000  41800003  .word 0x41800003                    ; exchange prefix
//   00052004  18a18000  call 0x60000 <exchange row>, r10
//   00052008  19212345  setzi r2, 0x12345
//   0005200c  4222a00c  shl r2, r2, 12
//   00052010  22220678  add r2, r2, 1656                    ; r2 = 0x12345678
//   00052014  18a14004  call 0x50010 <vornkit_static_sample_cycle>, r10
//   00052018  1301480c  brz r0, 0x52030 <code+0x30>
//   0005201c  19050004  setzi r0, 0x50004
//   00052020  43000000  br r0                               ; jump 0x50004 <vornkit_static_complete>
//
// Each line holds the word's address and the word in hexadecimal, then the instruction, or
// `.word` and the value for a word that is no instruction. The target of a call or branch is
// followed by what it reaches in angle brackets: a symbol, a placed exchange row, or a place in
// this code as code+offset. A comment gives the 32-bit value of a three-word constant load (setzi,
// shl 12, add) and the target of a jump (a constant load of a register, then `br` of it).
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "vorn/sim/error.hpp"
#include "vorn/sim/symbols.hpp"

namespace vorn_sim {

// The listing of `image` loaded at `code_address`. Fails with TruncatedImage when the length is
// not a multiple of 4 and with ImageOutOfRange when the image would reach past 2^32.
[[nodiscard]] std::expected<std::vector<std::string>, SimError> disassemble(
    std::span<const std::uint8_t> image, std::uint32_t code_address, const SymbolTable& symbols,
    std::span<const std::uint32_t> row_addresses = {});

// The listing of what emit() generated, its image loaded at `code_address`.
[[nodiscard]] std::expected<std::vector<std::string>, SimError> disassemble(
    const vorn_codegen::GeneratedProgram& program, std::uint32_t code_address, const SymbolTable& symbols);

}  // namespace vorn_sim
