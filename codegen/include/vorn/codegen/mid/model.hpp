// The lowered graph: values with concrete tensor types, kernel calls in stated precisions,
// precision casts, layout rearrangements and counted loops; plus the configuration a caller
// passes to lower, the value table of a running lowering and the error of lowering.
//
// Every record is a plain value with defaulted ==, so two lowerings can be compared whole.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "vorn/codegen/graph/types.hpp"
#include "vorn/codegen/mid/format.hpp"
#include "vorn/detail/box.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen::mid {

// A lowered value: its position in MidGraph::values. Values of one lowering are numbered densely
// from 0 in order of creation; numbers of different lowerings are unrelated.
class MidValueId {
 public:
  constexpr explicit MidValueId(std::uint32_t number) noexcept : number_(number) {}
  [[nodiscard]] constexpr std::uint32_t index() const noexcept { return number_; }
  friend constexpr auto operator<=>(MidValueId, MidValueId) noexcept = default;

 private:
  std::uint32_t number_;
};

struct MidValue {
  MidValueId id;
  TensorType tensor_type;
  // The graph value it stands for; a conversion result keeps the origin of what it converts.
  graph::ValueId origin;

  friend bool operator==(const MidValue&, const MidValue&) = default;
};

struct MidInput {
  std::string name;
  graph::GraphInputKind kind;
  MidValueId value;

  friend bool operator==(const MidInput&, const MidInput&) = default;
};

// Which kernel an operation calls and in which precisions.
struct MidKernel {
  struct Gemm {
    Precision multiply;
    AccumulationPrecision accumulate;
    friend bool operator==(const Gemm&, const Gemm&) = default;
  };
  struct Gelu {
    friend bool operator==(const Gelu&, const Gelu&) = default;
  };
  struct Add {
    friend bool operator==(const Add&, const Add&) = default;
  };
  struct FlashAttention {
    AccumulationPrecision accumulate;
    friend bool operator==(const FlashAttention&, const FlashAttention&) = default;
  };

  using Variant = std::variant<Gemm, Gelu, Add, FlashAttention>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr MidKernel(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const MidKernel&, const MidKernel&) = default;
};

struct MidRegion;

// A counted loop. The operation holding it has the carried inputs, then the invariant inputs, and
// one result per carried input.
struct MidRepeat {
  std::uint32_t count;
  std::size_t carried_inputs;
  std::size_t invariant_inputs;
  // One list per iterated sequence, in the graph repeat's order: the sequence's elements, each
  // already in the format of the sequence's first element.
  std::vector<std::vector<MidValueId>> iterated_inputs;
  vorn::detail::Box<MidRegion> body;

  friend bool operator==(const MidRepeat&, const MidRepeat&) = default;
};

struct MidOperationKind {
  using Kernel = MidKernel;
  // Another precision; layout and shape unchanged.
  struct CastPrecision {
    Precision from;
    Precision to;
    friend bool operator==(const CastPrecision&, const CastPrecision&) = default;
  };
  // Another layout; precision and shape unchanged.
  struct Rearrange {
    Layout from;
    Layout to;
    friend bool operator==(const Rearrange&, const Rearrange&) = default;
  };
  using Repeat = MidRepeat;

  using Variant = std::variant<Kernel, CastPrecision, Rearrange, Repeat>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  MidOperationKind(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const MidOperationKind&, const MidOperationKind&) = default;
};

struct MidOperation {
  // The graph operation it was made for: a kernel's or loop's own, or that of the operation whose
  // operand, sequence element or yield needed the conversion. Lowering always sets it.
  std::optional<graph::OperationId> source;
  std::vector<MidValueId> inputs;
  std::vector<MidValueId> results;
  MidOperationKind kind;
  std::uint64_t estimated_cost = 0;

  friend bool operator==(const MidOperation&, const MidOperation&) = default;
};

// A lowered loop body: arguments (carried, invariant, one per iterated sequence), operations in
// execution order, yields in the carried inputs' formats, and the cost of one iteration.
struct MidRegion {
  std::vector<MidValueId> arguments;
  std::vector<MidOperation> operations;
  std::vector<MidValueId> yields;
  std::uint64_t estimated_cost = 0;

  friend bool operator==(const MidRegion&, const MidRegion&) = default;
};

struct MidGraph {
  std::vector<MidInput> inputs;  // one per graph input, in the graph's order
  std::vector<MidValue> values;  // every value of the lowering, loop bodies included; values[n].id is n
  std::vector<MidOperation> operations;
  std::vector<MidValueId> outputs;
  std::uint64_t estimated_cost = 0;  // saturating sum over operations

  friend bool operator==(const MidGraph&, const MidGraph&) = default;
};

// What the caller decides. Calls chain: LoweringConfig{4}.with_input(a, f).with_input(b, g).
struct LoweringConfig {
  std::uint16_t tile_count;
  std::map<graph::ValueId, TensorFormat> inputs;
  // Matrix-product precisions to plan, in order of preference for ties.
  std::vector<Precision> gemm_precisions;

