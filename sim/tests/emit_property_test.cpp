// Every emission, run on the simulator, makes exactly the calls its program asks for.
//
// A seeded generator builds random valid programs; a small model, written from the calling
// contract alone, derives from each program the trace it calls for; the test emits the program,
// simulates the image and compares the two traces.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/codegen/emit.hpp"
#include "vorn/detail/text.hpp"
#include "vorn/sim.hpp"

namespace vorn_sim {
namespace {

using vorn_codegen::CodegenOptions;
using vorn_codegen::ComputeStep;
using vorn_codegen::ExchangeStep;
using vorn_codegen::HostPhase;
using vorn_codegen::HostProgram;
using vorn_codegen::StepProfile;
using vorn_codegen::TileProgram;
using vorn_codegen::TileStep;

constexpr std::uint32_t kInactive = 0x40c00000;
constexpr std::uint32_t kCallReach = 0x200000;  // call and brz targets lie below this

// One random program with everything it runs with.
struct Case {
  TileProgram program;
  SymbolTable symbols;
  HostProgram host;
  CodegenOptions options;
  SimOptions machine;
};

// ---- The model: the trace a program calls for. ----

Trace expected_trace(const Case& c) {
  Trace trace;
  const auto call = [&](std::string name, std::vector<std::uint32_t> arguments) {
    trace.emplace_back(TraceEvent::Call{std::move(name), std::move(arguments)});
  };
  const auto sample = [&](std::optional<std::uint32_t> address) {
    if (address) call("vornkit_static_sample_cycle", {*address});
  };
  // Active phases run together while they share the first one's address, inactive ones whatever
  // their address; each run is one call with the run's length and its first phase's values.
  const auto phases = [&](const std::vector<HostPhase>& list) {
    for (std::size_t start = 0, end = 0; start < list.size(); start = end) {
      const HostPhase& first = list[start];
      end = start + 1;
      while (end < list.size() && list[end].active == first.active &&
             (!first.active || list[end].address == first.address)) {
        ++end;
      }
      const auto length = static_cast<std::uint32_t>(end - start);
      if (first.active) {
        call("vornkit_static_host_run", {length, *first.run_table, first.address});
      } else {
        call("vornkit_static_repeat_call", {length, first.address});
      }
    }
  };
  const auto is_active = [](const TileStep& step) {
    const auto* exchange = std::get_if<ExchangeStep>(&step.alternative);
    return exchange != nullptr && exchange->row.front() != kInactive;
  };
  const bool exchanging = std::ranges::any_of(c.program.steps, is_active);

  phases(c.host.initialize);
  for (std::uint32_t invocation = 0; invocation < c.options.invocations; ++invocation) {
    phases(c.host.inputs);
    if (exchanging) {
      trace.emplace_back(TraceEvent::Put{0xa7, c.machine.register_15});
      trace.emplace_back(TraceEvent::Put{0xa4, c.machine.register_15});
      trace.emplace_back(TraceEvent::Put{0xa6, 1});
    }
    sample(c.options.initial_profile_address);
    for (const TileStep& step : c.program.steps) {
      if (const auto* exchange = std::get_if<ExchangeStep>(&step.alternative)) {
        sample(exchange->profile.before);
        trace.emplace_back(TraceEvent::ExchangePrefix{});
        if (is_active(step)) call("vornkit_static_worker_barrier", {});
        trace.emplace_back(TraceEvent::Row{exchange->address});
        sample(exchange->profile.after);
      } else {
        const auto& compute = std::get<ComputeStep>(step.alternative);
        sample(compute.profile.before);
        std::vector<std::uint32_t> registers{compute.output_address};
        registers.insert(registers.end(), compute.input_addresses.begin(), compute.input_addresses.end());
        registers.insert(registers.end(), compute.arguments.begin(), compute.arguments.end());
        call(compute.symbol, registers);
        sample(compute.profile.after);
      }
    }
    sample(c.options.final_profile_address);
    phases(c.host.outputs);
  }
  trace.emplace_back(TraceEvent::Complete{});
  return trace;
}

// ---- The generator. ----

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  Case next() {
    Case c;
    c.options.invocations = uniform(1, 5);
    c.host = {phase_list(), phase_list(), phase_list()};
    const std::size_t steps = uniform(0, 6);
    for (std::size_t i = 0; i < steps; ++i) c.program.steps.push_back(chance(2) ? exchange_step() : compute_step());
    c.program.tile = static_cast<std::uint16_t>(uniform(0, 0xFFFF));
    if (chance(2)) c.options.initial_profile_address = value();
    if (chance(2)) c.options.final_profile_address = value();

    // The code goes anywhere it fits: below the branch reach when the loop's exit branch must
    // reach past it, else anywhere below 2^32; often right at either end of that range.
    const std::uint64_t size = size_bound(c);
    const std::uint64_t top = (c.options.invocations > 1 ? kCallReach : std::uint64_t{1} << 32) - size;
    const auto pick = uniform(0, 3);
    const std::uint64_t code = pick == 0 ? 0 : pick == 1 ? top : uniform64(0, top);
    c.options.code_address = static_cast<std::uint32_t>(code & ~std::uint64_t{3});
    const std::uint64_t code_end = c.options.code_address + size;

    // Routines, kernels and rows at distinct word addresses within call reach, clear of the code.
    std::set<std::uint32_t> taken;
    const auto place = [&]() {
      while (true) {
        const auto address = static_cast<std::uint32_t>(uniform(0, kCallReach / 4 - 1) * 4);
        if (address + 16 > c.options.code_address && address < code_end + 16) continue;
        if (taken.insert(address).second) return address;
      }
    };
    for (const char* routine : {"vornkit_static_complete", "vornkit_static_worker_barrier", "vornkit_static_host_run",
                                "vornkit_static_repeat_call", "vornkit_static_sample_cycle"}) {
      c.symbols[routine] = place();
    }
    for (const auto& name : kKernels) c.symbols[name] = place();
    for (auto& step : c.program.steps) {
      if (auto* exchange = std::get_if<ExchangeStep>(&step.alternative)) exchange->address = place();
    }

    // The counter slot (8 bytes below r11, plus r15) stays clear of the code.
    c.machine.register_15 = uniform(0, 16) * 4;
    c.machine.register_11 = c.options.code_address >= 0x1000 ? c.options.code_address - 0x100
                                                             : static_cast<std::uint32_t>(code_end + 0x100);
    return c;
  }

