#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image.hpp"
#include "vorn/sim.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_sim {
namespace {

using testing::image_of;
using testing::kRuntime;
using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;

using Call = TraceEvent::Call;
using Row = TraceEvent::Row;
using Put = TraceEvent::Put;
constexpr TraceEvent::ExchangePrefix kPrefix;
constexpr TraceEvent::Complete kComplete;

const std::vector<std::uint32_t> kRows{0x60000, 0x64000};

std::expected<Run, SimError> run(std::initializer_list<std::uint32_t> words, SimOptions options = {}) {
  return simulate(image_of(words), 0x52000, kRows, kRuntime, options);
}

MATCHER_P(Traces, expected, "runs to completion with trace " + ::testing::PrintToString(expected)) {
  if (!arg) {
    *result_listener << "which failed with " << arg.error();
    return false;
  }
  return ::testing::ExplainMatchResult(expected, arg->trace, result_listener);
}

struct TraceCase {
  std::string name;
  std::expected<Run, SimError> run;
  Trace trace;
};

TEST(Simulate, RecordsEveryCallWithTheRegistersItsConventionGivesIt) {
  const TraceCase cases[] = {
      {"inactive row then a kernel",
       run({0x41800003, 0x18A18000, 0x19270000, 0x19371000, 0x19472000, 0x19500040, 0x18A14400, 0x19050004,
            0x43000000}),
       {kPrefix, Row{0x60000}, Call{"gemm", {0x70000, 0x71000, 0x72000, 0x40}}, kComplete}},
      {"exchange setup, barrier and active row",
       run({0x43F080A7, 0x43F080A4, 0x19800001, 0x438080A6, 0x41800003, 0x18714000, 0x18A18000, 0x19050004, 0x43000000},
           {.register_11 = 0x100000, .register_15 = 0x40}),
       {Put{0xA7, 0x40}, Put{0xA4, 0x40}, Put{0xA6, 1}, kPrefix, Call{"vornkit_static_worker_barrier", {}},
        Row{0x60000}, kComplete}},
      {"host run, repeat call and a long sample address",
       run({0x19200001, 0x19361000, 0x19460000, 0x18914002,  // host_run(1, 0x61000, 0x60000)
            0x19200002, 0x19370000, 0x18914003,              // repeat_call(2, 0x70000)
            0x19212345, 0x4222A00C, 0x22220678, 0x18A14004,  // sample_cycle(0x12345678)
            0x19050004, 0x43000000}),
       {Call{"vornkit_static_host_run", {1, 0x61000, 0x60000}}, Call{"vornkit_static_repeat_call", {2, 0x70000}},
        Call{"vornkit_static_sample_cycle", {0x12345678}}, kComplete}},
      // A register that was read after its load (r8 by the put) or loaded before the previous call
      // (r3) is not an argument of the kernel.
      {"a kernel receives only the registers loaded for it",
       run({0x19800001, 0x438080A6,                                                  // r8 = 1 into 0xa6
            0x19200001, 0x19300002, 0x19400003, 0x19500004, 0x19600005, 0x19700006,  // r2..r7
            0x18A14400,                                                              // gemm
            0x19300009, 0x18A14004,                                                  // r3 then a sample
            0x19200007, 0x18A14400,                                                  // r2, gemm
            0x19050004, 0x43000000}),
       {Put{0xA6, 1}, Call{"gemm", {1, 2, 3, 4, 5, 6}}, Call{"vornkit_static_sample_cycle", {kClobbered}},
        Call{"gemm", {7}}, kComplete}},
      {"the invocation loop runs its body three times",
       run({0x22BBFFF8, 0x19000003, 0x4FB0F000, 0x19270000, 0x19371000, 0x18A14400, 0x01B0F000, 0x2200FFFF, 0x4FB0F000,
            0x1301480C, 0x1905200C, 0x43000000, 0x22BB0008, 0x19050004, 0x43000000}),
       {Call{"gemm", {0x70000, 0x71000}}, Call{"gemm", {0x70000, 0x71000}}, Call{"gemm", {0x70000, 0x71000}},
        kComplete}},
      {"a call into the code is followed and returns through its register",
       run({0x18A14803,               // call 0x5200c, r10
            0x19050004, 0x43000000,   // jump complete
            0x43F080A7, 0x43A00000},  // 0x5200c: put 0xa7, r15; br r10
           {.register_11 = 0, .register_15 = 5}),
       {Put{0xA7, 5}, kComplete}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(c.run, Traces(c.trace));
  }
}

TEST(Simulate, ReportsTheMachineAsTheRunLeftIt) {
  // Prologue 3 words, two passes of 9 (body, counter update, branch, jump back), a last pass of 7,
  // the release of the slot and the final jump; r11 ends where it began.
  const auto loop = run({0x22BBFFF8, 0x19000003, 0x4FB0F000, 0x19270000, 0x19371000, 0x18A14400, 0x01B0F000, 0x2200FFFF,
                         0x4FB0F000, 0x1301480C, 0x1905200C, 0x43000000, 0x22BB0008, 0x19050004, 0x43000000},
                        {.register_11 = 0x2000, .register_15 = 0x10});
  ASSERT_TRUE(loop.has_value()) << loop.error();
  EXPECT_EQ(loop->steps, 31u);
  EXPECT_EQ(loop->registers[11], 0x2000u);
  EXPECT_EQ(loop->registers[15], 0x10u);
  EXPECT_EQ(loop->registers[0], 0x50004u);

  const auto setup = run({0x43F080A7, 0x19800001, 0x438080A6, 0x19050004, 0x43000000}, {.register_15 = 0x40});
  ASSERT_TRUE(setup.has_value()) << setup.error();
  EXPECT_EQ(setup->special_registers[0xA7], 0x40u);
  EXPECT_EQ(setup->special_registers[0xA6], 1u);
  EXPECT_EQ(setup->special_registers[0xA4], 0u);
}

// Whatever the image, a run ends with a result or an error within its step limit, and the
// listing has one line per word.
TEST(Simulate, EndsOnEveryImage) {
  constexpr std::uint32_t kOpcodes[] = {0x01, 0x13, 0x18, 0x19, 0x22, 0x42, 0x43, 0x4F, 0x41};
  std::mt19937 random(5);
  for (int i = 0; i < 10'000; ++i) {
    std::vector<std::uint8_t> bytes(4 * (random() % 16) + (random() % 8 == 0 ? random() % 4 : 0));
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      // Most words get a real opcode and small fields, so that runs get somewhere.
      const auto byte = static_cast<std::uint8_t>(random());
      const bool top = b % 4 == 3;
      bytes[b] = top && random() % 8 != 0 ? static_cast<std::uint8_t>(kOpcodes[byte % 9]) : byte;
      if (!top && b % 4 != 0 && random() % 2 == 0) bytes[b] &= 0x05;
    }
    const auto code_address = static_cast<std::uint32_t>(random() % 4 == 0 ? random() : random() % 64 * 4);
    const SimOptions options{.register_11 = static_cast<std::uint32_t>(random()),
                             .register_15 = static_cast<std::uint32_t>(random() % 64),
                             .step_limit = 1000};
    const auto ran = simulate(bytes, code_address, kRows, kRuntime, options);
    if (ran) {
      EXPECT_LE(ran->steps, options.step_limit);
    }
    const auto listing = disassemble(bytes, code_address, kRuntime, kRows);
    if (listing) {
      EXPECT_EQ(listing->size(), bytes.size() / 4);
    }
    if (bytes.size() % 4 != 0) {
      EXPECT_THAT(ran, FailsWith(SimError{SimError::TruncatedImage{bytes.size()}}));
    }
  }
}

struct FaultCase {
  std::string name;
  std::expected<Run, SimError> run;
  SimError error;
};

TEST(Simulate, ReportsEveryFaultOfTheCodeAsAnError) {
  const FaultCase cases[] = {
      {"truncated image", simulate(std::vector<std::uint8_t>{1, 2, 3, 4, 5}, 0x52000, kRows, kRuntime),
       SimError::TruncatedImage{5}},
      {"image past the address space", simulate(image_of({0x43000000, 0x43000000}), 0xFFFFFFFC, kRows, kRuntime),
       SimError::ImageOutOfRange{0xFFFFFFFC, 8}},
      {"empty image", run({}), SimError::InvalidTarget{0x52000, 0x52000}},
      {"undecodable word", run({0x19000001, 0x13080000}),
       SimError::Undecodable{0x52004, 0x13080000, vorn_exchange::DecodeError::StrayBits{"brz", 0x80000}}},
      {"call of an unknown address", run({0x18A26664}), SimError::InvalidTarget{0x52000, 0x99990}},
      {"jump into a kernel", run({0x19051000, 0x43000000}), SimError::InvalidTarget{0x52004, 0x51000}},
      {"jump into a row", run({0x19060000, 0x43000000}), SimError::InvalidTarget{0x52004, 0x60000}},
      {"unaligned jump into the code", run({0x19052002, 0x43000000}), SimError::InvalidTarget{0x52004, 0x52002}},
      {"branch out of the code", run({0x19000000, 0x13000000}), SimError::InvalidTarget{0x52004, 0}},
      {"running past the last word", run({0x19000000}), SimError::InvalidTarget{0x52000, 0x52004}},
      {"returning past the last word", run({0x18A14400}), SimError::InvalidTarget{0x52000, 0x52004}},
      {"a register relied on across a call", run({0x19050004, 0x18A14400, 0x43000000}),
       SimError::InvalidTarget{0x52008, kClobbered}},
      {"unaligned load", run({0x01B0F000}, {.register_11 = 0x1002}), SimError::UnalignedAccess{0x52000, 0x1002}},
      {"load of a word never stored: base + delta + 4 x offset",
       run({0x01B0F003}, {.register_11 = 0x1000, .register_15 = 0x20}), SimError::UninitializedLoad{0x52000, 0x102c}},
      {"store into the code", run({0x4FB0F001, 0x43000000}, {.register_11 = 0x52000, .register_15 = 0}),
       SimError::StoreIntoCode{0x52000, 0x52004}},
      {"endless loop", run({0x19052000, 0x43000000}, {.step_limit = 100}), SimError::StepLimit{100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT(c.run, FailsWith(c.error));
  }
}

TEST(Simulate, LoadsWhatWasStoredAndReadsTheImageAsData) {
  // st32 r0 -> [r11 + r15 + 4], ld32 r2 <- same, ld32 r3 <- first word of the image, gemm(r2, r3).
  const auto stored =
      run({0x19012345, 0x4FB0F001, 0x01B2F001, 0x19152000, 0x01134000, 0x18A14400, 0x19050004, 0x43000000},
          {.register_11 = 0x2000, .register_15 = 0x10});
  EXPECT_THAT(stored, Traces(Trace{Call{"gemm", {0x12345, 0x19012345}}, kComplete}));
}

TEST(TraceEvent, TextFormReadsLikeTheCallItRecords) {
  EXPECT_EQ(to_string(Call{"gemm", {0x70000, 0x40}}), "call gemm(0x70000, 0x40)");
  EXPECT_EQ(to_string(Call{"vornkit_static_worker_barrier", {}}), "call vornkit_static_worker_barrier()");
  EXPECT_EQ(to_string(Row{0x60000}), "row 0x60000");
  EXPECT_EQ(to_string(Put{0xA7, 0}), "put 0xa7, 0x0");
  EXPECT_EQ(to_string(kPrefix), "exchange prefix");
  EXPECT_EQ(to_string(kComplete), "complete");
  EXPECT_EQ(to_string(SimError::InvalidTarget{0x52010, 0x99990}),
            "InvalidTarget { address: 0x52010, target: 0x99990 }");
  EXPECT_EQ(to_string(SimError::Undecodable{0x52004, 0x13080000, vorn_exchange::DecodeError::UnknownOpcode{0x41}}),
            "Undecodable { address: 0x52004, word: 0x13080000, error: UnknownOpcode(0x41) }");
  EXPECT_EQ(to_string(SimError::StepLimit{100}), "StepLimit(100)");
}

}  // namespace
}  // namespace vorn_sim
