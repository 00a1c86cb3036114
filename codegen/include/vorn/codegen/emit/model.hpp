// The values that cross the emission boundary: what a caller hands to emit() and what it gets
// back. All are plain aggregates owned by the caller; emit() only reads its inputs.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "vorn/detail/variant.hpp"

namespace vorn_codegen {

// Words in every exchange row.
inline constexpr std::size_t EXCHANGE_ROW_WORDS = 9;
// Registers 3 to 9 carry a kernel's input addresses and arguments together.
inline constexpr std::size_t KERNEL_REGISTER_COUNT = 7;
// First word of an exchange row that needs no barrier.
inline constexpr std::uint32_t INACTIVE_EXCHANGE_WORD = 0x40c00000;
// Raw word written first in the code of every exchange step, active or not.
inline constexpr std::uint32_t EXCHANGE_PREFIX_WORD = 0x41800003;

// Symbol name to tile address, for the runtime routines and the kernels alike. The transparent
// comparator lets lookups by std::string_view go without building a std::string.
using SymbolTable = std::map<std::string, std::uint32_t, std::less<>>;

// Optional cycle samples around one step, each the address handed to the sample routine.
struct StepProfile {
  std::optional<std::uint32_t> before{};
  std::optional<std::uint32_t> after{};
  friend auto operator<=>(const StepProfile&, const StepProfile&) = default;
};

// Runs one exchange row, placed at `address` (a multiple of 4), as a subroutine. The row is
// copied unchanged into the result; it must hold EXCHANGE_ROW_WORDS words. A row whose first
// word is INACTIVE_EXCHANGE_WORD needs no barrier before it.
struct ExchangeStep {
  std::uint32_t address = 0;
  std::vector<std::uint32_t> row{};
  StepProfile profile{};
  friend auto operator<=>(const ExchangeStep&, const ExchangeStep&) = default;
};

// Calls the kernel named `symbol` with `output_address` in register 2 and the input addresses,
// then the arguments, in registers 3 onward. At least one input address; inputs and arguments
// together at most KERNEL_REGISTER_COUNT.
struct ComputeStep {
  std::string symbol{};
  std::uint32_t output_address = 0;
  std::vector<std::uint32_t> input_addresses{};
  std::vector<std::uint32_t> arguments{};
  StepProfile profile{};
  friend auto operator<=>(const ComputeStep&, const ComputeStep&) = default;
};

// One step of a tile program: ExchangeStep and ComputeStep are the alternatives themselves, so
// `TileStep{ComputeStep{...}}` needs no second wrapper. Inspect with std::get_if on `alternative`.
struct TileStep {
  using Exchange = ExchangeStep;
  using Compute = ComputeStep;
  using Variant = std::variant<Exchange, Compute>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  TileStep(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const TileStep&, const TileStep&) = default;
  friend auto operator<=>(const TileStep&, const TileStep&) = default;
};

// The steps one tile runs, in order, on every invocation. `tile` only names the tile in the
// message for a missing kernel.
struct TileProgram {
  std::uint16_t tile = 0;
  std::vector<TileStep> steps{};
  friend bool operator==(const TileProgram&, const TileProgram&) = default;
};

// A host phase: active ones run through "vornkit_static_host_run" with their run table (which
// must be present on the first phase of each run), inactive ones through
// "vornkit_static_repeat_call".
struct HostPhase {
  std::uint32_t address = 0;
  bool active = false;
  std::optional<std::uint32_t> run_table{};
  friend auto operator<=>(const HostPhase&, const HostPhase&) = default;
};

// The host phases around the steps: `initialize` once before the invocation loop, `inputs` at the
// start and `outputs` at the end of every invocation.
struct HostProgram {
  std::vector<HostPhase> initialize{};
  std::vector<HostPhase> inputs{};
  std::vector<HostPhase> outputs{};
  friend bool operator==(const HostProgram&, const HostProgram&) = default;
};

struct CodegenOptions {
  // Load address of the code image; the code's own addresses (loop start and exit) are computed
  // from it, so the image is valid only there.
  std::uint32_t code_address = 0;
  // How many times the steps run per start of the code. Must not be 0.
  std::uint32_t invocations = 1;
  // Cycle samples at the start and at the end of every invocation.
  std::optional<std::uint32_t> initial_profile_address{};
  std::optional<std::uint32_t> final_profile_address{};
  friend bool operator==(const CodegenOptions&, const CodegenOptions&) = default;
};

// An exchange row and the address where the caller must place it before the code runs.
struct PlacedExchangeRow {
  std::uint32_t address = 0;
  std::vector<std::uint32_t> words{};
  friend bool operator==(const PlacedExchangeRow&, const PlacedExchangeRow&) = default;
};

// The result of emit(): the code image (each word least significant byte first, to be loaded at
// CodegenOptions::code_address) and one placed row per exchange step, in step order.
struct GeneratedProgram {
  std::vector<std::uint8_t> bytes{};
  std::vector<PlacedExchangeRow> exchange_rows{};
  friend bool operator==(const GeneratedProgram&, const GeneratedProgram&) = default;
};

}  // namespace vorn_codegen
