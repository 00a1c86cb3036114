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

// Past 16 bytes the cache key sees only the length and both ends of a name: names that differ in
// the middle alone share a slot and must still be told apart.
TEST(SymbolLookup, LongNamesThatDifferOnlyInTheMiddleStayApart) {
  const SymbolTable table{
      {"vornkit_AAAA_static_x", 0x100}, {"vornkit_BBBB_static_x", 0x200}, {std::string("\0ab", 3), 0x300}};
  const detail::SymbolLookup lookup(table);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(lookup.find("vornkit_AAAA_static_x"), std::optional<std::uint32_t>(0x100));
    EXPECT_EQ(lookup.find("vornkit_BBBB_static_x"), std::optional<std::uint32_t>(0x200));
    EXPECT_EQ(lookup.find("vornkit_CCCC_static_x"), std::nullopt);
  }
  // Short names are packed into one word; a leading NUL byte must still count.
  EXPECT_EQ(lookup.find(std::string_view("\0ab", 3)), std::optional<std::uint32_t>(0x300));
  EXPECT_EQ(lookup.find("ab"), std::nullopt);
}

}  // namespace
}  // namespace vorn_codegen
