#include <cstdint>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::invalid;
using testing::row;
using testing::runtime_symbols;
using testing::schedule;
using testing::without;
using vorn::testing::FailsWith;

const SymbolTable kOnlyCompleteAndGemm{{"vornkit_static_complete", 0x50004}, {"gemm", 0x51000}};

// The image of `words`, least significant byte first.
std::vector<std::uint8_t> image(const std::vector<std::uint32_t>& words) {
  std::vector<std::uint8_t> bytes;
  for (const std::uint32_t word : words) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(word >> shift));
  }
  return bytes;
}

TileProgram typical_program(std::uint32_t first_row_word) {
  return {7, {ExchangeStep{0x60000, row(first_row_word)}, ComputeStep{"gemm", 0x70000, {0x71000, 0x72000}, {0x40}}}};
}

TileProgram one_gemm(StepProfile profile = {}) { return {0, {ComputeStep{"gemm", 0x70000, {0x71000}, {}, profile}}}; }

struct EmitCase {
  const char* name;
  TileProgram program;
  SymbolTable symbols;
  HostProgram host;
  CodegenOptions options;
  std::vector<std::uint32_t> words;
  std::vector<PlacedExchangeRow> rows;
};

TEST(Emit, WritesEverySectionWordForWord) {
  const EmitCase cases[] = {
      {"inactive row and a kernel; no runtime routine but complete is needed",
       typical_program(0x40c00000),
       kOnlyCompleteAndGemm,
       {},
       {.code_address = 0x52000},
       {0x41800003, 0x18A18000, 0x19270000, 0x19371000, 0x19472000, 0x19500040, 0x18A14400, 0x19050004, 0x43000000},
       {{0x60000, row(0x40c00000)}}},
      {"empty program", {}, runtime_symbols(), {}, {}, {0x19050004, 0x43000000}, {}},
      {"active row: exchange setup and barrier",
       typical_program(0),
       runtime_symbols(),
       {},
       {.code_address = 0x52000},
       {0x43F080A7, 0x43F080A4, 0x19800001, 0x438080A6, 0x41800003, 0x18714000, 0x18A18000, 0x19270000, 0x19371000,
        0x19472000, 0x19500040, 0x18A14400, 0x19050004, 0x43000000},
       {{0x60000, row(0)}}},
      {"three invocations",
       one_gemm(),
       kOnlyCompleteAndGemm,
       {},
       {.code_address = 0x52000, .invocations = 3},
       {0x22BBFFF8, 0x19000003, 0x4FB0F000, 0x19270000, 0x19371000, 0x18A14400, 0x01B0F000, 0x2200FFFF, 0x4FB0F000,
        0x1301480C, 0x1905200C, 0x43000000, 0x22BB0008, 0x19050004, 0x43000000},
       {}},
      {"samples: initial, around the step, final",
       one_gemm({0x80008, 0x8000c}),
       without(runtime_symbols(), "vornkit_static_worker_barrier"),
       {},
       {.code_address = 0x52000, .initial_profile_address = 0x80000, .final_profile_address = 0x80004},
       {0x19280000, 0x18A14004, 0x19280008, 0x18A14004, 0x19270000, 0x19371000, 0x18A14400, 0x1928000C, 0x18A14004,
        0x19280004, 0x18A14004, 0x19050004, 0x43000000},
       {}},
      {"every section in order, two invocations",
       {3,
        {ExchangeStep{0x60000, row(0), {0x80008, 0x8000c}}, ExchangeStep{0x60024, row(0x40c00000)},
         ComputeStep{"gemm", 0x70000, {0x71000}}}},
       runtime_symbols(),
       {.initialize = {{0x70000, false, std::nullopt}},
        .inputs = {{0x60000, true, 0x61000}},
        .outputs = {{0x74000, false, std::nullopt}}},
       {.code_address = 0x52000, .invocations = 2, .initial_profile_address = 0x80000},
       {
           0x19200001, 0x19370000, 0x18914003,              // initialization phase       0x52000
           0x22BBFFF8, 0x19000002, 0x4FB0F000,              // loop prologue              0x5200C
           0x19200001, 0x19361000, 0x19460000, 0x18914002,  // input phase                0x52018
           0x43F080A7, 0x43F080A4, 0x19800001, 0x438080A6,  // exchange setup             0x52028
           0x19280000, 0x18A14004,                          // initial sample             0x52038
           0x19280008, 0x18A14004,                          // sample before the row      0x52040
           0x41800003, 0x18714000, 0x18A18000,              // active row with barrier    0x52048
           0x1928000C, 0x18A14004,                          // sample after the row       0x52054
           0x41800003, 0x18A18009,                          // inactive row               0x5205C
           0x19270000, 0x19371000, 0x18A14400,              // kernel                     0x52064
           0x19200001, 0x19374000, 0x18914003,              // output phase               0x52070
           0x01B0F000, 0x2200FFFF, 0x4FB0F000, 0x13014825,  // count down, exit to done   0x5207C
           0x19052018, 0x43000000,                          // back to invocation_start   0x5208C
           0x22BB0008,                                      // done: release the slot     0x52094
           0x19050004, 0x43000000,                          // complete
       },
       {{0x60000, row(0)}, {0x60024, row(0x40c00000)}}},
      {"wide invocation count",
       {},
       kOnlyCompleteAndGemm,
       {},
       {.invocations = 0x100000},
       {0x22BBFFF8, 0x19000100, 0x4200A00C, 0x22000000, 0x4FB0F000, 0x01B0F000, 0x2200FFFF, 0x4FB0F000, 0x1300000B,
        0x19000014, 0x43000000, 0x22BB0008, 0x19050004, 0x43000000},
       {}},
      {"largest code address the image fits below",
       {},
       kOnlyCompleteAndGemm,
       {},
       {.code_address = 0xFFFFFFF8},
       {0x19050004, 0x43000000},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto generated = emit(c.program, c.symbols, c.host, c.options);
    ASSERT_TRUE(generated.has_value()) << generated.error();
    EXPECT_THAT(generated->bytes, ElementsAreArray(image(c.words)));
    EXPECT_THAT(generated->exchange_rows, ElementsAreArray(c.rows));
  }
}

TEST(Emit, ImageIsLittleEndian) {
  const auto generated = emit(typical_program(0x40c00000), kOnlyCompleteAndGemm, {}, {.code_address = 0x52000});
  ASSERT_TRUE(generated.has_value());
  ASSERT_EQ(generated->bytes.size(), 36u);
  EXPECT_THAT(std::vector(generated->bytes.begin(), generated->bytes.begin() + 8),
              ElementsAre(0x03, 0x00, 0x80, 0x41, 0x00, 0x80, 0xA1, 0x18));
}

struct FailureCase {
  const char* name;
  TileProgram program;
  SymbolTable symbols;
  HostProgram host;
  CodegenOptions options;
  CodegenError error;
};

TEST(Emit, ReportsTheFirstFailureInCheckOrder) {
  const TileProgram misaligned{0, {ExchangeStep{3, {}}}};
  const HostProgram active_input{.inputs = {{0x60000, true, 0x61000}}};
  const FailureCase cases[] = {
      {"zero invocations before validation and symbols",
       misaligned,
       {},
       {},
       {.invocations = 0},
       invalid("invocation count must be nonzero")},
      {"validation before symbols", misaligned, {}, {}, {}, invalid("exchange row address is not word aligned")},
      {"complete is needed even by an empty program",
       {},
       without(runtime_symbols(), "vornkit_static_complete"),
       {},
       {},
       invalid("missing runtime symbol vornkit_static_complete")},
      {"complete before the phases' routines",
       {},
       {},
       active_input,
       {},
       invalid("missing runtime symbol vornkit_static_complete")},
      {"barrier for an active row",
       typical_program(0),
       without(runtime_symbols(), "vornkit_static_worker_barrier"),
       {},
       {},
       invalid("missing runtime symbol vornkit_static_worker_barrier")},
      {"initial sample before the barrier",
       typical_program(0),
       kOnlyCompleteAndGemm,
       {},
       {.initial_profile_address = 0x80000},
       invalid("missing runtime symbol vornkit_static_sample_cycle")},
      {"input phases before the barrier",
       typical_program(0),
       kOnlyCompleteAndGemm,
       active_input,
       {},
       invalid("missing runtime symbol vornkit_static_host_run")},
      {"a step's sample",
       one_gemm({std::nullopt, 0x80000}),
       kOnlyCompleteAndGemm,
       {},
       {},
       invalid("missing runtime symbol vornkit_static_sample_cycle")},
      {"missing kernel",
       typical_program(0x40c00000),
       without(runtime_symbols(), "gemm"),
       {},
       {},
       invalid("tile 7 references missing kernel symbol gemm")},
      {"output phases",
       one_gemm(),
       kOnlyCompleteAndGemm,
       {.outputs = {{0x74000, false, std::nullopt}}},
       {},
       invalid("missing runtime symbol vornkit_static_repeat_call")},
      {"row out of call reach",
       {0, {ExchangeStep{0x200000, row(0x40c00000)}}},
       runtime_symbols(),
       {},
       {},
       schedule("call operand")},
      {"unaligned barrier",
       typical_program(0),
       testing::with(runtime_symbols(), "vornkit_static_worker_barrier", 2),
       {},
       {},
       schedule("call operand")},
      {"unaligned completion is reached by a jump, so only the image limit applies",
       {},
       testing::with(runtime_symbols(), "vornkit_static_complete", 0xFFFFFFFF),
       {},
       {.code_address = 0xFFFFFFFC},
       invalid("generated code address overflow")},
      {"loop exit out of branch reach",
       one_gemm(),
       runtime_symbols(),
       {},
       {.code_address = 0x1FFFF0, .invocations = 2},
       schedule("brz operand")},
      {"unaligned code address breaks the loop exit",
       one_gemm(),
       runtime_symbols(),
       {},
       {.code_address = 0x52002, .invocations = 2},
       schedule("brz operand")},
      {"invocation_start past 2^32 with one invocation",
       {},
       runtime_symbols(),
       {.initialize = {{0x70000, false, std::nullopt}}},
       {.code_address = 0xFFFFFFF8},
       invalid("generated code address overflow")},
      {"loop exit past 2^32",
       {},
       runtime_symbols(),
       {},
       {.code_address = 0xFFFFFFF0, .invocations = 2},
       invalid("generated code address overflow")},
      {"image past 2^32",
       {},
       runtime_symbols(),
       {},
       {.code_address = 0xFFFFFFFC},
       invalid("generated code address overflow")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(emit(c.program, c.symbols, c.host, c.options), FailsWith(c.error));
  }
}

}  // namespace
}  // namespace vorn_codegen
