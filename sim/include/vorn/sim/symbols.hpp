#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace vorn_sim {

// Symbol names to tile addresses: the same table that emission takes.
using SymbolTable = std::map<std::string, std::uint32_t, std::less<>>;

}  // namespace vorn_sim
