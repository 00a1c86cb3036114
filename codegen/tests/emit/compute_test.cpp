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

// One compute step emitted into an empty buffer: the words in the buffer afterwards (also after a
// failure, which leaves the loads written before it) and the error, if any.
struct ComputeCase {
  const char* name;
  ComputeStep step;
  SymbolTable symbols;
  std::vector<std::uint32_t> words;
  std::optional<CodegenError> error = std::nullopt;
};

TEST(EmitCompute, LoadsOutputThenInputsThenArgumentsAndCallsTheKernel) {
  const std::vector<std::uint32_t> seven(7, 0x71000);
  const ComputeCase cases[] = {
      {"two inputs and an argument",
       {"gemm", 0x70000, {0x71000, 0x72000}, {0x40}},
       runtime_symbols(),
       {0x19270000, 0x19371000, 0x19472000, 0x19500040, 0x18A14400}},
      {"seven inputs fill registers 3 to 9",
       {"gemm", 0x70000, seven, {}},
       runtime_symbols(),
       {0x19270000, 0x19371000, 0x19471000, 0x19571000, 0x19671000, 0x19771000, 0x19871000, 0x19971000, 0x18A14400}},
      {"one input and six arguments",
       {"gemm", 0x70000, {0x71000}, {1, 2, 3, 4, 5, 6}},
       runtime_symbols(),
       {0x19270000, 0x19371000, 0x19400001, 0x19500002, 0x19600003, 0x19700004, 0x19800005, 0x19900006, 0x18A14400}},
      {"wide values take three words each",
       {"gemm", 0x100000, {0x12345678}, {0xFFFFFFFF}},
       runtime_symbols(),
       {0x19200100, 0x4222A00C, 0x22220000, 0x19312345, 0x4233A00C, 0x22330678, 0x194FFFFF, 0x4244A00C, 0x22440FFF,
        0x18A14400}},
      {"kernel named like a runtime routine",
       {"vornkit_static_host_run", 0, {0}},
       runtime_symbols(),
       {0x19200000, 0x19300000, 0x18A14002}},
      {"missing kernel after the loads",
       {"gemm", 0x70000, {0x71000, 0x72000}, {0x40}},
       testing::without(runtime_symbols(), "gemm"),
       {0x19270000, 0x19371000, 0x19472000, 0x19500040},
       invalid("tile 7 references missing kernel symbol gemm")},
      {"name match is exact",
       {"gem", 0x70000, {0x71000}},
       runtime_symbols(),
       {0x19270000, 0x19371000},
       invalid("tile 7 references missing kernel symbol gem")},
      {"unaligned kernel",
       {"gemm", 0x70000, {0x71000}},
       testing::with(runtime_symbols(), "gemm", 0x51002),
       {0x19270000, 0x19371000},
       schedule("call operand")},
      {"kernel out of reach",
       {"gemm", 0x70000, {0x71000}},
       testing::with(runtime_symbols(), "gemm", 0xFFFFFFFC),
       {0x19270000, 0x19371000},
       schedule("call operand")},
      // Unvalidated steps: the encoder rejects register 16 before any register number could pass 255.
      {"thirteen inputs and an argument reach register 16",
       {"gemm", 0, std::vector<std::uint32_t>(13, 0), {0}},
       runtime_symbols(),
       {0x19200000, 0x19300000, 0x19400000, 0x19500000, 0x19600000, 0x19700000, 0x19800000, 0x19900000, 0x19A00000,
        0x19B00000, 0x19C00000, 0x19D00000, 0x19E00000, 0x19F00000},
       schedule("setzi operand")},
      {"253 inputs overflow the argument registers",
       {"gemm", 0, std::vector<std::uint32_t>(253, 0)},
       runtime_symbols(),
       {},
       invalid("kernel input register overflow")},
      {"256 inputs overflow the input count",
       {"gemm", 0, std::vector<std::uint32_t>(256, 0)},
       runtime_symbols(),
       {},
       invalid("kernel input count exceeds u8")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    detail::TileCode code;
    testing::expect_outcome(detail::emit_compute(code, 7, c.step, c.symbols), c.error);
    EXPECT_THAT(code.words(), ElementsAreArray(c.words));
  }
}

}  // namespace
}  // namespace vorn_codegen
