#include "vorn/codegen/emit/tile_code.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "vorn/codegen/emit/detail.hpp"

namespace vorn_codegen::detail {

std::vector<std::uint32_t> TileCode::words() const {
  std::vector<std::uint32_t> words(size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::uint8_t* in = bytes_.data() + 4 * i;
    words[i] = static_cast<std::uint32_t>(in[0]) | static_cast<std::uint32_t>(in[1]) << 8 |
               static_cast<std::uint32_t>(in[2]) << 16 | static_cast<std::uint32_t>(in[3]) << 24;
  }
  return words;
}

void TileCode::reserve(std::size_t words) {
  constexpr std::size_t kMaxWords = std::numeric_limits<std::size_t>::max() / 8;
  const std::size_t wanted = std::min(words, kMaxWords) * 4;
  if (wanted > bytes_.size()) bytes_.resize(wanted);
}

std::vector<std::uint8_t> TileCode::take_bytes() && {
  bytes_.resize(used_);  // shrinking keeps the allocation: no copy
  used_ = 0;
  return std::move(bytes_);
}

Status TileCode::setzi_wide(std::uint8_t register_, std::uint32_t immediate) {
  using namespace vorn_exchange;
  if (auto loaded = put(encode_setzi_m(register_, immediate >> 12)); !loaded) return loaded;
  if (auto shifted = put(encode_shl_m_immediate(register_, register_, 12)); !shifted) return shifted;
  return put(encode_add_m_immediate(register_, register_, static_cast<std::int32_t>(immediate & 0xFFFu)));
}

Status TileCode::rejected(const vorn_exchange::ExchangeError& error) { return std::unexpected(CodegenError{error}); }

// Doubling keeps appends amortised O(1); the size stays a multiple of 4.
void TileCode::grow() { bytes_.resize(std::max<std::size_t>(256, bytes_.size() * 2)); }

std::expected<std::uint32_t, CodegenError> TileCode::address(std::uint32_t base) const {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  const std::size_t count = size();
  if (count > kMax) return std::unexpected(invalid("generated code exceeds u32"));
  const std::uint64_t offset = static_cast<std::uint64_t>(count) * 4;
  if (offset > kMax) return std::unexpected(invalid("generated code size overflow"));
  if (base + offset > kMax) return std::unexpected(invalid("generated code address overflow"));
  return static_cast<std::uint32_t>(base + offset);
}

}  // namespace vorn_codegen::detail
