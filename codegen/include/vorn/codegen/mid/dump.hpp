// Readable text of lowered graphs, for compiler engineers reading what lowering chose.
#pragma once

#include <ostream>
#include <string>

#include "vorn/codegen/mid/model.hpp"

namespace vorn_codegen::mid {

// `Gemm { multiply: F16, accumulate: F32 }`, `Gelu`, `Add`, `FlashAttention { accumulate: F32 }`.
std::string to_string(const MidKernel& kernel);
std::ostream& operator<<(std::ostream& out, const MidKernel& kernel);

// A multi-line listing: the inputs, every value (%n) with its shape, precision, layout (as the
// constructor call that makes it, where one does, else in full) and graph origin, every operation with its kind,
// operands, results, estimated cost and source (a loop's body indented under it), the outputs and the total estimated
// cost. For example:
//
//   MidGraph (estimated cost 28)
//   inputs: "a" Host %0, "b" Host %1
//   values:
//     %0 [8, 8] F16 row_major(Rows, 4) of ValueId(0)
//     ...
//   operations:
//     %2 = CastPrecision F32 -> F16 (%1)  cost 24  for OperationId(0)
//     %3 = Add (%0, %2)  cost 4  for OperationId(0)
//   outputs: %3
std::string to_string(const MidGraph& graph);
std::ostream& operator<<(std::ostream& out, const MidGraph& graph);

}  // namespace vorn_codegen::mid
