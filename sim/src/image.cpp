#include "image.hpp"

namespace vorn_sim::detail {

std::expected<std::vector<std::uint32_t>, SimError> image_words(std::span<const std::uint8_t> image,
                                                                std::uint32_t code_address) {
  if (image.size() % 4 != 0) return std::unexpected(SimError::TruncatedImage{image.size()});
  if (image.size() > std::uint64_t{1} << 32 || code_address + std::uint64_t{image.size()} > std::uint64_t{1} << 32) {
    return std::unexpected(SimError::ImageOutOfRange{code_address, image.size()});
  }
  std::vector<std::uint32_t> words(image.size() / 4);
  for (std::size_t i = 0; i < words.size(); ++i) {
    words[i] = std::uint32_t{image[4 * i]} | std::uint32_t{image[4 * i + 1]} << 8 |
               std::uint32_t{image[4 * i + 2]} << 16 | std::uint32_t{image[4 * i + 3]} << 24;
  }
  return words;
}

std::vector<std::uint32_t> row_addresses(const vorn_codegen::GeneratedProgram& program) {
  std::vector<std::uint32_t> addresses;
  addresses.reserve(program.exchange_rows.size());
  for (const auto& row : program.exchange_rows) addresses.push_back(row.address);
  return addresses;
}

OutsideCode::OutsideCode(const SymbolTable& symbols, std::span<const std::uint32_t> row_addresses)
    : rows_(row_addresses.begin(), row_addresses.end()) {
  for (const auto& [name, address] : symbols) names_.try_emplace(address, name);
}

std::optional<std::string_view> OutsideCode::symbol_at(std::uint32_t address) const {
  if (const auto found = names_.find(address); found != names_.end()) return found->second;
  return std::nullopt;
}

}  // namespace vorn_sim::detail
