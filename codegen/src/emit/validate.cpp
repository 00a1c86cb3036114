#include <string>

#include "vorn/codegen/emit/detail.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen::detail {
namespace {

Status validate_exchange(const ExchangeStep& step) {
  if (step.address % 4 != 0) return std::unexpected(invalid("exchange row address is not word aligned"));
  if (step.row.size() != EXCHANGE_ROW_WORDS) {
    return std::unexpected(invalid("exchange row has " + std::to_string(step.row.size()) + " words, expected " +
                                   std::to_string(EXCHANGE_ROW_WORDS)));
  }
  return {};
}

Status validate_compute(const ComputeStep& step) {
  if (step.symbol.empty()) return std::unexpected(invalid("compute symbol is empty"));
  // The lower bound is on the inputs alone: a kernel always gets at least one input address.
  // Adding the two sizes cannot overflow: both are sizes of live vectors.
  const std::size_t values = step.input_addresses.size() + step.arguments.size();
  if (step.input_addresses.empty() || values > KERNEL_REGISTER_COUNT) {
    return std::unexpected(invalid("kernel " + step.symbol + " needs " + std::to_string(values) +
                                   " input/argument registers; 1..=" + std::to_string(KERNEL_REGISTER_COUNT) +
                                   " are supported"));
  }
  return {};
}

}  // namespace

Status validate(const TileProgram& program) {
  for (const TileStep& step : program.steps) {
    const Status checked = std::visit(vorn::detail::overloaded{
                                          [](const ExchangeStep& exchange) { return validate_exchange(exchange); },
                                          [](const ComputeStep& compute) { return validate_compute(compute); },
                                      },
                                      step.alternative);
    if (!checked) return checked;
  }
  return {};
}

}  // namespace vorn_codegen::detail
