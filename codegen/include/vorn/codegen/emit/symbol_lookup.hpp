// SymbolLookup: exact-name lookups in a SymbolTable for the length of one emission. Internal to
// the library (namespace detail).
//
// A program names the same few kernels and routines over and over; each name's tree lookup costs
// a string comparison per level. SymbolLookup remembers found names in a small direct-mapped
// cache keyed by a hash of the name, so a repeated name costs a hash and a comparison of a few
// words (plus the rest of the name past 16 bytes) instead of a walk down the tree. It
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
    const Key key = key_of(name);
    Entry& entry = cache_[slot(key)];
    if (entry.name.data() != nullptr && entry.key == key && (name.size() <= 16 || entry.name == name)) {
      return entry.address;
    }
    const auto found = table_.find(name);
    if (found == table_.end()) return std::nullopt;
    entry = {key, found->first, found->second};
    return found->second;
  }

 private:
  // The length and the first and last eight bytes of a name: equal keys mean equal names up to
  // 16 bytes (the two words then cover every byte), so short names need no further comparison.
  struct Key {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::size_t size = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };

  struct Entry {
    Key key;
    std::string_view name;  // views a key of table_; null while the slot is empty
    std::uint32_t address = 0;
  };

  static Key key_of(std::string_view name) noexcept {
    Key key{0, 0, name.size()};
    if (name.size() >= 8) {
      std::memcpy(&key.head, name.data(), 8);
      std::memcpy(&key.tail, name.data() + name.size() - 8, 8);
    } else {
      for (const char c : name) key.head = key.head << 8 | static_cast<unsigned char>(c);
    }
    return key;
  }

  // Names often differ only in their last characters, which sit in the top bits of `tail`; the
  // shifts of the finaliser carry them down into the slot bits, which multiplication alone would not.
  static std::uint64_t mix(std::uint64_t h) noexcept {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
  }

  std::size_t slot(const Key& key) const noexcept {
    return static_cast<std::size_t>(mix(key.head ^ mix(key.tail + key.size)) % cache_.size());
  }

  const SymbolTable& table_;
  mutable std::array<Entry, 128> cache_{};
};

}  // namespace vorn_codegen::detail
