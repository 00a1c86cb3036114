// Lowers two small compute graphs with the toy cost model and prints what lowering chose: every
// value with its shape, precision and layout, every operation with its operands, results and
// estimated cost (loop bodies indented), and the total.
#include <cstdio>
#include <cstdlib>
#include <expected>
#include <string>
#include <vector>

#include "vorn/codegen/graph.hpp"
#include "vorn/codegen/mid.hpp"

namespace {

using vorn_codegen::graph::ComputeGraph;
using vorn_codegen::graph::GraphError;
using vorn_codegen::graph::ValueId;
namespace mid = vorn_codegen::mid;

template <class T>
T must(std::expected<T, GraphError> result) {
  if (!result) {
    std::fprintf(stderr, "graph building failed: %s\n", to_string(result.error()).c_str());
    std::exit(1);
  }
  return *std::move(result);
}

void must(std::expected<void, GraphError> result) {
  if (!result) {
    std::fprintf(stderr, "graph building failed: %s\n", to_string(result.error()).c_str());
    std::exit(1);
  }
}

void print_lowering(const char* title, const ComputeGraph& graph, const mid::LoweringConfig& config) {
  const auto lowered = mid::lower(graph, config, mid::ToyCostModel{});
  std::printf("== %s\n", title);
  if (!lowered) {
    std::printf("lowering failed: %s\n\n", to_string(lowered.error()).c_str());
    return;
  }
  std::printf("%s\n", to_string(*lowered).c_str());
}

}  // namespace

int main() {
  const mid::TensorFormat f16_rows{mid::Precision::F16{}, mid::row_major(mid::Sharding::Rows, 4)};

  // A 32x64 host input times a 64x16 parameter, both F16 in row-major rows over 4 tiles.
  ComputeGraph product;
  const ValueId x = must(product.host_input("x", {32, 64}));
  const ValueId w = must(product.parameter("w", {64, 16}));
  must(product.set_outputs({must(product.gemm(x, w))}));
  print_lowering("matrix product", product, mid::LoweringConfig{4}.with_input(x, f16_rows).with_input(w, f16_rows));

  // A [16, 16] state multiplied in turn by two weights, in a loop of count 2 over their sequence;
  // the second weight is stored in F32 and is cast once, before the loop.
  ComputeGraph loop;
  const ValueId state = must(loop.host_input("state", {16, 16}));
  const ValueId first = must(loop.parameter("weight.0", {16, 16}));
  const ValueId second = must(loop.parameter("weight.1", {16, 16}));
  const auto weights = must(loop.value_sequence("weights", {first, second}));
  const auto results = must(loop.repeat(
      2, {state}, {}, {weights},
      [](vorn_codegen::graph::RegionBuilder& body,
         const vorn_codegen::graph::RepeatArguments& arguments) -> std::expected<std::vector<ValueId>, GraphError> {
        const auto next = body.gemm(arguments.carried[0], arguments.iterated[0]);
        if (!next) return std::unexpected(next.error());
        return std::vector{*next};
      }));
  must(loop.set_outputs(results));
  const mid::TensorFormat f32_rows{mid::Precision::F32{}, mid::row_major(mid::Sharding::Rows, 4)};
  print_lowering(
      "loop of count 2", loop,
      mid::LoweringConfig{4}.with_input(state, f16_rows).with_input(first, f16_rows).with_input(second, f32_rows));
  return 0;
}