  // No input formats, gemm_precisions [F16, F32].
  explicit LoweringConfig(std::uint16_t tiles)
      : tile_count(tiles), gemm_precisions{Precision::F16{}, Precision::F32{}} {}

  // The configuration with `value`'s format set to `format`, replacing an earlier one.
  [[nodiscard]] LoweringConfig with_input(graph::ValueId value, const TensorFormat& format) && {
    inputs.insert_or_assign(value, format);
    return std::move(*this);
  }
  [[nodiscard]] LoweringConfig with_input(graph::ValueId value, const TensorFormat& format) const& {
    return LoweringConfig(*this).with_input(value, format);
  }

  friend bool operator==(const LoweringConfig&, const LoweringConfig&) = default;
};

// The value table of a running lowering: hands out identifiers 0, 1, 2, ... in order of creation.
//
// Identifiers are 32-bit, and the number 2^32 - 1 is kept free as a "no value" marker, so a state
// hands out at most 2^32 - 1 identifiers (`kMaxValues`, or a smaller limit given at construction).
// A value created past the limit is still stored, but the state records that it ran out and hands
// out the limit's last identifier again; lower checks `exhausted()` and reports
// LoweringError::TooManyValues rather than return a graph with colliding identifiers.
class LoweringState {
 public:
  static constexpr std::size_t kMaxValues = std::numeric_limits<std::uint32_t>::max();

  LoweringState() = default;
  // A state that hands out at most `value_limit` identifiers (clamped to 1 ... kMaxValues).
  explicit LoweringState(std::size_t value_limit) noexcept;

  [[nodiscard]] MidValueId value(graph::ValueId origin, TensorType tensor_type);

  // Room for `count` values in all, so that a lowering of known size does not move its table.
  void reserve(std::size_t count) { values_.reserve(count); }

  // The value with identifier `id`. Only identifiers this state handed out are valid; any other
  // throws std::out_of_range (a programming error; lowering never does it).
  [[nodiscard]] const MidValue& get(MidValueId id) const { return values_.at(id.index()); }

  [[nodiscard]] const std::vector<MidValue>& values() const noexcept { return values_; }
  [[nodiscard]] std::vector<MidValue> take_values() && noexcept { return std::move(values_); }
  [[nodiscard]] bool exhausted() const noexcept { return exhausted_; }

 private:
  std::vector<MidValue> values_;
  std::size_t value_limit_ = kMaxValues;
  bool exhausted_ = false;
};

// The error of lowering. It carries identifiers only, no message text.
struct LoweringError {
  // The configuration's tile count is 0.
  struct EmptyTileGroup {
    friend bool operator==(const EmptyTileGroup&, const EmptyTileGroup&) = default;
  };
  // A graph input has no configured format.
  struct MissingInputType {
    graph::ValueId value;
    friend bool operator==(const MissingInputType&, const MissingInputType&) = default;
  };
  // The first result of an operation has no shape in its graph's or region's shape map.
  struct MissingShape {
    graph::ValueId value;
    friend bool operator==(const MissingShape&, const MissingShape&) = default;
  };
  // An operation has no candidate plan (a matrix product without an F16 or F32 precision to
  // plan, an activation without an operand, an addition without operands).
  struct NoCandidate {
    graph::OperationId operation;
    friend bool operator==(const NoCandidate&, const NoCandidate&) = default;
  };
  // A value used by an operation, named as an output, listed in an iterated sequence or yielded
  // by a loop body has no lowered value in scope.
  struct UnknownValue {
    graph::ValueId value;
    friend bool operator==(const UnknownValue&, const UnknownValue&) = default;
  };
  // An operation that the graph's general `operation` let through but that cannot be lowered
  // soundly: one without results, or a loop whose record disagrees with its operands, results,
  // body or the graph's sequences. The graph's own builders never produce one.
  struct MalformedOperation {
    graph::OperationId operation;
    friend bool operator==(const MalformedOperation&, const MalformedOperation&) = default;
  };
  // The lowering would create more values than a MidValueId can number.
  struct TooManyValues {
    friend bool operator==(const TooManyValues&, const TooManyValues&) = default;
  };

  using Variant = std::variant<EmptyTileGroup, MissingInputType, MissingShape, NoCandidate, UnknownValue,
                               MalformedOperation, TooManyValues>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr LoweringError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const LoweringError&, const LoweringError&) = default;
};

// `MidValueId(3)`; `EmptyTileGroup`, `MissingInputType(ValueId(3))`, `NoCandidate(OperationId(0))`.
std::string to_string(MidValueId id);
std::string to_string(const LoweringError& error);
std::ostream& operator<<(std::ostream& out, MidValueId id);
std::ostream& operator<<(std::ostream& out, const LoweringError& error);

}  // namespace vorn_codegen::mid
