// The compute graph (module vorn_codegen::graph).
#pragma once

#include "vorn/codegen/graph/types.hpp"  // IWYU pragma: export

namespace vorn_codegen::graph {}  // namespace vorn_codegen::graph
