// The whole public surface of the code generator.
#pragma once

#include "vorn/codegen/emit.hpp"   // IWYU pragma: export
#include "vorn/codegen/graph.hpp"  // IWYU pragma: export
#include "vorn/codegen/mid.hpp"    // IWYU pragma: export
