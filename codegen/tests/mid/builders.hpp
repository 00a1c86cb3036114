// Short literals for the expected side of lowering tests.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "vorn/codegen/mid.hpp"

namespace vorn_codegen::mid::testing {

using graph::OperationId;
using graph::TensorShape;
using graph::ValueId;

inline TensorFormat f16(const Layout& layout) { return {Precision::F16{}, layout}; }
inline TensorFormat f32(const Layout& layout) { return {Precision::F32{}, layout}; }

inline MidValue value(std::uint32_t id, TensorShape shape, const TensorFormat& format, std::uint32_t origin) {
  return MidValue{MidValueId{id}, TensorType{std::move(shape), format}, ValueId{origin}};
}

inline std::vector<MidValueId> ids(std::initializer_list<std::uint32_t> numbers) {
  std::vector<MidValueId> list;
  for (const std::uint32_t number : numbers) list.emplace_back(number);
  return list;
}

inline MidOperation operation(std::uint32_t source, std::initializer_list<std::uint32_t> inputs,
                              std::initializer_list<std::uint32_t> results, MidOperationKind kind, std::uint64_t cost) {
  return MidOperation{OperationId{source}, ids(inputs), ids(results), std::move(kind), cost};
}

inline MidOperation cast(std::uint32_t source, std::uint32_t input, std::uint32_t result, const Precision& from,
                         const Precision& to, std::uint64_t cost) {
  return operation(source, {input}, {result}, MidOperationKind::CastPrecision{from, to}, cost);
}

inline MidOperation rearrange(std::uint32_t source, std::uint32_t input, std::uint32_t result, const Layout& from,
                              const Layout& to, std::uint64_t cost) {
  return operation(source, {input}, {result}, MidOperationKind::Rearrange{from, to}, cost);
}

// A caller's model that prices everything at the largest cost, to show that sums saturate.
struct MaxCostModel final : CostModel {
  static constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t kernel_cost(const MidKernel&, std::span<const TensorType>, const TensorType&) const override {
    return kMax;
  }
  std::uint64_t cast_cost(const TensorShape&, const Precision&, const Precision&) const override { return kMax; }
  std::uint64_t rearrange_cost(const TensorShape&, const Precision&, const Layout&, const Layout&) const override {
    return kMax;
  }
};

inline const MidKernel kGemmF16{MidKernel::Gemm{Precision::F16{}, AccumulationPrecision::F32}};
inline const MidKernel kGemmF32{MidKernel::Gemm{Precision::F32{}, AccumulationPrecision::F32}};

}  // namespace vorn_codegen::mid::testing
