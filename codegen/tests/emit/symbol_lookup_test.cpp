#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "vorn/codegen/emit/symbol_lookup.hpp"

namespace vorn_codegen {
namespace {

// More names than cache slots, so slots are shared and entries get replaced: every lookup, first
// or repeated, must still give exactly the table's answer.
TEST(SymbolLookup, RepeatedAndCollidingNamesResolveExactly) {
  SymbolTable table;
  for (std::uint32_t i = 0; i < 1000; ++i) table.emplace("kernel_" + std::to_string(i), 4 * i);
  const detail::SymbolLookup lookup(table);
  for (int pass = 0; pass < 3; ++pass) {
    for (std::uint32_t i = 0; i < 1000; i += 7) {
      SCOPED_TRACE(i);
      EXPECT_EQ(lookup.find("kernel_" + std::to_string(i)), std::optional<std::uint32_t>(4 * i));
    }
  }
  EXPECT_EQ(lookup.find("kernel_"), std::nullopt);
  EXPECT_EQ(lookup.find("kernel_1000"), std::nullopt);
  EXPECT_EQ(lookup.find(""), std::nullopt);
  EXPECT_EQ(lookup.find(std::string("kernel_5\0", 9)), std::nullopt);
  EXPECT_EQ(lookup.find("kernel_5"), std::optional<std::uint32_t>(20));
}

}  // namespace
}  // namespace vorn_codegen
