// Test fixtures: code images written as words, and the runtime symbol table they call.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "vorn/sim/symbols.hpp"

namespace vorn_sim::testing {

// The little-endian image of `words`.
inline std::vector<std::uint8_t> image_of(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> bytes;
  for (const auto word : words) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(word >> shift));
  }
  return bytes;
}

inline const SymbolTable kRuntime{
    {"vornkit_static_worker_barrier", 0x50000}, {"vornkit_static_complete", 0x50004},
    {"vornkit_static_host_run", 0x50008},       {"vornkit_static_repeat_call", 0x5000c},
    {"vornkit_static_sample_cycle", 0x50010},   {"gemm", 0x51000},
};

}  // namespace vorn_sim::testing
