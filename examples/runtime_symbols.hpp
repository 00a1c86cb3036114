// The symbol table of the emission examples: where the caller has placed the five runtime
// routines and the `gemm` kernel in tile memory.
#pragma once

#include "vorn/codegen/emit.hpp"

namespace vorn_examples {

inline vorn_codegen::SymbolTable runtime_symbols() {
  return {
      {"vornkit_static_worker_barrier", 0x50000}, {"vornkit_static_complete", 0x50004},
      {"vornkit_static_host_run", 0x50008},       {"vornkit_static_repeat_call", 0x5000c},
      {"vornkit_static_sample_cycle", 0x50010},   {"gemm", 0x51000},
  };
}

}  // namespace vorn_examples
