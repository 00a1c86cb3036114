#include <cstddef>

#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid::detail {
namespace {

// The table may grow to this many slots per entry, plus a fixed allowance, before a far number
// goes to the ordered map: memory stays proportional to the entries whatever the numbers.
constexpr std::size_t kSlotsPerEntry = 4;
constexpr std::size_t kSlotAllowance = 1024;

}  // namespace

void ScopeMap::insert(graph::ValueId value, MidValueId lowered) {
  const std::uint32_t number = value.number();
  if (dense_.empty() && sparse_.empty()) base_ = number;
  if (number >= base_) {
    const std::size_t slot = number - base_;
    const std::size_t limit = kSlotsPerEntry * (dense_entries_ + 1) + kSlotAllowance;
    if (slot < dense_.size() || slot < limit) {
      if (slot >= dense_.size()) dense_.resize(slot + 1, kAbsent);
      if (dense_[slot] == kAbsent) ++dense_entries_;
      dense_[slot] = lowered.index();
      return;
    }
  }
  sparse_.insert_or_assign(value, lowered);
}

std::optional<MidValueId> ScopeMap::find(graph::ValueId value) const {
  const std::uint32_t number = value.number();
  if (number >= base_ && number - base_ < dense_.size() && dense_[number - base_] != kAbsent) {
    return MidValueId{dense_[number - base_]};
  }
  if (sparse_.empty()) return std::nullopt;
  const auto found = sparse_.find(value);
  if (found == sparse_.end()) return std::nullopt;
  return found->second;
}

}  // namespace vorn_codegen::mid::detail
