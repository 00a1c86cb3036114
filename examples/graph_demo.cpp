// Builds two small graphs and prints them: a product of a host input and a parameter, and a
// counted loop that multiplies a state by each weight of a sequence in turn.
#include <cstdio>
#include <string>
#include <vector>

#include <vorn/codegen/graph.hpp>

namespace graph = vorn_codegen::graph;

namespace {

int fail(const graph::GraphError& error) {
  std::printf("graph building failed: %s\n", to_string(error).c_str());
  return 1;
}

}  // namespace

int main() {
  graph::ComputeGraph product;
  const auto x = product.host_input("x", {32, 64});
  const auto w = product.parameter("w", {64, 16});
  if (!x || !w) return fail(x ? w.error() : x.error());
  const auto y = product.gemm(*x, *w);
  if (!y) return fail(y.error());
  if (auto set = product.set_outputs({*y}); !set) return fail(set.error());
  std::printf("A product:\n%s\n", to_string(product).c_str());

  graph::ComputeGraph loop;
  const auto state = loop.host_input("state", {16, 16});
  if (!state) return fail(state.error());
  std::vector<graph::ValueId> weights;
  for (int i = 0; i < 2; ++i) {
    const auto weight = loop.parameter("weight." + std::to_string(i), {16, 16});
    if (!weight) return fail(weight.error());
    weights.push_back(*weight);
  }
  const auto sequence = loop.value_sequence("weights", weights);
  if (!sequence) return fail(sequence.error());
  const auto results = loop.repeat(
      2, {*state}, {}, {*sequence},
      [](graph::RegionBuilder& body,
         const graph::RepeatArguments& arguments) -> std::expected<std::vector<graph::ValueId>, graph::GraphError> {
        const auto next = body.gemm(arguments.carried[0], arguments.iterated[0]);
        if (!next) return std::unexpected(next.error());
        return std::vector<graph::ValueId>{*next};
      });
  if (!results) return fail(results.error());
  if (auto set = loop.set_outputs(*results); !set) return fail(set.error());
  std::printf("A loop over the weights:\n%s", to_string(loop).c_str());
  return 0;
}
