#include <ostream>
#include <string>

#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"
#include "vorn/exchange.hpp"

namespace vorn_exchange {

std::string to_string(const ExchangeError& error) {
  using E = ExchangeError;
  return std::visit(vorn::detail::overloaded{
                        [](const E::Tile& e) { return "Tile(" + std::to_string(e.tile) + ")"; },
                        [](const E::DuplicateTile&) { return std::string("DuplicateTile"); },
                        [](const E::Count& e) { return "Count(" + std::to_string(e.count) + ")"; },
                        [](const E::ReceiverSet&) { return std::string("ReceiverSet"); },
                        [](const E::Schedule& e) { return "Schedule(" + vorn::detail::quoted(e.message) + ")"; },
                        [](const E::Address& e) { return "Address(" + std::to_string(e.address) + ")"; },
                        [](const E::HostPacket&) { return std::string("HostPacket"); },
                    },
                    error.alternative);
}

std::ostream& operator<<(std::ostream& out, const ExchangeError& error) { return out << to_string(error); }

}  // namespace vorn_exchange
