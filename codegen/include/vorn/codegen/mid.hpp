// Format-aware lowering of a compute graph (module vorn_codegen::mid): tensor formats, the lowered
// graph model, cost models, and `lower`.
#pragma once

#include "vorn/codegen/graph.hpp"
#include "vorn/codegen/mid/cost.hpp"    // IWYU pragma: export
#include "vorn/codegen/mid/dump.hpp"    // IWYU pragma: export
#include "vorn/codegen/mid/format.hpp"  // IWYU pragma: export
#include "vorn/codegen/mid/lower.hpp"   // IWYU pragma: export
#include "vorn/codegen/mid/model.hpp"   // IWYU pragma: export
