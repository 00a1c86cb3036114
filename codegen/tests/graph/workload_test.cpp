#include <cstddef>
#include <variant>

#include <gtest/gtest.h>

#include "graph_workload.hpp"

namespace vorn_codegen::graph {
namespace {

std::size_t count_operations(const std::vector<Operation>& operations) {
  std::size_t count = operations.size();
  for (const Operation& operation : operations) {
    if (const auto* repeat = std::get_if<Repeat>(&operation.kind.alternative)) {
      count += count_operations(repeat->body->operations);
    }
  }
  return count;
}

TEST(Workload, HoldsExactlyTheRequestedNumberOfOperations) {
  for (const std::size_t operations : {0u, 1u, 14u, 15u, 16u, 100u, 1003u}) {
    SCOPED_TRACE(operations);
    const ComputeGraph graph = build_workload_graph(operations);
    EXPECT_EQ(count_operations(graph.operations()), operations);
    EXPECT_EQ(graph.outputs().size(), 3u);
  }
}

}  // namespace
}  // namespace vorn_codegen::graph
