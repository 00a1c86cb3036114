#include <cstdint>
#include <optional>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit/detail.hpp"

namespace vorn_codegen {
namespace {

using ::testing::ElementsAreArray;
using testing::invalid;
using testing::runtime_symbols;
using testing::schedule;
using testing::without;

HostPhase active(std::uint32_t address, std::optional<std::uint32_t> run_table) { return {address, true, run_table}; }
HostPhase inactive(std::uint32_t address) { return {address, false, std::nullopt}; }

// One phase list emitted into an empty buffer: the words in the buffer afterwards and the error.
struct PhasesCase {
  const char* name;
  std::vector<HostPhase> phases;
  SymbolTable symbols;
  std::vector<std::uint32_t> words;
  std::optional<CodegenError> error = std::nullopt;
};

TEST(EmitHostPhases, OneRoutineCallPerRunInListOrder) {
  const PhasesCase cases[] = {
      {"empty list needs no routine", {}, {}, {}},
      {"one active phase",
       {active(0x60000, 0x61000)},
       runtime_symbols(),
       {0x19200001, 0x19361000, 0x19460000, 0x18914002}},
      {"inactive phases form one run whatever their addresses",
       {inactive(0x70000), inactive(0x74000)},
       without(runtime_symbols(), "vornkit_static_host_run"),
       {0x19200002, 0x19370000, 0x18914003}},
      {"an active run ends where the address changes",
       {active(0x60000, 0x61000), active(0x60000, 0x62000), active(0x64000, 0x65000)},
       without(runtime_symbols(), "vornkit_static_repeat_call"),
       {0x19200002, 0x19361000, 0x19460000, 0x18914002, 0x19200001, 0x19365000, 0x19464000, 0x18914002}},
      {"later phases of an active run need no run table",
       {active(0x60000, 0x61000), active(0x60000, std::nullopt)},
       runtime_symbols(),
       {0x19200002, 0x19361000, 0x19460000, 0x18914002}},
      {"inactive, active, inactive",
       {inactive(0x70000), active(0x60000, 0x61000), inactive(0x74000)},
       runtime_symbols(),
       {0x19200001, 0x19370000, 0x18914003, 0x19200001, 0x19361000, 0x19460000, 0x18914002, 0x19200001, 0x19374000,
        0x18914003}},
      {"wide values",
       {active(0xFFFFFFFC, 0x100000)},
       runtime_symbols(),
       {0x19200001, 0x19300100, 0x4233A00C, 0x22330000, 0x194FFFFF, 0x4244A00C, 0x22440FFC, 0x18914002}},
      {"first phase of a later run without a run table",
       {active(0x60000, 0x61000), active(0x64000, std::nullopt)},
       runtime_symbols(),
       {0x19200001, 0x19361000, 0x19460000, 0x18914002, 0x19200001},
       invalid("active host phase has no run table")},
      {"missing host_run writes nothing",
       {inactive(0x70000), active(0x60000, 0x61000)},
       without(runtime_symbols(), "vornkit_static_host_run"),
       {},
       invalid("missing runtime symbol vornkit_static_host_run")},
      {"repeat_call is resolved first",
       {active(0x60000, 0x61000), inactive(0x70000)},
       without(without(runtime_symbols(), "vornkit_static_host_run"), "vornkit_static_repeat_call"),
       {},
       invalid("missing runtime symbol vornkit_static_repeat_call")},
      {"unaligned host_run",
       {active(0x60000, 0x61000)},
       testing::with(runtime_symbols(), "vornkit_static_host_run", 0x50009),
       {0x19200001, 0x19361000, 0x19460000},
       schedule("call operand")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    detail::TileCode code;
    testing::expect_outcome(detail::emit_host_phases(code, c.symbols, c.phases), c.error);
    EXPECT_THAT(code.words(), ElementsAreArray(c.words));
  }
}

TEST(EmitCycleSample, LoadsTheAddressThenCallsTheSampleRoutine) {
  const struct {
    const char* name;
    std::uint32_t address;
    SymbolTable symbols;
    std::vector<std::uint32_t> words;
    std::optional<CodegenError> error = std::nullopt;
  } cases[] = {
      {"near address", 0x80000, runtime_symbols(), {0x19280000, 0x18A14004}},
      {"wide address", 0x12345678, runtime_symbols(), {0x19212345, 0x4222A00C, 0x22220678, 0x18A14004}},
      {"missing routine after the load",
       0x80000,
       without(runtime_symbols(), "vornkit_static_sample_cycle"),
       {0x19280000},
       invalid("missing runtime symbol vornkit_static_sample_cycle")},
      {"routine out of reach",
       0x80000,
       testing::with(runtime_symbols(), "vornkit_static_sample_cycle", 0x200000),
       {0x19280000},
       schedule("call operand")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    detail::TileCode code;
    testing::expect_outcome(detail::emit_cycle_sample(code, c.symbols, c.address), c.error);
    EXPECT_THAT(code.words(), ElementsAreArray(c.words));
  }
}

}  // namespace
}  // namespace vorn_codegen
