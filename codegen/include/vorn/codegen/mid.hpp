// Format-aware lowering of a compute graph (module vorn_codegen::mid).
#pragma once

#include "vorn/codegen/graph.hpp"

namespace vorn_codegen::mid {}  // namespace vorn_codegen::mid
