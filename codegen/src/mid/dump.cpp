#include "vorn/codegen/mid/dump.hpp"

#include <span>
#include <string>

#include "vorn/detail/text.hpp"

namespace vorn_codegen::mid {
namespace {

// Appended rather than written "%" + number: g++ 12 at -O2 reports a false -Wrestrict on the latter.
std::string name(MidValueId id) {
  std::string text = std::to_string(id.index());
  text.insert(text.begin(), '%');
  return text;
}

std::string list(std::span<const MidValueId> ids) {
  std::string text;
  for (const MidValueId id : ids) text += (text.empty() ? "" : ", ") + name(id);
  return text;
}

std::string extents(const graph::TensorShape& shape) {
  std::string text;
  for (const std::uint32_t extent : shape.dimensions) text += (text.empty() ? "" : ", ") + std::to_string(extent);
  return "[" + text + "]";
}

// A layout as the constructor call that makes it, when one does; otherwise its full text form.
std::string layout_text(const Layout& layout) {
  const std::uint16_t tiles = layout.tile_count;
  const auto call = [&](const std::string& name, const std::string& arguments, const Layout& made) {
    return layout == made ? name + "(" + arguments + ")" : to_string(layout);
  };
  const auto* amp = std::get_if<AmpOrder>(&layout.order.alternative);
  if (amp == nullptr)
    return call("row_major", to_string(layout.sharding) + ", " + std::to_string(tiles),
                row_major(layout.sharding, tiles));
  return std::visit(
      vorn::detail::overloaded{
          [&](const AmpOrder::Left& left) {
            return call("amp_left", std::to_string(left.inner) + ", " + std::to_string(tiles),
                        amp_left(left.inner, tiles));
          },
          [&](const AmpOrder::Right& right) {
            return call("amp_right", std::to_string(right.inner) + ", " + std::to_string(tiles),
                        amp_right(right.inner, tiles));
          },
          [&](const AmpOrder::Output&) { return call("amp_output", std::to_string(tiles), amp_output(tiles)); },
      },
      amp->alternative);
}

void write_operations(std::string& out, std::span<const MidOperation> operations, const std::string& indent);

std::string kind_text(const MidOperationKind& kind) {
  using K = MidOperationKind;
  return std::visit(vorn::detail::overloaded{
                        [](const K::Kernel& kernel) { return to_string(kernel); },
                        [](const K::CastPrecision& cast) {
                          return "CastPrecision " + to_string(cast.from) + " -> " + to_string(cast.to);
                        },
                        [](const K::Rearrange& move) {
                          return "Rearrange " + layout_text(move.from) + " -> " + layout_text(move.to);
                        },
                        [](const K::Repeat& loop) {
                          std::string text = "Repeat { count: " + std::to_string(loop.count) +
                                             ", carried_inputs: " + std::to_string(loop.carried_inputs) +
                                             ", invariant_inputs: " + std::to_string(loop.invariant_inputs) + " }";
                          for (const auto& sequence : loop.iterated_inputs)
                            text += " iterating [" + list(sequence) + "]";
                          return text;
                        },
                    },
                    kind.alternative);
}

void write_operation(std::string& out, const MidOperation& operation, const std::string& indent) {
  out += indent;
  if (!operation.results.empty()) out += list(operation.results) + " = ";
  out +=
      kind_text(operation.kind) + " (" + list(operation.inputs) + ")  cost " + std::to_string(operation.estimated_cost);
  if (operation.source) out += "  for " + to_string(*operation.source);
  out += "\n";
  if (const auto* loop = std::get_if<MidRepeat>(&operation.kind.alternative)) {
    const MidRegion& body = *loop->body;
    out += indent + "  body (" + list(body.arguments) + ")  cost " + std::to_string(body.estimated_cost) + "\n";
    write_operations(out, body.operations, indent + "    ");
    out += indent + "  yield (" + list(body.yields) + ")\n";
  }
}

void write_operations(std::string& out, std::span<const MidOperation> operations, const std::string& indent) {
  for (const MidOperation& operation : operations) write_operation(out, operation, indent);
}

}  // namespace

std::string to_string(const MidKernel& kernel) {
  using K = MidKernel;
  return std::visit(vorn::detail::overloaded{
                        [](const K::Gemm& gemm) {
                          return "Gemm { multiply: " + to_string(gemm.multiply) +
                                 ", accumulate: " + to_string(gemm.accumulate) + " }";
                        },
                        [](const K::Gelu&) -> std::string { return "Gelu"; },
                        [](const K::Add&) -> std::string { return "Add"; },
                        [](const K::FlashAttention& attention) {
                          return "FlashAttention { accumulate: " + to_string(attention.accumulate) + " }";
                        },
                    },
                    kernel.alternative);
}

std::string to_string(const MidGraph& graph) {
  std::string out = "MidGraph (estimated cost " + std::to_string(graph.estimated_cost) + ")\ninputs:";
  for (std::size_t i = 0; i < graph.inputs.size(); ++i) {
    const MidInput& input = graph.inputs[i];
    out += (i == 0 ? " " : ", ") + vorn::detail::quoted(input.name) + " " + to_string(input.kind) + " " +
           name(input.value);
  }
  out += "\nvalues:\n";
  for (const MidValue& value : graph.values) {
    const TensorType& type = value.tensor_type;
    out += "  " + name(value.id) + " " + extents(type.shape) + " " + to_string(type.format.precision) + " " +
           layout_text(type.format.layout) + " of " + to_string(value.origin) + "\n";
  }
  out += "operations:\n";
  write_operations(out, graph.operations, "  ");
  return out + "outputs: " + list(graph.outputs) + "\n";
}

std::ostream& operator<<(std::ostream& out, const MidKernel& kernel) { return out << to_string(kernel); }
std::ostream& operator<<(std::ostream& out, const MidGraph& graph) { return out << to_string(graph); }

}  // namespace vorn_codegen::mid
