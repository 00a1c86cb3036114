// One-line diagnostic text forms of the graph's records.
#include <string>
#include <variant>

#include "list_text.hpp"
#include "vorn/codegen/graph/records.hpp"
#include "vorn/codegen/graph/region_builder.hpp"
#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen::graph {

namespace {

using detail::concat;

template <class T>
std::string list(const std::vector<T>& items) {
  return concat("[", detail::join(items, [](const T& item) { return to_string(item); }), "]");
}

}  // namespace

std::string to_string(const Repeat& repeat) {
  return concat("Repeat { count: ", std::to_string(repeat.count),
                ", carried_inputs: ", std::to_string(repeat.carried_inputs),
                ", invariant_inputs: ", std::to_string(repeat.invariant_inputs),
                ", iterated_inputs: ", list(repeat.iterated_inputs), ", body: ", to_string(*repeat.body), " }");
}

std::string to_string(const OperationKind& kind) {
  using K = OperationKind;
  return std::visit(vorn::detail::overloaded{
                        [](const K::Gemm&) -> std::string { return "Gemm"; },
                        [](const K::Gelu&) -> std::string { return "Gelu"; },
                        [](const K::Add&) -> std::string { return "Add"; },
                        [](const K::FlashAttention&) -> std::string { return "FlashAttention"; },
                        [](const K::Repeat& repeat) { return concat("Repeat(", to_string(repeat), ")"); },
                    },
                    kind.alternative);
}

std::string to_string(const Operation& operation) {
  return concat("Operation { id: ", to_string(operation.id), ", inputs: ", list(operation.inputs),
                ", results: ", list(operation.results), ", kind: ", to_string(operation.kind), " }");
}

std::string to_string(const Region& region) {
  const std::string shapes = detail::join(region.value_shapes, [](const ShapeMap::value_type& entry) {
    return concat(to_string(entry.first), ": ", to_string(entry.second));
  });
  return concat("Region { arguments: ", list(region.arguments), ", operations: ", list(region.operations),
                ", yields: ", list(region.yields), ", value_shapes: {", shapes, "} }");
}

std::string to_string(const GraphInput& input) {
  return concat("GraphInput { name: ", vorn::detail::quoted(input.name), ", kind: ", to_string(input.kind),
                ", value: ", to_string(input.value), ", shape: ", to_string(input.shape), " }");
}

std::string to_string(const ValueSequence& sequence) {
  return concat("ValueSequence { id: ", to_string(sequence.id), ", name: ", vorn::detail::quoted(sequence.name),
                ", values: ", list(sequence.values), " }");
}

std::string to_string(const RepeatArguments& arguments) {
  return concat("RepeatArguments { carried: ", list(arguments.carried), ", invariants: ", list(arguments.invariants),
                ", iterated: ", list(arguments.iterated), " }");
}

std::ostream& operator<<(std::ostream& out, const Repeat& repeat) { return out << to_string(repeat); }
std::ostream& operator<<(std::ostream& out, const OperationKind& kind) { return out << to_string(kind); }
std::ostream& operator<<(std::ostream& out, const Operation& operation) { return out << to_string(operation); }
std::ostream& operator<<(std::ostream& out, const Region& region) { return out << to_string(region); }
std::ostream& operator<<(std::ostream& out, const GraphInput& input) { return out << to_string(input); }
std::ostream& operator<<(std::ostream& out, const ValueSequence& sequence) { return out << to_string(sequence); }
std::ostream& operator<<(std::ostream& out, const RepeatArguments& arguments) { return out << to_string(arguments); }

}  // namespace vorn_codegen::graph
