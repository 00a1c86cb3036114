// Ordered set and map kept as one sorted vector.
//
// Values are numbered in allocation order and every scope (the graph, a repeat body) inserts its
// values in that order, so an insertion is an append in practice. A sorted vector then gives
// ascending iteration, binary-search lookup and a fraction of the memory and time of a node-based
// tree. An insertion out of order is still correct (it shifts the tail), only slower.
//
// Keys that carry a number (identifiers: `key.number()`) are found faster still. Between two
// entries of a strictly increasing list there are at most as many entries as numbers, so the key
// numbered k sits within k - front entries of the front and within back - k entries of the back.
// Values are numbered nearly densely, so that window is small wherever the key lies, and a lookup
// touches a few neighbouring entries instead of a binary search's cold cache lines.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace vorn_codegen::graph {

namespace detail {

// Makes room for `count` more elements, growing geometrically (a plain reserve before every
// append would grow linearly). Reserving first lets a caller finish all allocation before it
// changes anything. The factor 1.5 rather than 2 keeps at most a third of a graph's largest
// lists unused, for about one more move per element; small lists (repeat bodies) start at 4.
template <class T>
void reserve_more(std::vector<T>& items, std::size_t count) {
  if (items.capacity() - items.size() >= count) return;
  items.reserve(std::max({items.size() + count, items.capacity() + items.capacity() / 2, std::size_t{4}}));
}

template <class Key>
concept Numbered = requires(const Key& key) {
  { key.number() } -> std::unsigned_integral;
};

// The first entry of the strictly increasing range [first, last) whose key is not less than `key`.
template <class Iterator, class Key, class KeyOf>
Iterator lower_bound(Iterator first, Iterator last, const Key& key, KeyOf key_of) {
  const auto less = [&](const auto& entry, const Key& k) { return key_of(entry) < k; };
  if constexpr (Numbered<Key>) {
    if (first == last) return first;
    const std::uint64_t number = key.number();
    const std::uint64_t front = key_of(*first).number();
    const std::uint64_t back = key_of(*(last - 1)).number();
    if (number <= front) return first;
    if (number > back) return last;
    const auto size = static_cast<std::uint64_t>(last - first);
    const std::uint64_t high = std::min(size - 1, number - front);
    const std::uint64_t low = back - number >= size - 1 ? 0 : size - 1 - (back - number);
    return std::lower_bound(first + static_cast<std::ptrdiff_t>(low), first + static_cast<std::ptrdiff_t>(high + 1),
                            key, less);
  } else {
    return std::lower_bound(first, last, key, less);
  }
}

}  // namespace detail

template <class Key>
class FlatSet {
 public:
  using value_type = Key;
  using const_iterator = typename std::vector<Key>::const_iterator;
  using iterator = const_iterator;

  FlatSet() = default;
  FlatSet(std::initializer_list<Key> keys) {
    for (const Key& key : keys) insert(key);
  }

  [[nodiscard]] const_iterator begin() const noexcept { return keys_.begin(); }
  [[nodiscard]] const_iterator end() const noexcept { return keys_.end(); }
  [[nodiscard]] std::size_t size() const noexcept { return keys_.size(); }
  [[nodiscard]] bool empty() const noexcept { return keys_.empty(); }

  [[nodiscard]] const_iterator find(const Key& key) const noexcept {
    const auto it = lower_bound(key);
    return it != keys_.end() && *it == key ? it : keys_.end();
  }
  [[nodiscard]] bool contains(const Key& key) const noexcept { return find(key) != keys_.end(); }

  // Adds `key` unless present; returns whether it was added.
  bool insert(const Key& key) {
    if (keys_.empty() || keys_.back() < key) {
      keys_.push_back(key);
      return true;
    }
    const auto it = lower_bound(key);
    if (*it == key) return false;
    keys_.insert(it, key);
    return true;
  }

  // Makes room for `count` more keys, so that the next `count` insertions cannot fail.
  void reserve_more(std::size_t count) { detail::reserve_more(keys_, count); }

  friend bool operator==(const FlatSet&, const FlatSet&) = default;

 private:
  [[nodiscard]] const_iterator lower_bound(const Key& key) const noexcept {
    return detail::lower_bound(keys_.begin(), keys_.end(), key, [](const Key& k) -> const Key& { return k; });
  }

  std::vector<Key> keys_;
};

// Entries are (key, mapped) pairs, so `auto& [key, mapped]` and `it->second` read as for std::map.
// Only const access is offered: keys never change once inserted.
template <class Key, class Mapped>
class FlatMap {
 public:
  using value_type = std::pair<Key, Mapped>;
  using const_iterator = typename std::vector<value_type>::const_iterator;
  using iterator = const_iterator;

  FlatMap() = default;
  FlatMap(std::initializer_list<value_type> entries) {
    for (const value_type& entry : entries) insert(entry.first, entry.second);
  }

  [[nodiscard]] const_iterator begin() const noexcept { return entries_.begin(); }
  [[nodiscard]] const_iterator end() const noexcept { return entries_.end(); }
  [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
  [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }

  [[nodiscard]] const_iterator find(const Key& key) const noexcept {
    const auto it = lower_bound(key);
    return it != entries_.end() && it->first == key ? it : entries_.end();
  }
  [[nodiscard]] bool contains(const Key& key) const noexcept { return find(key) != entries_.end(); }

  // The mapped value of `key`, or null.
  [[nodiscard]] const Mapped* lookup(const Key& key) const noexcept {
    const auto it = find(key);
    return it == entries_.end() ? nullptr : &it->second;
  }

  // Adds the entry unless `key` is present; returns whether it was added.
  bool insert(const Key& key, Mapped mapped) {
    if (entries_.empty() || entries_.back().first < key) {
      entries_.emplace_back(key, std::move(mapped));
      return true;
    }
    const auto it = lower_bound(key);
    if (it->first == key) return false;
    entries_.insert(it, value_type(key, std::move(mapped)));
    return true;
  }

  void reserve_more(std::size_t count) { detail::reserve_more(entries_, count); }

  friend bool operator==(const FlatMap&, const FlatMap&) = default;

 private:
  [[nodiscard]] const_iterator lower_bound(const Key& key) const noexcept {
    return detail::lower_bound(entries_.begin(), entries_.end(), key,
                               [](const value_type& entry) -> const Key& { return entry.first; });
  }

  std::vector<value_type> entries_;
};

}  // namespace vorn_codegen::graph