 private:
  static constexpr const char* kKernels[] = {"gemm", "add", "flash_attention"};

  std::uint32_t uniform(std::uint32_t low, std::uint32_t high) {
    return std::uniform_int_distribution<std::uint32_t>(low, high)(random_);
  }
  std::uint64_t uniform64(std::uint64_t low, std::uint64_t high) {
    return std::uniform_int_distribution<std::uint64_t>(low, high)(random_);
  }
  bool chance(std::uint32_t one_in) { return uniform(1, one_in) == 1; }

  // Values on both sides of 0x100000, where a load takes one word or three, and at the edges.
  std::uint32_t value() {
    switch (uniform(0, 3)) {
      case 0:
        return uniform(0, 0xFFFFF);
      case 1:
        return uniform(0, 1) == 0 ? 0xFFFFF : 0x100000;
      case 2:
        return uniform(0x100000, 0xFFFFFFFF);
      default:
        return uniform(0, 1) == 0 ? 0 : 0xFFFFFFFF;
    }
  }

  std::optional<std::uint32_t> maybe_value() { return chance(3) ? std::optional(value()) : std::nullopt; }

  StepProfile profile() { return {maybe_value(), maybe_value()}; }

  // Phases of both kinds over a few addresses, so that runs form; the first phase of every active
  // run has its run table, later ones sometimes not.
  std::vector<HostPhase> phase_list() {
    std::vector<HostPhase> list(uniform(0, 4));
    const std::uint32_t addresses[] = {value(), value()};
    for (std::size_t i = 0; i < list.size(); ++i) {
      auto& phase = list[i];
      phase.active = chance(2);
      phase.address = addresses[uniform(0, 1)];
      const bool continues_run = i > 0 && phase.active && list[i - 1].active && list[i - 1].address == phase.address;
      if (phase.active && (!continues_run || chance(2))) phase.run_table = value();
    }
    return list;
  }

