#include <cstddef>
#include <string>

#include "vorn/codegen/emit/detail.hpp"

namespace vorn_codegen::detail {

Status emit_compute(TileCode& code, std::uint16_t tile, const ComputeStep& compute, const SymbolLookup& symbols) {
  constexpr std::size_t kLastRegisterNumber = 255;  // register numbers are 8-bit
  constexpr std::size_t kFirstInputRegister = 3;

  const std::size_t inputs = compute.input_addresses.size();
  if (inputs > kLastRegisterNumber) return std::unexpected(invalid("kernel input count exceeds u8"));
  const std::size_t argument_base = kFirstInputRegister + inputs;
  if (argument_base > kLastRegisterNumber) return std::unexpected(invalid("kernel input register overflow"));

  if (auto loaded = code.setzi(2, compute.output_address); !loaded) return loaded;
  for (std::size_t i = 0; i < inputs; ++i) {
    const auto register_ = static_cast<std::uint8_t>(kFirstInputRegister + i);  // at most 254, checked above
    if (auto loaded = code.setzi(register_, compute.input_addresses[i]); !loaded) return loaded;
  }
  for (std::size_t j = 0; j < compute.arguments.size(); ++j) {
    if (j > kLastRegisterNumber) return std::unexpected(invalid("kernel argument count exceeds u8"));
    // Registers count up from argument_base one at a time, so register 16 is reached, and
    // rejected by the encoder, long before a number past 255 could be formed.
    const auto register_ = static_cast<std::uint8_t>(argument_base + j);
    if (auto loaded = code.setzi(register_, compute.arguments[j]); !loaded) return loaded;
  }

  const auto kernel = symbols.find(compute.symbol);
  if (!kernel) {
    return std::unexpected(
        invalid("tile " + std::to_string(tile) + " references missing kernel symbol " + compute.symbol));
  }
  return code.call(*kernel, 10);
}

}  // namespace vorn_codegen::detail
