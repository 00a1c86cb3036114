// Validate before change, checked over long random sequences of builder calls, valid and invalid
// mixed: after every failed call the graph is exactly as before (lists, value set, shape map and
// the next identifiers), except for a repeat that failed once its body was being built, where
// only the counters moved, by the numbers the body took. After every successful call the graph
// grew by exactly what the call reports.
#include <cstdint>
#include <expected>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::graph {
namespace {

using Yields = std::expected<std::vector<ValueId>, GraphError>;

class RandomCalls {
 public:
  explicit RandomCalls(std::uint32_t seed) : random_(seed) {}

  void run(int calls) {
    for (int call = 0; call < calls; ++call) {
      SCOPED_TRACE("call " + std::to_string(call));
      step();
      if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(successes_, calls / 5);  // the mix keeps reaching both outcomes
    EXPECT_GT(failures_, calls / 5);
  }

 private:
  std::uint32_t below(std::uint32_t bound) {
    return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(random_);
  }
  bool chance(std::uint32_t percent) { return below(100) < percent; }

  // Mostly small extents so that shapes fit together often; sometimes the extremes.
  TensorShape shape() {
    const std::uint32_t extents[] = {0, 1, 1, 2, 2, 3, 4, 0xFFFFFFFF};
    std::vector<std::uint32_t> dimensions(below(5));
    for (auto& extent : dimensions) extent = extents[below(8)];
    return TensorShape(std::move(dimensions));
  }

  // A value of `scope` most of the time, otherwise any number up to a little past the counter
  // (body values of earlier repeats, numbers never handed out).
  ValueId value(const ValueSet& scope) {
    if (!scope.empty() && chance(85)) return *(scope.begin() + below(static_cast<std::uint32_t>(scope.size())));
    return ValueId{below(graph_.next_value() + 3)};
  }
  std::vector<ValueId> values(const ValueSet& scope, std::uint32_t most) {
    std::vector<ValueId> list;
    for (std::uint32_t n = below(most + 1); n > 0; --n) list.push_back(value(scope));
    return list;
  }
  OperationKind kind() {
    switch (below(5)) {
      case 0:
        return OperationKind::Gemm{};
      case 1:
        return OperationKind::Gelu{};
      case 2:
        return OperationKind::Add{};
      case 3:
        return OperationKind::FlashAttention{};
      default:
        return Repeat{1, 0, 0, {}, Region{}};
    }
  }
  std::vector<TensorShape> shapes(std::uint32_t most) {
    std::vector<TensorShape> list(below(most + 1));
    for (auto& entry : list) entry = shape();
    return list;
  }
  std::string name() { return chance(15) ? std::string() : std::string(below(3), 'n'); }

  // The outcome of one call: whether it succeeded, and how many value numbers it reports taking.
  struct Outcome {
    bool ok;
    std::size_t results = 0;
  };

  template <class T>
  static Outcome single(const std::expected<T, GraphError>& result) {
    return {result.has_value(), 1};
  }
  static Outcome several(const std::expected<std::vector<ValueId>, GraphError>& result) {
    return {result.has_value(), result ? result->size() : 0};
  }

  void step() {
    const ComputeGraph before = graph_;
    body_called_ = false;
    body_values_taken_ = 0;
    body_operations_taken_ = 0;
    bool threw = false;
    std::uint32_t arguments = 0;
    Outcome outcome{false};
    const ValueSet& scope = graph_.values();
    const std::uint32_t choice = below(10);
    switch (choice) {
      case 0:
        outcome = single(graph_.host_input(name(), shape().dimensions));
        break;
      case 1:
        outcome = single(graph_.parameter(name(), shape().dimensions));
        break;
      case 2:
        outcome = single(graph_.gemm(value(scope), value(scope)));
        break;
      case 3:
        outcome = single(graph_.add(value(scope), value(scope)));
        break;
      case 4:
        outcome = single(graph_.flash_attention(value(scope), value(scope), value(scope)));
        break;
      case 5:
        outcome = single(graph_.inferred_result(kind(), values(scope, 3)));
        break;
      case 6:
        outcome = several(graph_.operation(kind(), values(scope, 3), shapes(2)));
        break;
      case 7:
        outcome = {graph_.set_outputs(values(scope, 3)).has_value()};
        break;
      case 8:
        outcome = {sequence().has_value()};
        break;
      default: {
        std::vector<ValueSequenceId> iterated;
        for (std::uint32_t n = below(3); n > 0; --n) iterated.emplace_back(below(graph_.next_sequence() + 1));
        const auto carried = values(scope, 2);
        const auto invariants = values(scope, 2);
        arguments = static_cast<std::uint32_t>(carried.size() + invariants.size() + iterated.size());
        try {
          outcome =
              several(graph_.repeat(below(4), carried, invariants, iterated,
                                    [&](RegionBuilder& body, const RepeatArguments& a) { return build(body, a); }));
        } catch (const std::runtime_error&) {
          threw = true;
        }
      }
    }
    check_after(before, choice, outcome, threw, arguments);
  }

  std::expected<ValueSequenceId, GraphError> sequence() {
    // Values of one shape now and then, so that sequences long enough to iterate exist.
    std::vector<ValueId> list = values(graph_.values(), 4);
    if (!list.empty() && chance(60)) {
      const TensorShape* first = graph_.value_shapes().lookup(list.front());
      for (const auto& [id, shape] : graph_.value_shapes()) {
        if (first != nullptr && shape == *first && list.size() < 6) list.push_back(id);
      }
    }
    return graph_.value_sequence(name(), list);
  }

  // A body that appends a few random operations (some fail), then yields, fails or throws.
  Yields build(RegionBuilder& body, const RepeatArguments& arguments) {
    body_called_ = true;
    const std::uint32_t operations = below(4);
    for (std::uint32_t i = 0; i < operations; ++i) {
      if (chance(50)) {
        const auto result = body.inferred_result(kind(), values(body.values(), 3));
        if (result) ++body_values_taken_, ++body_operations_taken_;
      } else {
        const auto result = body.operation(kind(), values(body.values(), 2), shapes(2));
        if (result) body_values_taken_ += result->size(), ++body_operations_taken_;
      }
    }
    switch (below(10)) {
      case 0:
        return std::unexpected(GraphError::EmptyRepeat{});
      case 1:
        throw std::runtime_error("body gave up");
      case 2:
      case 3:
      case 4:
        return arguments.carried;  // always of the right shapes
      default:
        return values(chance(50) ? body.values() : graph_.values(), 2);
    }
  }

  void check_after(const ComputeGraph& before, std::uint32_t choice, const Outcome& outcome, bool threw,
                   std::uint32_t arguments) {
    check_consistent();
    if (!outcome.ok || threw) {
      ++failures_;
      if (!body_called_) {
        ASSERT_EQ(graph_, before);
        return;
      }
      ASSERT_EQ(graph_.inputs(), before.inputs());
      ASSERT_EQ(graph_.sequences(), before.sequences());
      ASSERT_EQ(graph_.operations(), before.operations());
      ASSERT_EQ(graph_.outputs(), before.outputs());
      ASSERT_EQ(graph_.values(), before.values());
      ASSERT_EQ(graph_.value_shapes(), before.value_shapes());
      ASSERT_EQ(graph_.next_value(), before.next_value() + arguments + body_values_taken_);
      ASSERT_EQ(graph_.next_operation(), before.next_operation() + body_operations_taken_);
      ASSERT_EQ(graph_.next_sequence(), before.next_sequence());
      return;
    }
    ++successes_;
    const bool input = choice <= 1;
    const bool operation = (choice >= 2 && choice <= 6) || choice == 9;
    const std::size_t body_numbers = choice == 9 ? arguments + body_values_taken_ : 0;
    ASSERT_EQ(graph_.inputs().size(), before.inputs().size() + (input ? 1 : 0));
    ASSERT_EQ(graph_.operations().size(), before.operations().size() + (operation ? 1 : 0));
    ASSERT_EQ(graph_.sequences().size(), before.sequences().size() + (choice == 8 ? 1 : 0));
    const std::size_t new_values = input || operation ? outcome.results : 0;
    ASSERT_EQ(graph_.values().size(), before.values().size() + new_values);
    ASSERT_EQ(graph_.next_value(), before.next_value() + new_values + body_numbers);
    ASSERT_EQ(graph_.next_operation(), before.next_operation() + (operation ? 1 + body_operations_taken_ : 0));
  }

  // What every graph guarantees its readers, checked whole after every call.
  void check_consistent() {
    ASSERT_EQ(graph_.values().size(), graph_.value_shapes().size());
    auto shape = graph_.value_shapes().begin();
    for (const ValueId id : graph_.values()) {
      ASSERT_EQ(id, shape->first);
      ++shape;
    }
    for (const ValueId output : graph_.outputs()) ASSERT_TRUE(graph_.values().contains(output));
    for (std::size_t k = 0; k < graph_.sequences().size(); ++k) ASSERT_EQ(graph_.sequences()[k].id.index(), k);
  }

  std::mt19937 random_;
  ComputeGraph graph_;
  bool body_called_ = false;
  std::size_t body_values_taken_ = 0;
  std::uint32_t body_operations_taken_ = 0;
  int successes_ = 0;
  int failures_ = 0;
};

TEST(ComputeGraphProperty, EveryFailedCallLeavesTheGraphAsItWasAndEverySuccessGrowsItByWhatItReports) {
  for (const std::uint32_t seed : {1u, 2u, 3u, 20261211u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomCalls(seed).run(1500);
  }
}

}  // namespace
}  // namespace vorn_codegen::graph
