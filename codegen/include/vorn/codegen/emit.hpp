// Tile program emission (module vorn_codegen): one tile's program becomes a code image and the
// exchange rows to place beside it.
//
//     vorn_codegen::SymbolTable symbols{{"vornkit_static_complete", 0x50004}, {"gemm", 0x51000}};
//     vorn_codegen::TileProgram program{7, {vorn_codegen::ComputeStep{"gemm", 0x70000, {0x71000}}}};
//     auto generated = vorn_codegen::emit(program, symbols, {}, {.code_address = 0x52000});
#pragma once

#include <expected>

#include "vorn/codegen/emit/error.hpp"  // IWYU pragma: export
#include "vorn/codegen/emit/model.hpp"  // IWYU pragma: export
#include "vorn/exchange.hpp"

namespace vorn_codegen {

// True for an exchange step whose row does not begin with INACTIVE_EXCHANGE_WORD (an empty row
// counts as active); false for every compute step.
[[nodiscard]] bool active_exchange(const TileStep& step) noexcept;

// Generates the code of `program` for loading at `options.code_address`:
//
//   initialization phases                               once
//   loop prologue: reserve a counter slot below r11     once, if invocations > 1
//   input phases, exchange setup, initial sample        every invocation
//   the steps, each between its own samples             every invocation
//   final sample, output phases                         every invocation
//   loop epilogue: count down, exit or jump back        if invocations > 1
//   jump to "vornkit_static_complete"                   once
//
// Checks, in this order: invocations nonzero, the program's steps, the runtime routines and
// kernels as they are reached, then every operand as it is encoded. The first failure is
// returned and nothing partial.
//
// The called routines, rows and kernels must leave registers 11 and 15 as they found them: the
// invocation counter is reached through them and the code saves neither.
//
// Address limits: the loop's own addresses (its start and exit) are computed from
// code_address and fail with "generated code address overflow" past 2^32 - 1; the loop exit and
// every call target must also be a multiple of 4 below 0x200000 or the encoder rejects it. In
// addition, an image whose last byte would lie past 0xFFFFFFFF (it cannot be loaded at
// code_address) fails with "generated code address overflow" instead of being returned.
[[nodiscard]] std::expected<GeneratedProgram, CodegenError> emit(const TileProgram& program, const SymbolTable& symbols,
                                                                 const HostProgram& host,
                                                                 const CodegenOptions& options);

}  // namespace vorn_codegen
