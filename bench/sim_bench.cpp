// Decoding, listing and simulating generated code.
#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "vorn/codegen/emit.hpp"
#include "vorn/exchange.hpp"
#include "vorn/sim.hpp"

namespace {

const vorn_codegen::SymbolTable kSymbols{
    {"vornkit_static_worker_barrier", 0x50000}, {"vornkit_static_complete", 0x50004},
    {"vornkit_static_host_run", 0x50008},       {"vornkit_static_repeat_call", 0x5000c},
    {"vornkit_static_sample_cycle", 0x50010},   {"gemm", 0x51000},
};

// 32 steps, alternately an active exchange and a gemm with four operands (one above 0x100000),
// every step sampled, run `invocations` times.
vorn_codegen::GeneratedProgram typical_program(std::uint32_t invocations) {
  vorn_codegen::TileProgram program{3, {}};
  for (std::uint32_t i = 0; i < 16; ++i) {
    program.steps.push_back(
        vorn_codegen::ExchangeStep{0x60000 + 64 * i, std::vector<std::uint32_t>(9, i), {0x80000 + 8 * i, {}}});
    program.steps.push_back(vorn_codegen::ComputeStep{
        "gemm", 0x70000, {0x71000, 0x172000}, {16, 64}, {std::nullopt, 0x80004 + 8 * i}});
  }
  const vorn_codegen::HostProgram host{{}, {{0x90000, true, 0x91000}}, {{0x92000, false, {}}}};
  auto generated = vorn_codegen::emit(program, kSymbols, host, {.code_address = 0x52000, .invocations = invocations});
  return generated ? *generated : vorn_codegen::GeneratedProgram{};
}

void BM_Decode(benchmark::State& state) {
  std::mt19937 random(1);
  std::vector<std::uint32_t> words(4096);
  for (auto& word : words) word = static_cast<std::uint32_t>(random());
  for (auto _ : state) {
    for (const auto word : words) benchmark::DoNotOptimize(vorn_exchange::decode(word));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(words.size()));
}
BENCHMARK(BM_Decode);

void BM_Disassemble(benchmark::State& state) {
  const auto program = typical_program(1);
  for (auto _ : state) benchmark::DoNotOptimize(vorn_sim::disassemble(program, 0x52000, kSymbols));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(program.bytes.size() / 4));
  state.counters["words"] = static_cast<double>(program.bytes.size() / 4);
}
BENCHMARK(BM_Disassemble);

void BM_Simulate(benchmark::State& state) {
  const auto program = typical_program(static_cast<std::uint32_t>(state.range(0)));
  std::uint64_t steps = 0;
  for (auto _ : state) {
    const auto run = vorn_sim::simulate(program, 0x52000, kSymbols);
    if (!run) state.SkipWithError("simulation failed");
    steps = run ? run->steps : 0;
    benchmark::DoNotOptimize(run);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(steps));
  state.counters["instructions"] = static_cast<double>(steps);
}
BENCHMARK(BM_Simulate)->Arg(1)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
