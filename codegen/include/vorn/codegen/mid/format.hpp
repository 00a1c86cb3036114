// Tensor formats: the precision and layout every lowered value carries.
//
// All types here are plain values, compared on every field and (except TensorType) totally
// ordered field by field in declaration order. The order is behaviour, not decoration: the
// candidate plans of an addition are taken in ascending TensorFormat order and ties go to the
// earliest. It follows from the declarations alone (defaulted <=>, std::variant ordering by
// alternative position, then by value), so the declaration order below must not change.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "vorn/codegen/graph/types.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen::mid {

// The numeric type of a tensor's elements. Two F8F143 precisions with different scales are
// different precisions; nothing else interprets the scale.
struct Precision {
  struct F8F143 {
    std::int8_t scale = 0;
    friend constexpr auto operator<=>(const F8F143&, const F8F143&) = default;
  };
  struct F16 {
    friend constexpr auto operator<=>(const F16&, const F16&) = default;
  };
  struct F32 {
    friend constexpr auto operator<=>(const F32&, const F32&) = default;
  };

  using Variant = std::variant<F8F143, F16, F32>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr Precision(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  // Size of one element: 1, 2 or 4.
  [[nodiscard]] constexpr std::size_t bytes() const noexcept {
    constexpr std::size_t kBytes[] = {1, 2, 4};
    return kBytes[alternative.index()];
  }

  friend constexpr auto operator<=>(const Precision&, const Precision&) = default;
};

// The precision a kernel accumulates in.
enum class AccumulationPrecision : std::uint8_t { F16, F32 };

// How a tensor is split over the tiles of its group.
enum class Sharding : std::uint8_t { Replicated, Rows, Columns, Heads };

// The element order of a matrix-product operand: Left for the left operand, Right for the right
// one, Output for the product.
struct AmpOrder {
  struct Left {
    std::uint16_t inner = 0;
    friend constexpr auto operator<=>(const Left&, const Left&) = default;
  };
  struct Right {
    std::uint16_t inner = 0;
    std::uint16_t columns = 0;
    friend constexpr auto operator<=>(const Right&, const Right&) = default;
  };
  struct Output {
    std::uint16_t columns = 0;
    friend constexpr auto operator<=>(const Output&, const Output&) = default;
  };

  using Variant = std::variant<Left, Right, Output>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr AmpOrder(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend constexpr auto operator<=>(const AmpOrder&, const AmpOrder&) = default;
};

// Element order within a tensor. The Amp alternative is the AmpOrder itself.
struct ElementOrder {
  struct RowMajor {
    friend constexpr auto operator<=>(const RowMajor&, const RowMajor&) = default;
  };
  using Amp = AmpOrder;

  using Variant = std::variant<RowMajor, Amp>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr ElementOrder(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend constexpr auto operator<=>(const ElementOrder&, const ElementOrder&) = default;
};

struct Storage {
  struct Contiguous {
    friend constexpr auto operator<=>(const Contiguous&, const Contiguous&) = default;
  };
  struct Interleaved {
    std::uint16_t grain_bytes = 0;
    friend constexpr auto operator<=>(const Interleaved&, const Interleaved&) = default;
  };

  using Variant = std::variant<Contiguous, Interleaved>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr Storage(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend constexpr auto operator<=>(const Storage&, const Storage&) = default;
};

// Where and in what arrangement a tensor's elements lie. The cost model reads only sharding and
// tile_count; every other field matters through equality (a difference means a rearrangement).
struct Layout {
  ElementOrder order;
  Sharding sharding;
  std::uint16_t tile_count;
  Storage storage;
  std::uint16_t alignment;

  friend constexpr auto operator<=>(const Layout&, const Layout&) = default;
};

struct TensorFormat {
  Precision precision;
  Layout layout;

  friend constexpr auto operator<=>(const TensorFormat&, const TensorFormat&) = default;
};

// A value's shape and format. Unordered; equal when shape and format are.
struct TensorType {
  graph::TensorShape shape;
  TensorFormat format;

  friend bool operator==(const TensorType&, const TensorType&) = default;
};

// The layouts the kernel plans use. None validates its arguments (a tile count of 0 is accepted;
// lower rejects a configured tile count of 0).
[[nodiscard]] constexpr Layout row_major(Sharding sharding, std::uint16_t tile_count) noexcept {
  return {ElementOrder::RowMajor{}, sharding, tile_count, Storage::Contiguous{}, 8};
}
[[nodiscard]] constexpr Layout amp_left(std::uint16_t inner, std::uint16_t tile_count) noexcept {
  return {AmpOrder{AmpOrder::Left{inner}}, Sharding::Rows, tile_count, Storage::Contiguous{}, 8};
}
[[nodiscard]] constexpr Layout amp_right(std::uint16_t inner, std::uint16_t tile_count) noexcept {
  return {AmpOrder{AmpOrder::Right{inner, 16}}, Sharding::Columns, tile_count, Storage::Interleaved{8}, 8};
}
[[nodiscard]] constexpr Layout amp_output(std::uint16_t tile_count) noexcept {
  return {AmpOrder{AmpOrder::Output{16}}, Sharding::Rows, tile_count, Storage::Contiguous{}, 8};
}

// Diagnostic text forms: the type or variant name, then the fields in declaration order, named
// ones in braces (`name: value`), an unnamed payload in parentheses:
//   Rows
//   Right { inner: 8, columns: 16 }
//   Amp(Output { columns: 16 })
//   Interleaved { grain_bytes: 8 }
//   Layout { order: RowMajor, sharding: Rows, tile_count: 4, storage: Contiguous, alignment: 8 }
// Precision (`F16`, `F8F143 { scale: -1 }`) and AccumulationPrecision (`F32`) print the same
// way, for readable dumps and test messages.
std::string to_string(Sharding sharding);
std::string to_string(const AmpOrder& order);
std::string to_string(const ElementOrder& order);
std::string to_string(const Storage& storage);
std::string to_string(const Layout& layout);
std::string to_string(const Precision& precision);
std::string to_string(AccumulationPrecision precision);

std::ostream& operator<<(std::ostream& out, Sharding sharding);
std::ostream& operator<<(std::ostream& out, const AmpOrder& order);
std::ostream& operator<<(std::ostream& out, const ElementOrder& order);
std::ostream& operator<<(std::ostream& out, const Storage& storage);
std::ostream& operator<<(std::ostream& out, const Layout& layout);
std::ostream& operator<<(std::ostream& out, const Precision& precision);
std::ostream& operator<<(std::ostream& out, AccumulationPrecision precision);

}  // namespace vorn_codegen::mid
