// Vocabulary of the compute graph: identifiers, tensor shapes, input kinds and GraphError.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "vorn/detail/variant.hpp"

namespace vorn_codegen::graph {

// Identifiers are opaque 32-bit numbers handed out by the graph's counters. The explicit
// constructor exists for tests and tools that name a known identifier; number() for callers that
// keep dense tables indexed by identifier. Both are otherwise not needed.

// A value (one tensor) of the graph or of a repeat body. Totally ordered by number, which is the
// order of allocation; it keys every ordered map and set of values.
class ValueId {
 public:
  constexpr explicit ValueId(std::uint32_t number) noexcept : number_(number) {}
  [[nodiscard]] constexpr std::uint32_t number() const noexcept { return number_; }
  friend constexpr auto operator<=>(ValueId, ValueId) noexcept = default;

 private:
  std::uint32_t number_;
};

// An operation of the graph or of a repeat body. Compared for equality only.
class OperationId {
 public:
  constexpr explicit OperationId(std::uint32_t number) noexcept : number_(number) {}
  [[nodiscard]] constexpr std::uint32_t number() const noexcept { return number_; }
  friend constexpr bool operator==(OperationId, OperationId) noexcept = default;

 private:
  std::uint32_t number_;
};

// A value sequence of the graph. Its number is its position in the graph's sequence list.
class ValueSequenceId {
 public:
  constexpr explicit ValueSequenceId(std::uint32_t number) noexcept : number_(number) {}
  [[nodiscard]] constexpr std::uint32_t number() const noexcept { return number_; }
  [[nodiscard]] constexpr std::size_t index() const noexcept { return number_; }
  friend constexpr bool operator==(ValueSequenceId, ValueSequenceId) noexcept = default;

 private:
  std::uint32_t number_;
};

// The extents of one tensor, outermost first. Any rank (0 included) and any extents (0 included)
// are valid; nothing is enforced.
struct TensorShape {
  std::vector<std::uint32_t> dimensions;

  TensorShape() = default;
  TensorShape(std::initializer_list<std::uint32_t> extents) : dimensions(extents) {}
  explicit TensorShape(std::span<const std::uint32_t> extents) : dimensions(extents.begin(), extents.end()) {}
  explicit TensorShape(std::vector<std::uint32_t> extents) noexcept : dimensions(std::move(extents)) {}

  [[nodiscard]] std::size_t rank() const noexcept { return dimensions.size(); }

  // The product of all extents, starting from 1 (so rank 0 gives 1, an extent of 0 gives 0).
  // A product past 2^64 - 1 saturates at 2^64 - 1 rather than wrapping; a 0 extent anywhere
  // still gives 0.
  [[nodiscard]] std::uint64_t elements() const noexcept;

  friend bool operator==(const TensorShape&, const TensorShape&) = default;
};

enum class GraphInputKind : std::uint8_t { Host, Parameter };

// The error of every graph-building call.
struct GraphError {
  struct EmptyName {
    friend bool operator==(const EmptyName&, const EmptyName&) = default;
  };
  struct UnknownValue {
    ValueId value;
    friend bool operator==(const UnknownValue&, const UnknownValue&) = default;
  };
  struct UnknownSequence {
    ValueSequenceId sequence;
    friend bool operator==(const UnknownSequence&, const UnknownSequence&) = default;
  };
  struct EmptyRepeat {
    friend bool operator==(const EmptyRepeat&, const EmptyRepeat&) = default;
  };
  struct ShortSequence {
    ValueSequenceId sequence;
    std::size_t available;
    std::uint32_t required;
    friend bool operator==(const ShortSequence&, const ShortSequence&) = default;
  };
  struct YieldArity {
    std::size_t expected;
    std::size_t actual;
    friend bool operator==(const YieldArity&, const YieldArity&) = default;
  };
  // One of the seven shape-inference messages.
  struct InvalidShape {
    std::string message;
    friend bool operator==(const InvalidShape&, const InvalidShape&) = default;
  };
  struct SequenceShape {
    std::size_t entry;
    friend bool operator==(const SequenceShape&, const SequenceShape&) = default;
  };
  struct YieldShape {
    std::size_t index;
    friend bool operator==(const YieldShape&, const YieldShape&) = default;
  };

  using Variant = std::variant<EmptyName, UnknownValue, UnknownSequence, EmptyRepeat, ShortSequence, YieldArity,
                               InvalidShape, SequenceShape, YieldShape>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  GraphError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const GraphError&, const GraphError&) = default;
};

// Diagnostic text forms: `ValueId(7)`, `TensorShape([2, 3])`, `Host`,
// `ShortSequence { sequence: ValueSequenceId(0), available: 1, required: 2 }`.
std::string to_string(ValueId id);
std::string to_string(OperationId id);
std::string to_string(ValueSequenceId id);
std::string to_string(const TensorShape& shape);
std::string to_string(GraphInputKind kind);
std::string to_string(const GraphError& error);

std::ostream& operator<<(std::ostream& out, ValueId id);
std::ostream& operator<<(std::ostream& out, OperationId id);
std::ostream& operator<<(std::ostream& out, ValueSequenceId id);
std::ostream& operator<<(std::ostream& out, const TensorShape& shape);
std::ostream& operator<<(std::ostream& out, GraphInputKind kind);
std::ostream& operator<<(std::ostream& out, const GraphError& error);

}  // namespace vorn_codegen::graph
