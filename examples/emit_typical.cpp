// Emits one tile's program: an exchange row that needs no barrier, then a call of the `gemm`
// kernel with two input addresses and one argument. Prints the nine instruction words, the row to
// place at 0x60000, and the calls the code makes when run on the tile simulator.

#include <cstdio>
#include <vector>

#include "print_program.hpp"
#include "runtime_symbols.hpp"
#include "vorn/codegen/emit.hpp"

int main() {
  using namespace vorn_codegen;

  const SymbolTable symbols = vorn_examples::runtime_symbols();
  std::vector<std::uint32_t> row(EXCHANGE_ROW_WORDS, 0);
  row.front() = INACTIVE_EXCHANGE_WORD;
  const TileProgram program{
      .tile = 7,
      .steps = {ExchangeStep{.address = 0x60000, .row = row}, ComputeStep{.symbol = "gemm",
                                                                          .output_address = 0x70000,
                                                                          .input_addresses = {0x71000, 0x72000},
                                                                          .arguments = {0x40}}},
  };
  const CodegenOptions options{.code_address = 0x52000};

  const auto generated = emit(program, symbols, HostProgram{}, options);
  if (!generated) {
    std::printf("emission failed: %s\n", to_string(generated.error()).c_str());
    return 1;
  }
  vorn_examples::print_program(*generated, options.code_address, symbols);
  return 0;
}
