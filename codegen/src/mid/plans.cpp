#include <initializer_list>
#include <utility>

#include "vorn/codegen/mid/detail/lowering.hpp"

namespace vorn_codegen::mid::detail {
namespace {

// Fills `buffer` from the front, reusing the plans (and their input lists) already there.
class PlanWriter {
 public:
  explicit PlanWriter(std::vector<Plan>& buffer) : buffer_(buffer) {}

  void add(const MidKernel& kernel, std::initializer_list<TensorFormat> inputs, const TensorFormat& output) {
    if (count_ == buffer_.size()) {
      buffer_.push_back(Plan{kernel, inputs, output});
    } else {
      Plan& plan = buffer_[count_];
      plan.kernel = kernel;
      plan.inputs.assign(inputs);
      plan.output = output;
    }
    ++count_;
  }

  [[nodiscard]] std::span<const Plan> written() const { return std::span(buffer_.data(), count_); }

 private:
  std::vector<Plan>& buffer_;
  std::size_t count_ = 0;
};

void gemm_plans(const LoweringConfig& config, PlanWriter& out) {
  const std::uint16_t tiles = config.tile_count;
  for (const Precision& precision : config.gemm_precisions) {
    std::uint16_t inner = 0;
    if (std::holds_alternative<Precision::F16>(precision.alternative)) inner = 16;
    if (std::holds_alternative<Precision::F32>(precision.alternative)) inner = 8;
    if (inner == 0) continue;  // no F8F143 matrix-product kernel
    out.add(MidKernel::Gemm{precision, AccumulationPrecision::F32},
            {{precision, amp_left(inner, tiles)}, {precision, amp_right(inner, tiles)}},
            {precision, amp_output(tiles)});
  }
}

// One plan per distinct operand format, ascending. Operand lists are short (two for a built
// graph), so a quadratic pass that finds each next-larger format beats sorting a copy.
void add_plans(std::span<const TensorFormat> operand_formats, PlanWriter& out) {
  const TensorFormat* previous = nullptr;
  while (true) {
    const TensorFormat* next = nullptr;
    for (const TensorFormat& format : operand_formats) {
      if (previous != nullptr && !(*previous < format)) continue;
      if (next == nullptr || format < *next) next = &format;
    }
    if (next == nullptr) return;
    out.add(MidKernel::Add{}, {*next, *next}, *next);
    previous = next;
  }
}

void attention_plans(const LoweringConfig& config, PlanWriter& out) {
  for (const Precision precision : {Precision{Precision::F16{}}, Precision{Precision::F32{}}}) {
    const TensorFormat format{precision, row_major(Sharding::Heads, config.tile_count)};
    out.add(MidKernel::FlashAttention{AccumulationPrecision::F32}, {format, format, format}, format);
  }
}

}  // namespace

std::span<const Plan> plans_into(const graph::Operation& operation, std::span<const TensorFormat> operand_formats,
                                 const LoweringConfig& config, std::vector<Plan>& buffer) {
  using Kind = graph::OperationKind;
  PlanWriter out{buffer};
  std::visit(vorn::detail::overloaded{
                 [&](const Kind::Gemm&) { gemm_plans(config, out); },
                 [&](const Kind::Add&) { add_plans(operand_formats, out); },
                 [&](const Kind::Gelu&) {
                   if (!operand_formats.empty()) {
                     out.add(MidKernel::Gelu{}, {operand_formats.front()}, operand_formats.front());
                   }
                 },
                 [&](const Kind::FlashAttention&) { attention_plans(config, out); },
                 [&](const Kind::Repeat&) {},
             },
             operation.kind.alternative);
  return out.written();
}

std::vector<Plan> plans(const graph::Operation& operation, std::span<const TensorFormat> operand_formats,
                        const LoweringConfig& config) {
  std::vector<Plan> buffer;
  const std::size_t count = plans_into(operation, operand_formats, config, buffer).size();
  buffer.erase(buffer.begin() + static_cast<std::ptrdiff_t>(count), buffer.end());
  return buffer;
}

MidValueId ensure_format(MidValueId value, const TensorFormat& target, graph::OperationId source,
                         const CostModel& model, LoweringState& state, std::vector<MidOperation>& operations) {
  // Copies are taken before state.value: creating a value may move the state's table.
  if (const MidValue& current = state.get(value); current.tensor_type.format.precision != target.precision) {
    const graph::ValueId origin = current.origin;
    TensorType cast = current.tensor_type;
    const Precision from = std::exchange(cast.format.precision, target.precision);
    const std::uint64_t cost = model.cast_cost(cast.shape, from, target.precision);
    const MidValueId result = state.value(origin, std::move(cast));
    operations.push_back(
        MidOperation{source, {value}, {result}, MidOperationKind::CastPrecision{from, target.precision}, cost});
    value = result;
  }
  if (const MidValue& current = state.get(value); current.tensor_type.format.layout != target.layout) {
    const graph::ValueId origin = current.origin;
    TensorType moved = current.tensor_type;
    const Layout from = std::exchange(moved.format.layout, target.layout);
    const std::uint64_t cost = model.rearrange_cost(moved.shape, moved.format.precision, from, target.layout);
    const MidValueId result = state.value(origin, std::move(moved));
    operations.push_back(
        MidOperation{source, {value}, {result}, MidOperationKind::Rearrange{from, target.layout}, cost});
    value = result;
  }
  return value;
}

std::expected<MidValueId, LoweringError> lookup(const ScopeMap& scope, graph::ValueId value) {
  if (const auto lowered = scope.find(value)) return *lowered;
  return std::unexpected(LoweringError::UnknownValue{value});
}

}  // namespace vorn_codegen::mid::detail
