// The compute graph (module vorn_codegen::graph): build a graph of tensor operations, checked and
// shape-inferred at every addition, with counted loops over value sequences.
#pragma once

#include "vorn/codegen/graph/compute_graph.hpp"    // IWYU pragma: export
#include "vorn/codegen/graph/flat_containers.hpp"  // IWYU pragma: export
#include "vorn/codegen/graph/records.hpp"          // IWYU pragma: export
#include "vorn/codegen/graph/region_builder.hpp"   // IWYU pragma: export
#include "vorn/codegen/graph/types.hpp"            // IWYU pragma: export
