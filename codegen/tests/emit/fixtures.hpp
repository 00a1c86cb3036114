// Shared values of the emission tests: the runtime table that the worked examples use, and short
// constructors for the expected errors.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vorn/codegen/emit.hpp"
#include "vorn/codegen/emit/detail.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_codegen::testing {

// The five runtime routines and one kernel, at the addresses every worked example assumes.
inline SymbolTable runtime_symbols() {
  return {
      {"vornkit_static_worker_barrier", 0x50000}, {"vornkit_static_complete", 0x50004},
      {"vornkit_static_host_run", 0x50008},       {"vornkit_static_repeat_call", 0x5000c},
      {"vornkit_static_sample_cycle", 0x50010},   {"gemm", 0x51000},
  };
}

inline SymbolTable without(SymbolTable symbols, std::string_view name) {
  symbols.erase(std::string(name));
  return symbols;
}

inline SymbolTable with(SymbolTable symbols, std::string name, std::uint32_t address) {
  symbols.insert_or_assign(std::move(name), address);
  return symbols;
}

inline CodegenError invalid(std::string message) { return CodegenError::Invalid{std::move(message)}; }

inline CodegenError schedule(std::string_view message) {
  return CodegenError::Exchange{vorn_exchange::ExchangeError::Schedule{message}};
}

inline std::vector<std::uint32_t> row(std::uint32_t first) {
  std::vector<std::uint32_t> words(EXCHANGE_ROW_WORDS, 0);
  words.front() = first;
  return words;
}

// Checks that an operation succeeded, or failed with `error` when one is expected.
inline void expect_outcome(const detail::Status& result, const std::optional<CodegenError>& error) {
  if (error) {
    EXPECT_THAT(result, vorn::testing::FailsWith(*error));
  } else {
    EXPECT_THAT(result, vorn::testing::IsOk());
  }
}

}  // namespace vorn_codegen::testing
