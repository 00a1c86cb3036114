// Lowering: time per graph operation, bytes of lowered graph per operation, and the ratio of
// lowering time to building time, for the workload of graph_workload.hpp at 10,000 and 1,000,000
// operations (every input in F16 row_major(Rows, 4), tile count 4, default matrix precisions).
//
// Each iteration builds the graph (timed on the side, excluded from the benchmark's time), then
// lowers it (the benchmark's time); tearing both down is excluded. `lower_over_build` divides the
// wall time of all lowerings by that of all buildings in the same run, so load on the machine
// affects both alike.
//
// Bytes are what the MidGraph holds: its records plus the buffers of its lists, by capacity
// (allocator overhead not included).
#include <chrono>
#include <cstddef>
#include <optional>

#include <benchmark/benchmark.h>

#include "graph_workload.hpp"
#include "vorn/codegen/mid.hpp"

namespace {

namespace graph = vorn_codegen::graph;
namespace mid = vorn_codegen::mid;

template <class T>
std::size_t buffer_bytes(const std::vector<T>& list) {
  return list.capacity() * sizeof(T);
}

std::size_t held_bytes(const std::vector<mid::MidOperation>& operations) {
  std::size_t bytes = buffer_bytes(operations);
  for (const mid::MidOperation& operation : operations) {
    bytes += buffer_bytes(operation.inputs) + buffer_bytes(operation.results);
    if (const auto* loop = std::get_if<mid::MidRepeat>(&operation.kind.alternative)) {
      bytes += buffer_bytes(loop->iterated_inputs) + sizeof(mid::MidRegion);
      for (const auto& sequence : loop->iterated_inputs) bytes += buffer_bytes(sequence);
      bytes += buffer_bytes(loop->body->arguments) + buffer_bytes(loop->body->yields);
      bytes += held_bytes(loop->body->operations);
    }
  }
  return bytes;
}

std::size_t held_bytes(const mid::MidGraph& lowered) {
  std::size_t bytes = sizeof(mid::MidGraph) + buffer_bytes(lowered.inputs) + buffer_bytes(lowered.values) +
                      buffer_bytes(lowered.outputs) + held_bytes(lowered.operations);
  for (const mid::MidInput& input : lowered.inputs) bytes += input.name.capacity();
  for (const mid::MidValue& value : lowered.values) bytes += buffer_bytes(value.tensor_type.shape.dimensions);
  return bytes;
}

mid::LoweringConfig workload_config(const graph::ComputeGraph& graph) {
  const mid::TensorFormat f16_rows{mid::Precision::F16{}, mid::row_major(mid::Sharding::Rows, 4)};
  mid::LoweringConfig config{4};
  for (const graph::GraphInput& input : graph.inputs()) config = std::move(config).with_input(input.value, f16_rows);
  return config;
}

using Clock = std::chrono::steady_clock;

void LowerWorkloadGraph(benchmark::State& state) {
  const auto operations = static_cast<std::size_t>(state.range(0));
  const mid::ToyCostModel model;
  Clock::duration building{};
  Clock::duration lowering{};
  std::size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto build_start = Clock::now();
    std::optional<graph::ComputeGraph> graph = graph::build_workload_graph(operations);
    building += Clock::now() - build_start;
    const mid::LoweringConfig config = workload_config(*graph);
    state.ResumeTiming();

    const auto lower_start = Clock::now();
    auto lowered = mid::lower(*graph, config, model);
    lowering += Clock::now() - lower_start;
    benchmark::DoNotOptimize(lowered);

    state.PauseTiming();  // tearing down is neither building nor lowering
    if (!lowered) {
      state.SkipWithError(to_string(lowered.error()).c_str());
      break;
    }
    bytes = held_bytes(*lowered);
    lowered = std::unexpected(mid::LoweringError::EmptyTileGroup{});
    graph.reset();
    state.ResumeTiming();
  }
  using benchmark::Counter;
  const auto per_op = [&](Clock::duration total) {
    return std::chrono::duration<double, std::nano>(total).count() /
           (static_cast<double>(state.iterations()) * static_cast<double>(operations));
  };
  state.counters["lower_ns_per_op"] = per_op(lowering);
  state.counters["build_ns_per_op"] = per_op(building);
  state.counters["lower_over_build"] = per_op(lowering) / per_op(building);
  state.counters["bytes_per_op"] = static_cast<double>(bytes) / static_cast<double>(operations);
}

BENCHMARK(LowerWorkloadGraph)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
