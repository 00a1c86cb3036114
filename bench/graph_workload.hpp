// The benchmark workload: a graph of a given number of operations, shared by the graph-building
// and lowering benchmarks so that both measure the same graphs.
//
// Three chains, of rank 2, 3 and 4, take turns; each step appends to one chain, in this cycle:
// a gemm with a [128, 128] weight (batch extents broadcast against the missing ones), an add of a
// [128] bias (broadcast), a Gelu, an attention over a key and value of 256 entries whose batch
// extents are 1 (broadcast), and a repeat of 8 iterations over the sequence "layers" of 8
// [128, 128] weights, carrying the chain, with the bias invariant and a body of 4 operations
// (gemm with the layer weight, add bias, Gelu, add the carried value). The chain heads are the
// outputs.
//
// `operations` counts every operation, body operations included (a repeat counts 5); the graph
// holds exactly that many. With WorkloadRepeats::Excluded the cycle's repeat step is a Gelu, which
// leaves the plain chain graph. The graph inputs (graph.inputs(): host inputs and parameters, all of
// rank 1 to 4) are what a lowering configures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <stdexcept>
#include <string>
#include <vector>

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::graph {

namespace workload_detail {

template <class T>
T must(std::expected<T, GraphError> result) {
  if (!result) throw std::logic_error("workload graph rejected: " + to_string(result.error()));
  return *std::move(result);
}

struct Chain {
  ValueId head;
  ValueId weight;
  ValueId bias;
  ValueId key;
  ValueId value;
};

inline std::expected<std::vector<ValueId>, GraphError> layer_body(RegionBuilder& body,
                                                                  const RepeatArguments& arguments) {
  const ValueId carried = arguments.carried[0];
  auto product = body.gemm(carried, arguments.iterated[0]);
  if (!product) return std::unexpected(product.error());
  auto biased = body.inferred_result(OperationKind::Add{}, {*product, arguments.invariants[0]});
  if (!biased) return std::unexpected(biased.error());
  auto activated = body.inferred_result(OperationKind::Gelu{}, {*biased});
  if (!activated) return std::unexpected(activated.error());
  auto residual = body.inferred_result(OperationKind::Add{}, {*activated, carried});
  if (!residual) return std::unexpected(residual.error());
  return std::vector<ValueId>{*residual};
}

}  // namespace workload_detail

inline constexpr std::size_t kWorkloadRepeatOperations = 5;  // the repeat and its 4 body operations
inline constexpr std::uint32_t kWorkloadLayers = 8;

enum class WorkloadRepeats : std::uint8_t { Included, Excluded };

inline ComputeGraph build_workload_graph(std::size_t operations, WorkloadRepeats repeats = WorkloadRepeats::Included) {
  using workload_detail::must;
  ComputeGraph graph;
  const std::array<std::vector<std::uint32_t>, 3> batches{{{}, {4}, {2, 4}}};
  std::vector<workload_detail::Chain> chains;
  for (const auto& batch : batches) {
    const std::string rank = std::to_string(batch.size() + 2);
    std::vector<std::uint32_t> activations = batch;  // [batch..., 64, 128]
    activations.insert(activations.end(), {64, 128});
    std::vector<std::uint32_t> keys(batch.size(), 1);  // [1..., 256, 128]
    keys.insert(keys.end(), {256, 128});
    chains.push_back({must(graph.host_input("x" + rank, activations)), must(graph.parameter("w" + rank, {128, 128})),
                      must(graph.parameter("bias" + rank, {128})), must(graph.host_input("k" + rank, keys)),
                      must(graph.host_input("v" + rank, keys))});
  }
  std::vector<ValueId> layers;
  for (std::uint32_t i = 0; i < kWorkloadLayers; ++i) {
    layers.push_back(must(graph.parameter("layer." + std::to_string(i), {128, 128})));
  }
  const ValueSequenceId sequence = must(graph.value_sequence("layers", layers));

  std::size_t built = 0;
  for (std::size_t step = 0; built < operations; ++step) {
    workload_detail::Chain& chain = chains[step % chains.size()];
    std::size_t kind = (step / chains.size()) % 5;
    if (kind == 4 && (repeats == WorkloadRepeats::Excluded || operations - built < kWorkloadRepeatOperations)) {
      kind = 2;
    }
    switch (kind) {
      case 0:
        chain.head = must(graph.gemm(chain.head, chain.weight));
        break;
      case 1:
        chain.head = must(graph.add(chain.head, chain.bias));
        break;
      case 2:
        chain.head = must(graph.inferred_result(OperationKind::Gelu{}, {chain.head}));
        break;
      case 3:
        chain.head = must(graph.flash_attention(chain.head, chain.key, chain.value));
        break;
      default:
        chain.head =
            must(graph.repeat(kWorkloadLayers, {chain.head}, {chain.bias}, {sequence}, workload_detail::layer_body))[0];
        built += kWorkloadRepeatOperations - 1;
    }
    ++built;
  }
  std::vector<ValueId> outputs;
  for (const auto& chain : chains) outputs.push_back(chain.head);
  if (!graph.set_outputs(outputs)) throw std::logic_error("workload outputs rejected");
  return graph;
}

}  // namespace vorn_codegen::graph
