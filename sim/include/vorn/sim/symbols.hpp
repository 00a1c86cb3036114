#pragma once

#include "vorn/codegen/emit.hpp"

namespace vorn_sim {

// Symbol names to tile addresses: the table that emission takes.
using vorn_codegen::SymbolTable;

}  // namespace vorn_sim
