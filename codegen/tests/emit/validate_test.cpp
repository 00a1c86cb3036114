#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit/detail.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen {
namespace {

using testing::row;
using vorn::testing::FailsWith;
using vorn::testing::IsOk;

ComputeStep kernel(std::string symbol, std::size_t inputs, std::size_t arguments) {
  return {std::move(symbol), 0x70000, std::vector<std::uint32_t>(inputs, 0x71000),
          std::vector<std::uint32_t>(arguments, 0x40)};
}

TEST(Validate, AcceptsWellFormedStepsAndReportsTheFirstBrokenRule) {
  const ExchangeStep good_row{0x60000, row(0x40c00000)};
  const struct {
    const char* name;
    std::vector<TileStep> steps;
    std::optional<std::string> error;
  } cases[] = {
      {"no steps", {}, std::nullopt},
      {"row of nine arbitrary words", {ExchangeStep{0x60000, {1, 2, 3, 4, 5, 6, 7, 8, 9}}}, std::nullopt},
      {"two inputs and one argument", {ComputeStep{"gemm", 0x70000, {0x71000, 0x72000}, {0x40}}}, std::nullopt},
      {"seven inputs", {kernel("gemm", 7, 0)}, std::nullopt},
      {"one input and six arguments", {kernel("gemm", 1, 6)}, std::nullopt},
      {"alignment is checked before length", {ExchangeStep{3, {}}}, "exchange row address is not word aligned"},
      {"row address 0xFFFFFFFE", {ExchangeStep{0xFFFFFFFE, row(0)}}, "exchange row address is not word aligned"},
      {"empty row", {ExchangeStep{0x60000, {}}}, "exchange row has 0 words, expected 9"},
      {"row of 8 words",
       {ExchangeStep{0x60000, std::vector<std::uint32_t>(8)}},
       "exchange row has 8 words, expected 9"},
      {"row of 10 words",
       {ExchangeStep{0x60000, std::vector<std::uint32_t>(10)}},
       "exchange row has 10 words, expected 9"},
      {"row of a million words",
       {ExchangeStep{0x60000, std::vector<std::uint32_t>(1000000)}},
       "exchange row has 1000000 words, expected 9"},
      {"eight values", {kernel("gemm", 4, 4)}, "kernel gemm needs 8 input/argument registers; 1..=7 are supported"},
      {"no values", {kernel("gemm", 0, 0)}, "kernel gemm needs 0 input/argument registers; 1..=7 are supported"},
      {"arguments without an input",
       {kernel("gemm", 0, 1)},
       "kernel gemm needs 1 input/argument registers; 1..=7 are supported"},
      {"many values",
       {kernel("conv", 300, 70000)},
       "kernel conv needs 70300 input/argument registers; 1..=7 are supported"},
      {"empty symbol wins over the register count", {kernel("", 0, 9)}, "compute symbol is empty"},
      {"first broken step is reported",
       {good_row, kernel("gemm", 8, 0), ExchangeStep{3, {}}},
       "kernel gemm needs 8 input/argument registers; 1..=7 are supported"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TileProgram program{7, c.steps};
    if (c.error) {
      EXPECT_THAT(detail::validate(program), FailsWith(testing::invalid(*c.error)));
    } else {
      EXPECT_THAT(detail::validate(program), IsOk());
    }
  }
}

}  // namespace
}  // namespace vorn_codegen
