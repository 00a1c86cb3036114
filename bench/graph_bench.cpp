// Graph building: time per operation and memory held per operation, for the workload of
// graph_workload.hpp at 10,000 and 1,000,000 operations.
//
// Memory is measured by counting every byte requested through the global operator new and not yet
// released (allocator overhead not included): the bytes held by the finished graph are the count
// after building minus the count before. Allocations (calls of operator new while building, however
// short-lived) are counted too: unlike times, they do not vary with the machine's load.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "graph_workload.hpp"

namespace {

std::size_t live_bytes = 0;  // the benchmark is single-threaded
std::size_t allocations = 0;

// Each block carries its size in a header of one max-aligned slot.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* counted_allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  live_bytes += size;
  ++allocations;
  return static_cast<char*>(block) + kHeader;
}

void counted_release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  live_bytes -= *static_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return counted_allocate(size); }
void* operator new[](std::size_t size) { return counted_allocate(size); }
void operator delete(void* pointer) noexcept { counted_release(pointer); }
void operator delete[](void* pointer) noexcept { counted_release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { counted_release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { counted_release(pointer); }

namespace {

using vorn_codegen::graph::build_workload_graph;
using vorn_codegen::graph::ComputeGraph;
using vorn_codegen::graph::WorkloadRepeats;

void BuildWorkloadGraph(benchmark::State& state) {
  const auto operations = static_cast<std::size_t>(state.range(0));
  const auto repeats = state.range(1) != 0 ? WorkloadRepeats::Included : WorkloadRepeats::Excluded;
  std::size_t held = 0;
  std::size_t top_level = 0;
  std::size_t allocated = 0;
  for (auto _ : state) {
    const std::size_t before = live_bytes;
    const std::size_t allocations_before = allocations;
    std::optional<ComputeGraph> graph = build_workload_graph(operations, repeats);
    benchmark::DoNotOptimize(graph);
    state.PauseTiming();  // tearing the graph down is not building it
    held = live_bytes - before;
    allocated = allocations - allocations_before;
    top_level = graph->operations().size();
    graph.reset();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  state.counters["time_per_op"] =
      Counter(static_cast<double>(operations), Counter::kIsIterationInvariantRate | Counter::kInvert);
  state.counters["bytes_per_op"] = static_cast<double>(held) / static_cast<double>(operations);
  state.counters["allocations_per_op"] = static_cast<double>(allocated) / static_cast<double>(operations);
  state.counters["bytes_per_top_level_op"] = static_cast<double>(held) / static_cast<double>(top_level);
}

// Arguments: operations, and whether the graph holds repeats (1) or is the plain chain graph (0).
BENCHMARK(BuildWorkloadGraph)
    ->ArgNames({"operations", "repeats"})
    ->ArgsProduct({{10'000, 1'000'000}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    // On a shared machine the fastest repetition is the least disturbed one.
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });

}  // namespace

BENCHMARK_MAIN();
