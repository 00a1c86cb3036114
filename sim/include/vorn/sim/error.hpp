// The error of disassembling and simulating a code image.
#pragma once

#include <compare>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>

#include "vorn/detail/variant.hpp"
#include "vorn/exchange.hpp"

namespace vorn_sim {

// Addresses are tile byte addresses; `address` is always the address of the instruction that
// failed.
struct SimError {
  // The image's length in bytes is not a multiple of 4.
  struct TruncatedImage {
    std::size_t length;
    friend auto operator<=>(const TruncatedImage&, const TruncatedImage&) = default;
  };
  // The image, loaded at `code_address`, would reach past the last 32-bit address.
  struct ImageOutOfRange {
    std::uint32_t code_address;
    std::size_t length;
    friend auto operator<=>(const ImageOutOfRange&, const ImageOutOfRange&) = default;
  };
  // The word at `address` is no instruction.
  struct Undecodable {
    std::uint32_t address;
    std::uint32_t word;
    vorn_exchange::DecodeError error;
    friend auto operator<=>(const Undecodable&, const Undecodable&) = default;
  };
  // Control would continue at `target`, where it cannot: outside the image and neither a symbol
  // nor a placed exchange row (for a call), or outside the image and not the completion routine
  // (for a jump or branch). Running past the last word is a jump to the address after it.
  struct InvalidTarget {
    std::uint32_t address;
    std::uint32_t target;
    friend auto operator<=>(const InvalidTarget&, const InvalidTarget&) = default;
  };
  // An ld32 or st32 whose computed address is not a multiple of 4.
  struct UnalignedAccess {
    std::uint32_t address;
    std::uint32_t memory_address;
    friend auto operator<=>(const UnalignedAccess&, const UnalignedAccess&) = default;
  };
  // An ld32 from a word that was never stored and is not part of the image.
  struct UninitializedLoad {
    std::uint32_t address;
    std::uint32_t memory_address;
    friend auto operator<=>(const UninitializedLoad&, const UninitializedLoad&) = default;
  };
  // An st32 into the image itself: the simulator runs the image as loaded and does not follow
  // code that rewrites itself.
  struct StoreIntoCode {
    std::uint32_t address;
    std::uint32_t memory_address;
    friend auto operator<=>(const StoreIntoCode&, const StoreIntoCode&) = default;
  };
  // The run executed `limit` instructions without reaching the completion routine.
  struct StepLimit {
    std::uint64_t limit;
    friend auto operator<=>(const StepLimit&, const StepLimit&) = default;
  };

  using Variant = std::variant<TruncatedImage, ImageOutOfRange, Undecodable, InvalidTarget, UnalignedAccess,
                               UninitializedLoad, StoreIntoCode, StepLimit>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  constexpr SimError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const SimError&, const SimError&) = default;
  friend auto operator<=>(const SimError&, const SimError&) = default;
};

// `InvalidTarget { address: 0x52010, target: 0x99990 }`: addresses and words in hexadecimal,
// lengths and counts in decimal.
std::string to_string(const SimError& error);
std::ostream& operator<<(std::ostream& out, const SimError& error);

}  // namespace vorn_sim
