// Emission speed against a baseline that writes the same words with no checks and no lookups.
//
// Programs: a deterministic mix of active and inactive exchange steps and kernel calls with 1 to
// 7 operands, some values of 0x100000 and above (three words to load), cycle samples on some
// steps, host phases of both kinds, the five runtime routines and 32 kernels in the table.
// The 10,000-step program runs 3 invocations. A 1,000,000-step program makes several million
// words, so its loop exit would lie past the 2 MiB reach of a conditional branch and emit()
// rightly rejects it with "brz operand"; at that size the program runs once (no loop).
//
// Setup checks that the baseline's image equals emit()'s byte for byte and stops the benchmark
// otherwise, so both sides are timed producing the same result.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "vorn/codegen/emit.hpp"

namespace {

using namespace vorn_codegen;

constexpr int kKernels = 32;

std::string kernel_name(int index) { return "kernel_" + std::to_string(index); }

// A small deterministic generator, so every run emits the same programs.
class Random {
 public:
  std::uint32_t next(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % bound;
  }

 private:
  std::uint64_t state_ = 0x2545F4914F6CDD1Dull;
};

struct Workload {
  TileProgram program;
  SymbolTable symbols;
  HostProgram host;
  CodegenOptions options;
};

Workload make_workload(std::size_t steps) {
  Workload w;
  w.symbols = {{"vornkit_static_worker_barrier", 0x50000},
               {"vornkit_static_complete", 0x50004},
               {"vornkit_static_host_run", 0x50008},
               {"vornkit_static_repeat_call", 0x5000c},
               {"vornkit_static_sample_cycle", 0x50010}};
  for (int k = 0; k < kKernels; ++k) w.symbols.emplace(kernel_name(k), 0x51000 + 0x100 * static_cast<std::uint32_t>(k));
  w.host = {.initialize = {{0x90000, true, 0x91000}, {0x92000, false, std::nullopt}},
            .inputs = {{0x93000, true, 0x94000}, {0x93000, true, 0x94000}, {0x95000, false, std::nullopt}},
            .outputs = {{0x96000, false, std::nullopt}, {0x97000, true, 0x98000}}};
  w.options = {.code_address = 0x20000,
               .invocations = steps <= 100000 ? 3u : 1u,
               .initial_profile_address = 0x80000,
               .final_profile_address = 0x80004};

  Random random;
  // One value in five needs the three-word load.
  const auto value = [&] { return random.next(5) == 0 ? 0x100000 + random.next(0x1000000) : random.next(0x100000); };
  const auto profile = [&] {
    StepProfile p;
    if (random.next(10) == 0) p.before = 0x80008;
    if (random.next(10) == 0) p.after = 0x8000c;
    return p;
  };
  w.program.tile = 7;
  w.program.steps.reserve(steps);
  for (std::size_t i = 0; i < steps; ++i) {
    if (random.next(3) == 0) {
      std::vector<std::uint32_t> row(EXCHANGE_ROW_WORDS, static_cast<std::uint32_t>(i));
      row.front() = random.next(2) == 0 ? INACTIVE_EXCHANGE_WORD : 0x40800000;
      w.program.steps.push_back(ExchangeStep{0x100000 + 4 * random.next(0x40000), std::move(row), profile()});
      continue;
    }
    const std::uint32_t operands = 1 + random.next(7);
    const std::uint32_t inputs = 1 + random.next(operands);
    ComputeStep compute{kernel_name(static_cast<int>(random.next(kKernels))), value(), {}, {}, profile()};
    for (std::uint32_t n = 0; n < inputs; ++n) compute.input_addresses.push_back(value());
    for (std::uint32_t n = inputs; n < operands; ++n) compute.arguments.push_back(value());
    w.program.steps.push_back(std::move(compute));
  }
  return w;
}

const Workload& workload(std::size_t steps) {
  static std::map<std::size_t, Workload> cache;
  auto found = cache.find(steps);
  if (found == cache.end()) found = cache.emplace(steps, make_workload(steps)).first;
  return found->second;
}

// ---- Baseline: the same layout written straight into a word vector, then serialised. ----

struct Resolved {
  std::uint32_t complete, barrier, host_run, repeat_call, sample_cycle;
  std::vector<std::uint32_t> kernels;  // per step; 0 for exchange steps
};

Resolved resolve(const Workload& w) {
  Resolved r{w.symbols.at("vornkit_static_complete"),     w.symbols.at("vornkit_static_worker_barrier"),
             w.symbols.at("vornkit_static_host_run"),     w.symbols.at("vornkit_static_repeat_call"),
             w.symbols.at("vornkit_static_sample_cycle"), {}};
  for (const TileStep& step : w.program.steps) {
    const auto* compute = std::get_if<ComputeStep>(&step.alternative);
    r.kernels.push_back(compute != nullptr ? w.symbols.find(compute->symbol)->second : 0);
  }
  return r;
}

class Baseline {
 public:
  Baseline(const Workload& w, const Resolved& r) : w_(w), r_(r) {}

