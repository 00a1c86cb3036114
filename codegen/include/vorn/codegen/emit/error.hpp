// CodegenError: the one error of tile program emission.
#pragma once

#include <compare>
#include <ostream>
#include <string>
#include <utility>
#include <variant>

#include "vorn/detail/variant.hpp"
#include "vorn/exchange.hpp"

namespace vorn_codegen {

struct CodegenError {
  // An instruction encoder rejected an operand; its error is kept unchanged.
  struct Exchange {
    vorn_exchange::ExchangeError error;
    friend bool operator==(const Exchange&, const Exchange&) = default;
    friend auto operator<=>(const Exchange&, const Exchange&) = default;
  };
  // A malformed input, an unresolved symbol, or a size or address limit of the generated code.
  struct Invalid {
    std::string message;
    friend bool operator==(const Invalid&, const Invalid&) = default;
    friend auto operator<=>(const Invalid&, const Invalid&) = default;
  };

  using Variant = std::variant<Exchange, Invalid>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  CodegenError(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  // Every encoder failure reaches the caller through this conversion, wrapped as Exchange.
  CodegenError(vorn_exchange::ExchangeError error) : alternative(Exchange{error}) {}  // NOLINT: implicit by design

  friend bool operator==(const CodegenError&, const CodegenError&) = default;
  friend auto operator<=>(const CodegenError&, const CodegenError&) = default;
};

// `Invalid("compute symbol is empty")`, `Exchange(Schedule("call operand"))`.
std::string to_string(const CodegenError& error);
std::ostream& operator<<(std::ostream& out, const CodegenError& error);

}  // namespace vorn_codegen
