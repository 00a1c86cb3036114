// Pieces shared by the disassembler and the simulator.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "vorn/codegen/emit.hpp"
#include "vorn/sim/error.hpp"
#include "vorn/sim/symbols.hpp"

namespace vorn_sim::detail {

// The words of `image` (least significant byte first), checked to be whole words that fit in the
// address space when loaded at `code_address`.
[[nodiscard]] std::expected<std::vector<std::uint32_t>, SimError> image_words(std::span<const std::uint8_t> image,
                                                                              std::uint32_t code_address);

// The addresses of the rows of `program`.
[[nodiscard]] std::vector<std::uint32_t> row_addresses(const vorn_codegen::GeneratedProgram& program);

// The outside code that generated code calls: symbols by address, and the placed exchange rows.
class OutsideCode {
 public:
  OutsideCode(const SymbolTable& symbols, std::span<const std::uint32_t> row_addresses);

  // The symbol at `address`; where several share it, the first in name order.
  [[nodiscard]] std::optional<std::string_view> symbol_at(std::uint32_t address) const;
  [[nodiscard]] bool is_row(std::uint32_t address) const { return rows_.contains(address); }

 private:
  std::unordered_map<std::uint32_t, std::string_view> names_;
  std::unordered_set<std::uint32_t> rows_;
};

}  // namespace vorn_sim::detail
