// Seeing what generated tile code does: a disassembler and a tile simulator (module vorn_sim).
//
//   disassemble(bytes, code_address, symbols)  a listing, one line per word
//   simulate(bytes, code_address, rows, symbols)  the trace of the calls the code makes
#pragma once

#include "vorn/sim/disassemble.hpp"  // IWYU pragma: export
#include "vorn/sim/error.hpp"        // IWYU pragma: export
#include "vorn/sim/simulate.hpp"     // IWYU pragma: export
#include "vorn/sim/symbols.hpp"      // IWYU pragma: export
#include "vorn/sim/trace.hpp"        // IWYU pragma: export
