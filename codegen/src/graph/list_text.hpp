// Building text by appending. Internal to the graph module.
//
// The text forms are written with concat() rather than `"literal" + std::string`: g++ 12 at -O2
// misreports the latter as an overlapping copy (-Wrestrict), which -Werror turns into an error.
#pragma once

#include <string>
#include <string_view>

namespace vorn_codegen::graph::detail {

template <class... Parts>
void append(std::string& out, const Parts&... parts) {
  ((out += parts), ...);
}

template <class... Parts>
std::string concat(const Parts&... parts) {
  std::string out;
  append(out, parts...);
  return out;
}

template <class Range, class Format>
std::string join(const Range& items, Format format) {
  std::string text;
  bool first = true;
  for (const auto& item : items) {
    if (!first) text += ", ";
    text += format(item);
    first = false;
  }
  return text;
}

}  // namespace vorn_codegen::graph::detail
