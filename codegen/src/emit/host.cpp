#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>

#include "vorn/codegen/emit/detail.hpp"

namespace vorn_codegen::detail {
namespace {

constexpr std::uint8_t kRoutineReturnRegister = 9;

std::expected<std::uint32_t, CodegenError> run_length(std::size_t phases) {
  if (phases > std::numeric_limits<std::uint32_t>::max()) return std::unexpected(invalid("host run overflow"));
  return static_cast<std::uint32_t>(phases);
}

}  // namespace

Status emit_host_phases(TileCode& code, const SymbolLookup& symbols, std::span<const HostPhase> phases) {
  const auto is_active = [](const HostPhase& phase) { return phase.active; };
  const auto is_inactive = [](const HostPhase& phase) { return !phase.active; };

  // Both routines are resolved before any word is written, and only those the list needs.
  std::uint32_t repeat_call = 0;
  std::uint32_t host_run = 0;
  if (std::ranges::any_of(phases, is_inactive)) {
    const auto found = symbol(symbols, "vornkit_static_repeat_call");
    if (!found) return std::unexpected(found.error());
    repeat_call = *found;
  }
  if (std::ranges::any_of(phases, is_active)) {
    const auto found = symbol(symbols, "vornkit_static_host_run");
    if (!found) return std::unexpected(found.error());
    host_run = *found;
  }

  for (auto start = phases.begin(); start != phases.end();) {
    const HostPhase& first = *start;
    // An active run shares its first phase's address; an inactive run takes every inactive phase.
    const auto end =
        first.active
            ? std::find_if(start, phases.end(),
                           [&](const HostPhase& phase) { return !phase.active || phase.address != first.address; })
            : std::find_if(start, phases.end(), is_active);
    const auto length = run_length(static_cast<std::size_t>(end - start));
    if (!length) return std::unexpected(length.error());
    start = end;

    if (auto loaded = code.setzi(2, *length); !loaded) return loaded;
    if (first.active) {
      if (!first.run_table) return std::unexpected(invalid("active host phase has no run table"));
      if (auto loaded = code.setzi(3, *first.run_table); !loaded) return loaded;
      if (auto loaded = code.setzi(4, first.address); !loaded) return loaded;
      if (auto called = code.call(host_run, kRoutineReturnRegister); !called) return called;
    } else {
      if (auto loaded = code.setzi(3, first.address); !loaded) return loaded;
      if (auto called = code.call(repeat_call, kRoutineReturnRegister); !called) return called;
    }
  }
  return {};
}

Status emit_cycle_sample(TileCode& code, const SymbolLookup& symbols, std::uint32_t address) {
  if (auto loaded = code.setzi(2, address); !loaded) return loaded;
  const auto sample_cycle = symbol(symbols, "vornkit_static_sample_cycle");
  if (!sample_cycle) return std::unexpected(sample_cycle.error());
  return code.call(*sample_cycle, 10);
}

}  // namespace vorn_codegen::detail
