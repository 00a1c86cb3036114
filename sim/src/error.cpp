#include <ostream>
#include <string>

#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"
#include "vorn/sim/error.hpp"

namespace vorn_sim {

std::string to_string(const SimError& error) {
  using E = SimError;
  using vorn::detail::hex;
  const auto at = [](std::string_view name, std::uint32_t address, std::string_view field, std::uint32_t value) {
    return std::string(name) + " { address: " + hex(address) + ", " + std::string(field) + ": " + hex(value) + " }";
  };
  return std::visit(
      vorn::detail::overloaded{
          [](const E::TruncatedImage& e) { return "TruncatedImage { length: " + std::to_string(e.length) + " }"; },
          [](const E::ImageOutOfRange& e) {
            return "ImageOutOfRange { code_address: " + hex(e.code_address) + ", length: " + std::to_string(e.length) +
                   " }";
          },
          [](const E::Undecodable& e) {
            return "Undecodable { address: " + hex(e.address) + ", word: " + hex(e.word) +
                   ", error: " + to_string(e.error) + " }";
          },
          [&](const E::InvalidTarget& e) { return at("InvalidTarget", e.address, "target", e.target); },
          [&](const E::UnalignedAccess& e) {
            return at("UnalignedAccess", e.address, "memory_address", e.memory_address);
          },
          [&](const E::UninitializedLoad& e) {
            return at("UninitializedLoad", e.address, "memory_address", e.memory_address);
          },
          [&](const E::StoreIntoCode& e) { return at("StoreIntoCode", e.address, "memory_address", e.memory_address); },
          [](const E::StepLimit& e) { return "StepLimit(" + std::to_string(e.limit) + ")"; },
      },
      error.alternative);
}

std::ostream& operator<<(std::ostream& out, const SimError& error) { return out << to_string(error); }

}  // namespace vorn_sim
