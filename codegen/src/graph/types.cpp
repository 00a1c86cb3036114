#include "vorn/codegen/graph/types.hpp"

#include <limits>
#include <string>

#include "vorn/detail/text.hpp"

namespace vorn_codegen::graph {

std::uint64_t TensorShape::elements() const noexcept {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t product = 1;
  for (const std::uint32_t extent : dimensions) {
    if (extent == 0) return 0;
    product = product > kMax / extent ? kMax : product * extent;
  }
  return product;
}

std::string to_string(ValueId id) { return "ValueId(" + std::to_string(id.number()) + ")"; }
std::string to_string(OperationId id) { return "OperationId(" + std::to_string(id.number()) + ")"; }
std::string to_string(ValueSequenceId id) { return "ValueSequenceId(" + std::to_string(id.number()) + ")"; }

std::string to_string(const TensorShape& shape) {
  std::string text = "TensorShape([";
  for (std::size_t i = 0; i < shape.dimensions.size(); ++i) {
    if (i != 0) text += ", ";
    text += std::to_string(shape.dimensions[i]);
  }
  return text + "])";
}

std::string to_string(GraphInputKind kind) { return kind == GraphInputKind::Host ? "Host" : "Parameter"; }

std::string to_string(const GraphError& error) {
  using E = GraphError;
  return std::visit(
      vorn::detail::overloaded{
          [](const E::EmptyName&) -> std::string { return "EmptyName"; },
          [](const E::UnknownValue& e) { return "UnknownValue(" + to_string(e.value) + ")"; },
          [](const E::UnknownSequence& e) { return "UnknownSequence(" + to_string(e.sequence) + ")"; },
          [](const E::EmptyRepeat&) -> std::string { return "EmptyRepeat"; },
          [](const E::ShortSequence& e) {
            return "ShortSequence { sequence: " + to_string(e.sequence) +
                   ", available: " + std::to_string(e.available) + ", required: " + std::to_string(e.required) + " }";
          },
          [](const E::YieldArity& e) {
            return "YieldArity { expected: " + std::to_string(e.expected) + ", actual: " + std::to_string(e.actual) +
                   " }";
          },
          [](const E::InvalidShape& e) { return "InvalidShape(" + vorn::detail::quoted(e.message) + ")"; },
          [](const E::SequenceShape& e) { return "SequenceShape { entry: " + std::to_string(e.entry) + " }"; },
          [](const E::YieldShape& e) { return "YieldShape { index: " + std::to_string(e.index) + " }"; },
      },
      error.alternative);
}

std::ostream& operator<<(std::ostream& out, ValueId id) { return out << to_string(id); }
std::ostream& operator<<(std::ostream& out, OperationId id) { return out << to_string(id); }
std::ostream& operator<<(std::ostream& out, ValueSequenceId id) { return out << to_string(id); }
std::ostream& operator<<(std::ostream& out, const TensorShape& shape) { return out << to_string(shape); }
std::ostream& operator<<(std::ostream& out, GraphInputKind kind) { return out << to_string(kind); }
std::ostream& operator<<(std::ostream& out, const GraphError& error) { return out << to_string(error); }

}  // namespace vorn_codegen::graph
