#include "vorn/codegen/mid/model.hpp"

#include <algorithm>
#include <string>

namespace vorn_codegen::mid {

LoweringState::LoweringState(std::size_t value_limit) noexcept
    : value_limit_(std::clamp<std::size_t>(value_limit, 1, kMaxValues)) {}

MidValueId LoweringState::value(graph::ValueId origin, TensorType tensor_type) {
  std::size_t number = values_.size();
  if (number >= value_limit_) {
    exhausted_ = true;
    number = value_limit_ - 1;
  }
  const MidValueId id{static_cast<std::uint32_t>(number)};
  values_.push_back(MidValue{id, std::move(tensor_type), origin});
  return id;
}

std::string to_string(MidValueId id) { return "MidValueId(" + std::to_string(id.index()) + ")"; }

std::string to_string(const LoweringError& error) {
  using E = LoweringError;
  return std::visit(
      vorn::detail::overloaded{
          [](const E::EmptyTileGroup&) -> std::string { return "EmptyTileGroup"; },
          [](const E::MissingInputType& e) { return "MissingInputType(" + to_string(e.value) + ")"; },
          [](const E::MissingShape& e) { return "MissingShape(" + to_string(e.value) + ")"; },
          [](const E::NoCandidate& e) { return "NoCandidate(" + to_string(e.operation) + ")"; },
          [](const E::UnknownValue& e) { return "UnknownValue(" + to_string(e.value) + ")"; },
          [](const E::MalformedOperation& e) { return "MalformedOperation(" + to_string(e.operation) + ")"; },
          [](const E::TooManyValues&) -> std::string { return "TooManyValues"; },
      },
      error.alternative);
}

std::ostream& operator<<(std::ostream& out, MidValueId id) { return out << to_string(id); }
std::ostream& operator<<(std::ostream& out, const LoweringError& error) { return out << to_string(error); }

}  // namespace vorn_codegen::mid
