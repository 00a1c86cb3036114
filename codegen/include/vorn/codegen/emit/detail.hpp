// The building blocks of emit(), internal to the library. They live in vorn_codegen::detail so
// that tests and tools can check each on its own; callers use emit() alone. Each appends to the
// TileCode of one emission and fails with the first CodegenError; words appended before a
// failure are left in the buffer, which emit() then drops whole. Symbols are looked up through a
// SymbolLookup, which a SymbolTable converts to.
#pragma once

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "vorn/codegen/emit/error.hpp"
#include "vorn/codegen/emit/model.hpp"
#include "vorn/codegen/emit/symbol_lookup.hpp"
#include "vorn/codegen/emit/tile_code.hpp"

namespace vorn_codegen::detail {

// CodegenError::Invalid holding `message`.
[[nodiscard]] CodegenError invalid(std::string message);

// The address of runtime routine `name`, or "missing runtime symbol {name}".
[[nodiscard]] std::expected<std::uint32_t, CodegenError> symbol(const SymbolLookup& symbols, std::string_view name);

// Checks, step by step in order, that every exchange row is word aligned and EXCHANGE_ROW_WORDS
// long, and that every compute step names a kernel and has 1 to KERNEL_REGISTER_COUNT input
// addresses and arguments together, at least one of them an input address.
[[nodiscard]] Status validate(const TileProgram& program);

// The call of one kernel: output address in register 2, inputs from register 3, then the
// arguments, then `call` through register 10. The kernel is looked up after its registers are
// loaded; `tile` only names the tile in "tile {} references missing kernel symbol {}".
[[nodiscard]] Status emit_compute(TileCode& code, std::uint16_t tile, const ComputeStep& compute,
                                  const SymbolLookup& symbols);

// One call per run of phases: active runs (same address) through "vornkit_static_host_run" with
// registers 2, 3, 4 = run length, run table, address; inactive runs (any addresses) through
// "vornkit_static_repeat_call" with registers 2, 3 = run length, address; return register 9. Both
// routines are resolved, repeat_call first, before any word is written, and only if needed.
[[nodiscard]] Status emit_host_phases(TileCode& code, const SymbolLookup& symbols, std::span<const HostPhase> phases);

// Hands `address` in register 2 to "vornkit_static_sample_cycle" (return register 10).
[[nodiscard]] Status emit_cycle_sample(TileCode& code, const SymbolLookup& symbols, std::uint32_t address);

}  // namespace vorn_codegen::detail
