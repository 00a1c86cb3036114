#include <ostream>
#include <string>
#include <string_view>

#include "vorn/codegen/emit/detail.hpp"
#include "vorn/codegen/emit/error.hpp"
#include "vorn/detail/text.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen {

std::string to_string(const CodegenError& error) {
  using E = CodegenError;
  return std::visit(vorn::detail::overloaded{
                        [](const E::Exchange& e) { return "Exchange(" + vorn_exchange::to_string(e.error) + ")"; },
                        [](const E::Invalid& e) { return "Invalid(" + vorn::detail::quoted(e.message) + ")"; },
                    },
                    error.alternative);
}

std::ostream& operator<<(std::ostream& out, const CodegenError& error) { return out << to_string(error); }

namespace detail {

CodegenError invalid(std::string message) { return CodegenError::Invalid{std::move(message)}; }

std::expected<std::uint32_t, CodegenError> symbol(const SymbolLookup& symbols, std::string_view name) {
  if (const auto found = symbols.find(name)) return *found;
  return std::unexpected(invalid("missing runtime symbol " + std::string(name)));
}

}  // namespace detail
}  // namespace vorn_codegen
