#include <sstream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fixtures.hpp"
#include "vorn/codegen/emit.hpp"
#include "vorn/codegen/emit/detail.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen {
namespace {

using testing::invalid;
using testing::schedule;
using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;

TEST(Model, DefaultsAreOneInvocationAtAddressZeroWithNothingOptional) {
  const CodegenOptions options;
  EXPECT_EQ(options.code_address, 0u);
  EXPECT_EQ(options.invocations, 1u);
  EXPECT_FALSE(options.initial_profile_address.has_value());
  EXPECT_FALSE(options.final_profile_address.has_value());
  EXPECT_EQ(StepProfile{}, (StepProfile{std::nullopt, std::nullopt}));
  const HostProgram host;
  EXPECT_TRUE(host.initialize.empty() && host.inputs.empty() && host.outputs.empty());
}

TEST(CodegenError, TextFormNamesTheVariantAndQuotesTheMessage) {
  const struct {
    CodegenError error;
    std::string text;
  } cases[] = {
      {invalid("compute symbol is empty"), R"(Invalid("compute symbol is empty"))"},
      {invalid("say \"hi\"\n"), R"(Invalid("say \"hi\"\n"))"},
      {schedule("call operand"), R"(Exchange(Schedule("call operand")))"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_string(c.error), c.text);
    std::ostringstream out;
    out << c.error;
    EXPECT_EQ(out.str(), c.text);
  }
}

TEST(CodegenError, WrapsAnEncoderErrorUnchanged) {
  const vorn_exchange::ExchangeError encoder = vorn_exchange::ExchangeError::Schedule{"brz operand"};
  const CodegenError wrapped = encoder;
  const auto* exchange = std::get_if<CodegenError::Exchange>(&wrapped.alternative);
  ASSERT_NE(exchange, nullptr);
  EXPECT_EQ(exchange->error, encoder);
  EXPECT_EQ(detail::invalid("x"), invalid("x"));
}

TEST(Symbol, ResolvesByExactNameOrNamesTheMissingRoutine) {
  const SymbolTable symbols = testing::runtime_symbols();
  EXPECT_THAT(detail::symbol(symbols, "vornkit_static_sample_cycle"), IsOkAndHolds(0x50010u));
  EXPECT_THAT(detail::symbol(symbols, "gemm"), IsOkAndHolds(0x51000u));
  EXPECT_THAT(detail::symbol(symbols, "vornkit_static"), FailsWith(invalid("missing runtime symbol vornkit_static")));
  EXPECT_THAT(detail::symbol(SymbolTable{}, "vornkit_static_complete"),
              FailsWith(invalid("missing runtime symbol vornkit_static_complete")));
}

TEST(ActiveExchange, OnlyTheInactiveFirstWordMakesARowInactive) {
  const struct {
    const char* name;
    TileStep step;
    bool active;
  } cases[] = {
      {"inactive first word", ExchangeStep{0x60000, {0x40c00000, 1, 2, 3, 4, 5, 6, 7, 8}}, false},
      {"first word zero", ExchangeStep{0x60000, testing::row(0)}, true},
      {"inactive word later in the row", ExchangeStep{0x60000, {1, 0x40c00000}}, true},
      {"empty row", ExchangeStep{0x60000, {}}, true},
      {"compute step", ComputeStep{"gemm", 0x70000, {0x71000}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(active_exchange(c.step), c.active);
  }
}

}  // namespace
}  // namespace vorn_codegen
