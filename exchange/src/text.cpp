#include "vorn/detail/text.hpp"

#include <array>
#include <cstdio>

namespace vorn::detail {

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
          constexpr std::array<char, 16> digits{'0', '1', '2', '3', '4', '5', '6', '7',
                                                '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
          out += "\\u{";
          if (byte >= 0x10) out.push_back(digits[byte >> 4]);
          out.push_back(digits[byte & 0xf]);
          out.push_back('}');
        } else {
          out.push_back(c);
        }
      }
    }
  }
  out.push_back('"');
  return out;
}

std::string hex(std::uint32_t value) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace vorn::detail
