// A tile simulator for generated code: it runs an image loaded at its code address, treats every
// call of a symbol or of a placed exchange row as a call of outside code, and records what the
// code asks of the outside world (see trace.hpp). It never crashes on a bad image: every fault is
// a SimError. The raw exchange prefix word (EXCHANGE_PREFIX_WORD), which no encoder produces, runs
// as a no-op and is recorded as ExchangePrefix.
//
// The machine: registers r0 to r15, 256 special registers, a sparse word memory that starts empty
// (the image can be read, not written), ld32/st32 at base + delta + 4 * word_offset (modulo 2^32,
// which must be a multiple of 4). Outside code is not executed. A call of it records an event and
// returns through the call's return register; since outside code need only keep r11 and r15, the
// simulator then overwrites every other register except the return register with kClobbered, so
// that generated code which relies on a value across a call is caught.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <span>

#include "vorn/codegen/emit.hpp"
#include "vorn/sim/error.hpp"
#include "vorn/sim/symbols.hpp"
#include "vorn/sim/trace.hpp"

namespace vorn_sim {

// What the registers other than r11, r15 and the return register hold after a call of outside code.
inline constexpr std::uint32_t kClobbered = 0xDEADBEEF;

struct SimOptions {
  // Initial r11 and r15; every other register starts at 0.
  std::uint32_t register_11 = 0x100000;
  std::uint32_t register_15 = 0;
  // The most instructions a run may execute before it fails with StepLimit.
  std::uint64_t step_limit = 1'000'000;
};

struct Run {
  Trace trace;
  std::uint64_t steps = 0;  // instructions executed, the final jump included
  // The machine as the jump to the completion routine left it.
  std::array<std::uint32_t, 16> registers{};
  std::array<std::uint32_t, 256> special_registers{};
};

// Runs `image` loaded at `code_address` from its first word until it jumps to
// vornkit_static_complete. `row_addresses` are the addresses of the placed exchange rows;
// `symbols` names the runtime routines and kernels (an address that is both a symbol and a row
// counts as the symbol).
[[nodiscard]] std::expected<Run, SimError> simulate(std::span<const std::uint8_t> image, std::uint32_t code_address,
                                                    std::span<const std::uint32_t> row_addresses,
                                                    const SymbolTable& symbols, const SimOptions& options = {});

// Runs what emit() generated, its image loaded at `code_address` and its rows placed.
[[nodiscard]] std::expected<Run, SimError> simulate(const vorn_codegen::GeneratedProgram& program,
                                                    std::uint32_t code_address, const SymbolTable& symbols,
                                                    const SimOptions& options = {});

}  // namespace vorn_sim
