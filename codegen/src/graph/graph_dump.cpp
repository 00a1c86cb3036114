// The readable multi-line dump of a whole graph. Values are written %n with their shapes,
// operations opN, sequences #n:
//
//   input %0 "x": Host [32, 64]
//   op0: %2 [32, 16] = Gemm(%0, %1)
//   op1: %6 [16, 16] = Repeat x2 (carried %0; invariant -; iterated #0)
//     body (%3 [16, 16], %4 [16, 16]):
//       op0: %5 [16, 16] = Gemm(%3, %4)
//       yield %5
//   outputs %2
#include <algorithm>
#include <string>
#include <variant>

#include "list_text.hpp"
#include "vorn/codegen/graph/compute_graph.hpp"
#include "vorn/detail/text.hpp"

namespace vorn_codegen::graph {

namespace {

using detail::append;
using detail::concat;

std::string value(ValueId id) { return concat("%", std::to_string(id.number())); }
std::string sequence(ValueSequenceId id) { return concat("#", std::to_string(id.number())); }

std::string shape(const TensorShape& shape) {
  return concat("[", detail::join(shape.dimensions, [](std::uint32_t extent) { return std::to_string(extent); }), "]");
}

template <class Id, class Format>
std::string ids(const std::vector<Id>& list, Format format) {
  return list.empty() ? std::string("-") : detail::join(list, format);
}

// Each value with its shape; a value the scope does not know is shown with "?".
std::string typed_values(const std::vector<ValueId>& values, const ShapeMap& shapes) {
  return ids(values, [&](ValueId id) {
    const TensorShape* known = shapes.lookup(id);
    return concat(value(id), " ", known == nullptr ? std::string("?") : shape(*known));
  });
}

void dump_operations(std::string& out, const std::vector<Operation>& operations, const ShapeMap& shapes,
                     const std::string& indent);

void dump_operation(std::string& out, const Operation& operation, const ShapeMap& shapes, const std::string& indent) {
  append(out, indent, "op", std::to_string(operation.id.number()), ": ", typed_values(operation.results, shapes),
         " = ");
  const auto* repeat = std::get_if<Repeat>(&operation.kind.alternative);
  if (repeat == nullptr) {
    append(out, to_string(operation.kind), "(", detail::join(operation.inputs, value), ")\n");
    return;
  }
  // Split as the record says, but never past the list: a repeat appended through the general
  // operation need not be consistent.
  const auto split =
      operation.inputs.begin() + static_cast<std::ptrdiff_t>(std::min(repeat->carried_inputs, operation.inputs.size()));
  const std::vector<ValueId> carried(operation.inputs.begin(), split);
  const std::vector<ValueId> invariants(split, operation.inputs.end());
  append(out, "Repeat x", std::to_string(repeat->count), " (carried ", ids(carried, value), "; invariant ",
         ids(invariants, value), "; iterated ", ids(repeat->iterated_inputs, sequence), ")\n");
  const Region& body = *repeat->body;
  append(out, indent, "  body (", typed_values(body.arguments, body.value_shapes), "):\n");
  dump_operations(out, body.operations, body.value_shapes, indent + "    ");
  append(out, indent, "    yield ", ids(body.yields, value), "\n");
}

void dump_operations(std::string& out, const std::vector<Operation>& operations, const ShapeMap& shapes,
                     const std::string& indent) {
  for (const Operation& operation : operations) dump_operation(out, operation, shapes, indent);
}

}  // namespace

std::string to_string(const ComputeGraph& graph) {
  std::string out;
  for (const GraphInput& input : graph.inputs()) {
    append(out, "input ", value(input.value), " ", vorn::detail::quoted(input.name), ": ", to_string(input.kind), " ",
           shape(input.shape), "\n");
  }
  for (const ValueSequence& entry : graph.sequences()) {
    append(out, "sequence ", sequence(entry.id), " ", vorn::detail::quoted(entry.name), " = ", ids(entry.values, value),
           "\n");
  }
  dump_operations(out, graph.operations(), graph.value_shapes(), "");
  append(out, "outputs ", ids(graph.outputs(), value), "\n");
  return out;
}

std::ostream& operator<<(std::ostream& out, const ComputeGraph& graph) { return out << to_string(graph); }

}  // namespace vorn_codegen::graph
