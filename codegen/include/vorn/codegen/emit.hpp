// Tile program emission (module vorn_codegen).
#pragma once

#include "vorn/exchange.hpp"

namespace vorn_codegen {}  // namespace vorn_codegen
