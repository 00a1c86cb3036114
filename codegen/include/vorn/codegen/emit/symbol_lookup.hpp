// SymbolLookup: exact-name lookups in a SymbolTable for the length of one emission. Internal to
// the library (namespace detail).
//
// A program names the same few kernels and routines over and over; each name's tree lookup costs
// a string comparison per level. SymbolLookup remembers found names in a small direct-mapped
// cache keyed by a hash of the name, so a repeated name costs one hash and one comparison. It
// changes no result: a cached entry is exactly what the table holds under that name (the table is
// only read and outlives the lookup), and missing names are never cached.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "vorn/codegen/emit/model.hpp"

namespace vorn_codegen::detail {

class SymbolLookup {
 public:
  // Implicit, so that every function taking a SymbolLookup also takes a SymbolTable.
  SymbolLookup(const SymbolTable& table) noexcept : table_(table) {}  // NOLINT: implicit by design

  // The address stored under exactly `name`, if any.
  [[nodiscard]] std::optional<std::uint32_t> find(std::string_view name) const {
    Entry& entry = cache_[hash(name) % cache_.size()];
    if (entry.name.data() != nullptr && entry.name == name) return entry.address;
    const auto found = table_.find(name);
    if (found == table_.end()) return std::nullopt;
    entry = {found->first, found->second};
    return found->second;
  }

 private:
  struct Entry {
    std::string_view name;  // views a key of table_; null while the slot is empty
    std::uint32_t address = 0;
  };

  // Constant time whatever the length: the length and the first and last eight bytes, mixed by
  // one multiplication. Names alike in all three share a slot, which costs speed, not results.
  static std::size_t hash(std::string_view name) noexcept {
    const std::size_t size = name.size();
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    if (size >= 8) {
      std::memcpy(&head, name.data(), 8);
      std::memcpy(&tail, name.data() + size - 8, 8);
    } else {
      for (const char c : name) head = head << 8 | static_cast<unsigned char>(c);
    }
    const std::uint64_t mixed = (head ^ (tail * 0x9E3779B97F4A7C15ull) ^ size) * 0xFF51AFD7ED558CCDull;
    return static_cast<std::size_t>(mixed >> 32);
  }

  const SymbolTable& table_;
  mutable std::array<Entry, 128> cache_{};
};

}  // namespace vorn_codegen::detail
