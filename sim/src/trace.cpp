#include <ostream>
#include <string>

#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"
#include "vorn/sim/trace.hpp"

namespace vorn_sim {

std::string to_string(const TraceEvent& event) {
  using E = TraceEvent;
  using vorn::detail::hex;
  return std::visit(vorn::detail::overloaded{
                        [](const E::Call& e) {
                          std::string text = "call " + e.name + "(";
                          for (std::size_t i = 0; i < e.arguments.size(); ++i) {
                            if (i != 0) text += ", ";
                            text += hex(e.arguments[i]);
                          }
                          return text + ")";
                        },
                        [](const E::Row& e) { return "row " + hex(e.address); },
                        [](const E::Put& e) { return "put " + hex(e.special) + ", " + hex(e.value); },
                        [](const E::ExchangePrefix&) { return std::string("exchange prefix"); },
                        [](const E::Complete&) { return std::string("complete"); },
                    },
                    event.alternative);
}

std::ostream& operator<<(std::ostream& out, const TraceEvent& event) { return out << to_string(event); }

}  // namespace vorn_sim
