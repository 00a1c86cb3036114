#include "vorn/codegen/mid/format.hpp"

#include <string>

namespace vorn_codegen::mid {
namespace {

std::string field(const char* name, std::uint16_t value) { return std::string(name) + ": " + std::to_string(value); }

}  // namespace

std::string to_string(Sharding sharding) {
  switch (sharding) {
    case Sharding::Replicated:
      return "Replicated";
    case Sharding::Rows:
      return "Rows";
    case Sharding::Columns:
      return "Columns";
    case Sharding::Heads:
      return "Heads";
  }
  return "Sharding(" + std::to_string(static_cast<unsigned>(sharding)) + ")";
}

std::string to_string(const AmpOrder& order) {
  using A = AmpOrder;
  return std::visit(vorn::detail::overloaded{
                        [](const A::Left& o) { return "Left { " + field("inner", o.inner) + " }"; },
                        [](const A::Right& o) {
                          return "Right { " + field("inner", o.inner) + ", " + field("columns", o.columns) + " }";
                        },
                        [](const A::Output& o) { return "Output { " + field("columns", o.columns) + " }"; },
                    },
                    order.alternative);
}

std::string to_string(const ElementOrder& order) {
  return std::visit(vorn::detail::overloaded{
                        [](const ElementOrder::RowMajor&) -> std::string { return "RowMajor"; },
                        [](const AmpOrder& amp) { return "Amp(" + to_string(amp) + ")"; },
                    },
                    order.alternative);
}

std::string to_string(const Storage& storage) {
  return std::visit(
      vorn::detail::overloaded{
          [](const Storage::Contiguous&) -> std::string { return "Contiguous"; },
          [](const Storage::Interleaved& s) { return "Interleaved { " + field("grain_bytes", s.grain_bytes) + " }"; },
      },
      storage.alternative);
}

std::string to_string(const Layout& layout) {
  return "Layout { order: " + to_string(layout.order) + ", sharding: " + to_string(layout.sharding) + ", " +
         field("tile_count", layout.tile_count) + ", storage: " + to_string(layout.storage) + ", " +
         field("alignment", layout.alignment) + " }";
}

std::string to_string(const Precision& precision) {
  return std::visit(vorn::detail::overloaded{
                        [](const Precision::F8F143& p) {
                          return "F8F143 { scale: " + std::to_string(static_cast<int>(p.scale)) + " }";
                        },
                        [](const Precision::F16&) -> std::string { return "F16"; },
                        [](const Precision::F32&) -> std::string { return "F32"; },
                    },
                    precision.alternative);
}

std::string to_string(AccumulationPrecision precision) {
  return precision == AccumulationPrecision::F16 ? "F16" : "F32";
}

std::ostream& operator<<(std::ostream& out, Sharding sharding) { return out << to_string(sharding); }
std::ostream& operator<<(std::ostream& out, const AmpOrder& order) { return out << to_string(order); }
std::ostream& operator<<(std::ostream& out, const ElementOrder& order) { return out << to_string(order); }
std::ostream& operator<<(std::ostream& out, const Storage& storage) { return out << to_string(storage); }
std::ostream& operator<<(std::ostream& out, const Layout& layout) { return out << to_string(layout); }
std::ostream& operator<<(std::ostream& out, const Precision& precision) { return out << to_string(precision); }
std::ostream& operator<<(std::ostream& out, AccumulationPrecision precision) { return out << to_string(precision); }

}  // namespace vorn_codegen::mid