  TileStep exchange_step() {
    ExchangeStep step;
    step.row.resize(9);
    for (auto& word : step.row) word = value();
    if (chance(2)) step.row.front() = kInactive;
    step.profile = profile();
    return step;
  }

  TileStep compute_step() {
    ComputeStep step;
    step.symbol = kKernels[uniform(0, 2)];
    step.output_address = value();
    const std::uint32_t values = uniform(1, 7);
    const std::uint32_t inputs = uniform(1, values);
    for (std::uint32_t i = 0; i < values; ++i) (i < inputs ? step.input_addresses : step.arguments).push_back(value());
    step.profile = profile();
    return step;
  }

  // At most how many bytes the code of `c` takes: every value load 3 words, every jump 4.
  static std::uint64_t size_bound(const Case& c) {
    std::uint64_t words = 64;  // loop, exchange setup, initial and final samples, last jump
    for (const auto* list : {&c.host.initialize, &c.host.inputs, &c.host.outputs}) words += 10 * list->size();
    words += (8 + 25) * c.program.steps.size();  // two samples and the largest step each
    return 4 * words;
  }

  std::mt19937 random_;
};

// ---- The property. ----

TEST(EmitProperty, EverySimulatedEmissionMakesExactlyTheCallsItsProgramCallsFor) {
  Generator generator(20261211);
  for (int i = 0; i < 3000; ++i) {
    const Case c = generator.next();
    SCOPED_TRACE("program " + std::to_string(i) + " at code address " + vorn::detail::hex(c.options.code_address));
    const auto generated = vorn_codegen::emit(c.program, c.symbols, c.host, c.options);
    ASSERT_TRUE(generated.has_value()) << "emit failed: " << generated.error();
    // One placed row per exchange step, active or not, in step order, its words unchanged.
    std::vector<vorn_codegen::PlacedExchangeRow> rows;
    for (const TileStep& step : c.program.steps) {
      if (const auto* exchange = std::get_if<ExchangeStep>(&step.alternative)) {
        rows.push_back({exchange->address, exchange->row});
      }
    }
    ASSERT_EQ(generated->exchange_rows, rows);
    const auto run = simulate(*generated, c.options.code_address, c.symbols, c.machine);
    const Trace expected = expected_trace(c);
    // The code releases the counter slot it reserved: r11 and r15 end as they began.
    if (run.has_value() && run->trace == expected && run->registers[11] == c.machine.register_11 &&
        run->registers[15] == c.machine.register_15) {
      continue;
    }

    std::string listing;
    if (const auto lines = disassemble(*generated, c.options.code_address, c.symbols)) {
      for (const auto& line : *lines) listing += line + "\n";
    }
    if (!run.has_value()) FAIL() << "the simulation failed with " << run.error() << "\n" << listing;
    EXPECT_EQ(run->registers[11], c.machine.register_11) << "r11 at completion\n" << listing;
    EXPECT_EQ(run->registers[15], c.machine.register_15) << "r15 at completion\n" << listing;
    if (run->trace == expected) return;
    const auto [simulated, wanted] = std::ranges::mismatch(run->trace, expected);
    const auto describe = [](const Trace& trace, Trace::const_iterator event) {
      return event == trace.end() ? std::string("the end of the trace") : to_string(*event);
    };
    FAIL() << "event " << simulated - run->trace.begin() << " of the run is " << describe(run->trace, simulated)
           << ", the program calls for " << describe(expected, wanted) << "\n"
           << listing;
  }
}

}  // namespace
}  // namespace vorn_sim
