// Arbitrary, mostly malformed inputs: emit() must return either a well-formed program or one of
// its specified errors, the same one every time, and never crash (the sanitizer build runs this).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit.hpp"
#include "vorn/exchange/decode.hpp"

namespace vorn_codegen {
namespace {

class Random {
 public:
  std::uint32_t below(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % bound;
  }
  bool one_in(std::uint32_t n) { return below(n) == 0; }

  // Mostly values at the edges of some field or of the address space.
  std::uint32_t value() {
    constexpr std::array<std::uint32_t, 12> edges{0,        3,       4,          0xFFFFF,    0x100000,   0x1FFFFC,
                                                  0x200000, 0x50002, 0x7FFFFFFF, 0xFFFFFFF0, 0xFFFFFFFC, 0xFFFFFFFF};
    return one_in(3) ? below(0x80000) * 4 : edges[below(edges.size())];
  }
  std::optional<std::uint32_t> maybe() { return one_in(3) ? std::optional(value()) : std::nullopt; }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

std::vector<std::uint32_t> values(Random& random, std::uint32_t most) {
  std::vector<std::uint32_t> list(random.below(most + 1));
  for (auto& v : list) v = random.value();
  return list;
}

TileStep random_step(Random& random) {
  constexpr std::array<std::string_view, 8> names{"gemm", "gemm", "conv", "conv",
                                                  "gemm", "",     "gem",  "vornkit_static_complete"};
  const StepProfile profile{random.maybe(), random.maybe()};
  if (random.one_in(2)) {
    constexpr std::array<std::size_t, 12> lengths{9, 9, 9, 9, 9, 9, 9, 9, 9, 0, 8, 10};
    std::vector<std::uint32_t> row(lengths[random.below(lengths.size())], 0);
    if (!row.empty() && random.one_in(2)) row.front() = INACTIVE_EXCHANGE_WORD;
    return ExchangeStep{random.one_in(8) ? random.value() : 0x60000 + 4 * random.below(64), row, profile};
  }
  // Mostly 1 to 7 values; now and then none or too many.
  const std::uint32_t most = random.one_in(8) ? 12 : 4;
  std::vector<std::uint32_t> inputs = values(random, most);
  if (inputs.empty() && !random.one_in(8)) inputs.push_back(random.value());
  return ComputeStep{std::string(names[random.below(names.size())]), random.value(), std::move(inputs),
                     values(random, random.one_in(2) ? 0 : 3), profile};
}

std::vector<HostPhase> random_phases(Random& random) {
  std::vector<HostPhase> phases(random.below(4));
  for (auto& phase : phases) {
    phase = {random.one_in(2) ? 0x60000u : random.value(), random.one_in(2),
             random.one_in(8) ? std::nullopt : std::optional(random.value())};
  }
  return phases;
}

SymbolTable random_symbols(Random& random) {
  SymbolTable symbols = testing::runtime_symbols();
  symbols.emplace("conv", 0x51100);
  for (auto it = symbols.begin(); it != symbols.end();) {
    if (random.one_in(40)) {
      it = symbols.erase(it);
    } else {
      if (random.one_in(40)) it->second = random.value();
      ++it;
    }
  }
  return symbols;
}

bool is_specified(const CodegenError& error) {
  if (std::holds_alternative<CodegenError::Exchange>(error.alternative)) return true;
  const std::string& message = std::get<CodegenError::Invalid>(error.alternative).message;
  constexpr std::array<std::string_view, 9> prefixes{
      "invocation count must be nonzero",
      "exchange row address is not word aligned",
      "exchange row has ",
      "compute symbol is empty",
      "kernel ",
      "missing runtime symbol ",
      "tile ",
      "active host phase has no run table",
      "generated code address overflow",
  };
  for (const std::string_view prefix : prefixes) {
    if (message.starts_with(prefix)) return true;
  }
  return false;
}

TEST(EmitRobustness, ArbitraryInputsGiveAWellFormedProgramOrASpecifiedError) {
  Random random;
  int succeeded = 0;
  for (int round = 0; round < 3000; ++round) {
    TileProgram program{static_cast<std::uint16_t>(random.below(0x10000)), {}};
    for (std::uint32_t n = random.below(6); n > 0; --n) program.steps.push_back(random_step(random));
    const HostProgram host{random_phases(random), random_phases(random), random_phases(random)};
    const CodegenOptions options{random.one_in(4) ? random.value() : 0x52000,
                                 random.one_in(4) ? random.value() : 1 + random.below(3), random.maybe(),
                                 random.maybe()};
    const SymbolTable symbols = random_symbols(random);
    SCOPED_TRACE(round);

    const auto generated = emit(program, symbols, host, options);
    EXPECT_EQ(generated, emit(program, symbols, host, options));
    if (!generated) {
      EXPECT_TRUE(is_specified(generated.error())) << generated.error();
      continue;
    }
    ++succeeded;
    ASSERT_EQ(generated->bytes.size() % 4, 0u);
    for (std::size_t i = 0; i < generated->bytes.size(); i += 4) {
      const std::uint8_t* b = generated->bytes.data() + i;
      const std::uint32_t word = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
      if (word != EXCHANGE_PREFIX_WORD) {
        EXPECT_TRUE(vorn_exchange::decode(word).has_value()) << std::hex << word;
      }
    }
    std::vector<PlacedExchangeRow> rows;
    for (const TileStep& step : program.steps) {
      if (const auto* exchange = std::get_if<ExchangeStep>(&step.alternative)) {
        rows.push_back({exchange->address, exchange->row});
      }
    }
    EXPECT_EQ(generated->exchange_rows, rows);
  }
  // The inputs must also reach the end of emission often, or the checks above prove little.
  EXPECT_GT(succeeded, 600);
}

}  // namespace
}  // namespace vorn_codegen
