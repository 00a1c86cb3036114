// Emits a program that runs its steps three times: host phases before the loop and around every
// invocation, an exchange row that waits at the worker barrier, a kernel call, and cycle samples
// at the start and end of each invocation and around the exchange. The simulated trace shows the
// three invocations one after the other.

#include <cstdio>
#include <vector>

#include "print_program.hpp"
#include "runtime_symbols.hpp"
#include "vorn/codegen/emit.hpp"

int main() {
  using namespace vorn_codegen;

  const SymbolTable symbols = vorn_examples::runtime_symbols();
  // A row whose first word is not the inactive marker: the tile waits at the barrier first.
  const std::vector<std::uint32_t> row{0x40800000, 1, 2, 3, 4, 5, 6, 7, 8};
  const TileProgram program{
      .tile = 3,
      .steps = {ExchangeStep{.address = 0x60000, .row = row, .profile = {.before = 0x80008, .after = 0x8000c}},
                ComputeStep{.symbol = "gemm", .output_address = 0x70000, .input_addresses = {0x71000}}},
  };
  const HostProgram host{
      // Two inactive phases become one repeat call; two active phases at one address one host run.
      .initialize = {HostPhase{.address = 0x90000}, HostPhase{.address = 0x90400}},
      .inputs = {HostPhase{.address = 0x94000, .active = true, .run_table = 0x95000},
                 HostPhase{.address = 0x94000, .active = true, .run_table = 0x95000}},
      .outputs = {HostPhase{.address = 0x96000, .active = true, .run_table = 0x97000}},
  };
  const CodegenOptions options{
      .code_address = 0x52000,
      .invocations = 3,
      .initial_profile_address = 0x80000,
      .final_profile_address = 0x80004,
  };

  const auto generated = emit(program, symbols, host, options);
  if (!generated) {
    std::printf("emission failed: %s\n", to_string(generated.error()).c_str());
    return 1;
  }
  vorn_examples::print_program(*generated, options.code_address, symbols);
  return 0;
}
