// Helpers shared by the diagnostic text forms of every module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::detail {

// `text` as a double-quoted, escaped string: `"` and `\` are escaped, \n \r \t \0 keep their
// short escapes, and every other control character is written as \u{hex}. Bytes of 0x80 and
// above are copied unchanged, so UTF-8 passes through.
std::string quoted(std::string_view text);

// `value` in lower-case hexadecimal with a 0x prefix: `0x52000`, `0x0`.
std::string hex(std::uint32_t value);

}  // namespace vorn::detail
