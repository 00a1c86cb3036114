// Readable view of a generated program, shared by the emission examples: the disassembled code,
// the exchange rows to place, and what the code does when run on the tile simulator (every call
// it makes, with its arguments).
#pragma once

#include <cstdint>
#include <cstdio>

#include "vorn/codegen/emit.hpp"
#include "vorn/sim.hpp"

namespace vorn_examples {

inline void print_program(const vorn_codegen::GeneratedProgram& program, std::uint32_t code_address,
                          const vorn_codegen::SymbolTable& symbols) {
  const auto listing = vorn_sim::disassemble(program, code_address, symbols);
  if (!listing) {
    std::printf("cannot list the code: %s\n", to_string(listing.error()).c_str());
    return;
  }
  std::printf("code: %zu words (%zu bytes) at 0x%x\n", listing->size(), program.bytes.size(),
              static_cast<unsigned>(code_address));
  for (const auto& line : *listing) std::printf("  %s\n", line.c_str());

  std::printf("exchange rows: %zu\n", program.exchange_rows.size());
  for (const auto& row : program.exchange_rows) {
    std::printf("  %08x: ", static_cast<unsigned>(row.address));
    for (const std::uint32_t word : row.words) std::printf(" %08x", static_cast<unsigned>(word));
    std::printf("\n");
  }

  const auto run = vorn_sim::simulate(program, code_address, symbols);
  if (!run) {
    std::printf("simulation failed: %s\n", to_string(run.error()).c_str());
    return;
  }
  std::printf("simulated run: %llu instructions\n", static_cast<unsigned long long>(run->steps));
  for (const auto& event : run->trace) std::printf("  %s\n", to_string(event).c_str());
}

}  // namespace vorn_examples
