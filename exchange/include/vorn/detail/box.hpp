// Box<T>: a value-semantic owning pointer for recursive or large members of plain value types
// (a repeat's body region, for instance). Copying a Box copies the pointee, == compares the
// pointees, and a Box is never empty except after being moved from. T may be incomplete where
// Box<T> is declared; it must be complete where a Box is created, copied or compared.
#pragma once

#include <memory>
#include <utility>

namespace vorn::detail {

template <class T>
class Box {
 public:
  Box(T value) : pointer_(std::make_unique<T>(std::move(value))) {}  // NOLINT: implicit by design
  Box(const Box& other) : pointer_(std::make_unique<T>(*other.pointer_)) {}
  Box(Box&&) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) pointer_ = std::make_unique<T>(*other.pointer_);
    return *this;
  }
  Box& operator=(Box&&) noexcept = default;
  ~Box() = default;

  [[nodiscard]] const T& operator*() const noexcept { return *pointer_; }
  [[nodiscard]] T& operator*() noexcept { return *pointer_; }
  [[nodiscard]] const T* operator->() const noexcept { return pointer_.get(); }
  [[nodiscard]] T* operator->() noexcept { return pointer_.get(); }

  friend bool operator==(const Box& left, const Box& right) { return *left == *right; }

 private:
  std::unique_ptr<T> pointer_;
};

}  // namespace vorn::detail