  std::vector<std::uint8_t> run() {
    words_.reserve(w_.program.steps.size() * 4 + 16);  // the same first guess as emit()
    const bool looping = w_.options.invocations > 1;
    phases(w_.host.initialize);
    if (looping) {
      words_.push_back(0x22BBFFF8);
      setzi(0, w_.options.invocations);
      words_.push_back(0x4FB0F000);
    }
    const std::uint32_t start = address();
    phases(w_.host.inputs);
    bool exchanging = false;
    for (const TileStep& step : w_.program.steps) exchanging = exchanging || active_exchange(step);
    if (exchanging) words_.insert(words_.end(), {0x43F080A7, 0x43F080A4, 0x19800001, 0x438080A6});
    sample(w_.options.initial_profile_address);
    for (std::size_t i = 0; i < w_.program.steps.size(); ++i) {
      if (const auto* exchange = std::get_if<ExchangeStep>(&w_.program.steps[i].alternative)) {
        sample(exchange->profile.before);
        words_.push_back(EXCHANGE_PREFIX_WORD);
        if (exchange->row.front() != INACTIVE_EXCHANGE_WORD) call(r_.barrier, 7);
        call(exchange->address, 10);
        sample(exchange->profile.after);
      } else {
        const auto& compute = std::get<ComputeStep>(w_.program.steps[i].alternative);
        sample(compute.profile.before);
        setzi(2, compute.output_address);
        std::uint32_t reg = 3;
        for (const std::uint32_t v : compute.input_addresses) setzi(reg++, v);
        for (const std::uint32_t v : compute.arguments) setzi(reg++, v);
        call(r_.kernels[i], 10);
        sample(compute.profile.after);
      }
    }
    sample(w_.options.final_profile_address);
    phases(w_.host.outputs);
    if (looping) {
      words_.insert(words_.end(), {0x01B0F000, 0x2200FFFF, 0x4FB0F000});
      const std::size_t branch = words_.size();
      words_.push_back(0);
      jump(start);
      words_[branch] = 0x13000000 | address() / 4;
      words_.push_back(0x22BB0008);
    }
    jump(r_.complete);

    std::vector<std::uint8_t> bytes(words_.size() * 4);
    std::uint8_t* out = bytes.data();
    for (const std::uint32_t word : words_) {
      for (int shift = 0; shift < 32; shift += 8) *out++ = static_cast<std::uint8_t>(word >> shift);
    }
    return bytes;
  }

 private:
  std::uint32_t address() const { return w_.options.code_address + 4 * static_cast<std::uint32_t>(words_.size()); }

  void setzi(std::uint32_t reg, std::uint32_t value) {
    if (value < 0x100000) {
      words_.push_back(0x19000000 | reg << 20 | value);
    } else {
      words_.push_back(0x19000000 | reg << 20 | value >> 12);
      words_.push_back(0x4200A000 | reg << 20 | reg << 16 | 12);
      words_.push_back(0x22000000 | reg << 20 | reg << 16 | (value & 0xFFF));
    }
  }
  void call(std::uint32_t target, std::uint32_t ret) { words_.push_back(0x18000000 | ret << 20 | target / 4); }
  void jump(std::uint32_t target) {
    setzi(0, target);
    words_.push_back(0x43000000);
  }
  void sample(std::optional<std::uint32_t> at) {
    if (!at) return;
    setzi(2, *at);
    call(r_.sample_cycle, 10);
  }
  void phases(const std::vector<HostPhase>& list) {
    for (std::size_t start = 0, end = 0; start < list.size(); start = end) {
      const HostPhase& first = list[start];
      for (end = start + 1; end < list.size() && list[end].active == first.active &&
                            (!first.active || list[end].address == first.address);
           ++end) {
      }
      setzi(2, static_cast<std::uint32_t>(end - start));
      if (first.active) {
        setzi(3, *first.run_table);
        setzi(4, first.address);
        call(r_.host_run, 9);
      } else {
        setzi(3, first.address);
        call(r_.repeat_call, 9);
      }
    }
  }

  const Workload& w_;
  const Resolved& r_;
  std::vector<std::uint32_t> words_;
};

void report(benchmark::State& state, std::size_t bytes) {
  const double words = static_cast<double>(bytes / 4) * static_cast<double>(state.iterations());
  state.counters["words"] = static_cast<double>(bytes / 4);
  state.counters["time/word"] = benchmark::Counter(words, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["words/s"] = benchmark::Counter(words, benchmark::Counter::kIsRate);
}

void BM_Emit(benchmark::State& state) {
  const Workload& w = workload(static_cast<std::size_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto generated = emit(w.program, w.symbols, w.host, w.options);
    if (!generated) {
      state.SkipWithError(to_string(generated.error()).c_str());
      return;
    }
    bytes = generated->bytes.size();
    benchmark::DoNotOptimize(generated);
  }
  report(state, bytes);
}

void BM_Baseline(benchmark::State& state) {
  const Workload& w = workload(static_cast<std::size_t>(state.range(0)));
  const Resolved resolved = resolve(w);
  const auto expected = emit(w.program, w.symbols, w.host, w.options);
  if (!expected || Baseline(w, resolved).run() != expected->bytes) {
    state.SkipWithError("the baseline's image differs from emit()'s");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto image = Baseline(w, resolved).run();
    bytes = image.size();
    benchmark::DoNotOptimize(image);
  }
  report(state, bytes);
}

BENCHMARK(BM_Emit)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Baseline)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
