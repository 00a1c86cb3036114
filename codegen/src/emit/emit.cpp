#include "vorn/codegen/emit.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "vorn/codegen/emit/detail.hpp"

namespace vorn_codegen {
namespace {

using detail::Status;
using detail::TileCode;

// Registers of the code emit() writes itself.
constexpr std::uint8_t kCounter = 0;       // the invocation count between its load and its store
constexpr std::uint8_t kCounterBase = 11;  // addresses the count's slot, 8 bytes below its value
constexpr std::uint8_t kDelta = 15;        // delta of the slot's load and store; first special writes
constexpr std::uint8_t kOne = 8;           // carries 1 into special register 0xa6
constexpr std::uint8_t kBarrierReturn = 7;
constexpr std::uint8_t kRowReturn = 10;
constexpr std::int32_t kCounterSlotBytes = 8;

// One emission: the inputs, read only, and the image and rows being built front to back.
class Emission {
 public:
  Emission(const TileProgram& program, const SymbolTable& symbols, const HostProgram& host,
           const CodegenOptions& options)
      : program_(program), symbols_(symbols), host_(host), options_(options) {}

  Status run() {
    const auto complete = detail::symbol(symbols_, "vornkit_static_complete");
    if (!complete) return std::unexpected(complete.error());
    const bool looping = options_.invocations > 1;
    const bool exchanging = std::ranges::any_of(program_.steps, active_exchange);
    // Every step takes two words or more; four per step spares most regrowth, which doubles.
    code_.reserve(program_.steps.size() * 4 + 16);

    if (auto s = detail::emit_host_phases(code_, symbols_, host_.initialize); !s) return s;
    if (looping) {
      if (auto s = loop_prologue(); !s) return s;
    }
    // Computed even when nothing jumps back to it (one invocation): its overflow check applies.
    const auto invocation_start = code_.address(options_.code_address);
    if (!invocation_start) return std::unexpected(invocation_start.error());
    if (auto s = detail::emit_host_phases(code_, symbols_, host_.inputs); !s) return s;
    if (exchanging) {
      if (auto s = exchange_setup(); !s) return s;
    }
    if (auto s = sample(options_.initial_profile_address); !s) return s;

    std::optional<std::uint32_t> barrier;
    if (exchanging) {
      const auto found = detail::symbol(symbols_, "vornkit_static_worker_barrier");
      if (!found) return std::unexpected(found.error());
      barrier = *found;
    }
    rows_.reserve(static_cast<std::size_t>(std::ranges::count_if(
        program_.steps, [](const TileStep& step) { return std::holds_alternative<ExchangeStep>(step.alternative); })));
    for (const TileStep& step : program_.steps) {
      if (auto s = this->step(step, barrier); !s) return s;
    }

    if (auto s = sample(options_.final_profile_address); !s) return s;
    if (auto s = detail::emit_host_phases(code_, symbols_, host_.outputs); !s) return s;
    if (looping) {
      if (auto s = loop_epilogue(*invocation_start); !s) return s;
    }
    if (auto s = code_.jump(*complete); !s) return s;
    return check_image_fits();
  }

  GeneratedProgram result() && { return {std::move(code_).take_bytes(), std::move(rows_)}; }

 private:
  Status loop_prologue() {
    if (auto s = code_.add_immediate(kCounterBase, kCounterBase, -kCounterSlotBytes); !s) return s;
    if (auto s = code_.setzi(kCounter, options_.invocations); !s) return s;
    return code_.st32(kCounter, kCounterBase, kDelta, 0);
  }

  // Counts down; at zero leaves the loop, otherwise jumps back. The exit branch is written before
  // its target is known and patched once the epilogue's last jump is in place.
  Status loop_epilogue(std::uint32_t invocation_start) {
    if (auto s = code_.ld32(kCounter, kCounterBase, kDelta, 0); !s) return s;
    if (auto s = code_.add_immediate(kCounter, kCounter, -1); !s) return s;
    if (auto s = code_.st32(kCounter, kCounterBase, kDelta, 0); !s) return s;
    const std::size_t done_branch = code_.size();
    if (auto s = code_.brz(kCounter, 0); !s) return s;
    if (auto s = code_.jump(invocation_start); !s) return s;
    const auto done = code_.address(options_.code_address);
    if (!done) return std::unexpected(done.error());
    const auto branch = vorn_exchange::encode_brz_m_immediate(kCounter, *done);
    if (!branch) return std::unexpected(CodegenError{branch.error()});
    code_.replace(done_branch, *branch);
    return code_.add_immediate(kCounterBase, kCounterBase, kCounterSlotBytes);
  }

  Status exchange_setup() {
    if (auto s = code_.put_special(0xa7, kDelta); !s) return s;
    if (auto s = code_.put_special(0xa4, kDelta); !s) return s;
    if (auto s = code_.setzi(kOne, 1); !s) return s;
    return code_.put_special(0xa6, kOne);
  }

  Status sample(std::optional<std::uint32_t> address) {
    if (!address) return {};
    return detail::emit_cycle_sample(code_, symbols_, *address);
  }

  Status step(const TileStep& step, std::optional<std::uint32_t> barrier) {
    if (const auto* exchange = std::get_if<ExchangeStep>(&step.alternative)) {
      if (auto s = sample(exchange->profile.before); !s) return s;
      code_.instruction(EXCHANGE_PREFIX_WORD);
      // Some step is active whenever this one is, so the barrier was resolved.
      if (active_exchange(step) && barrier) {
        if (auto s = code_.call(*barrier, kBarrierReturn); !s) return s;
      }
      if (auto s = code_.call(exchange->address, kRowReturn); !s) return s;
      if (auto s = sample(exchange->profile.after); !s) return s;
      rows_.push_back({exchange->address, exchange->row});
      return {};
    }
    const auto& compute = std::get<ComputeStep>(step.alternative);
    if (auto s = sample(compute.profile.before); !s) return s;
    if (auto s = detail::emit_compute(code_, program_.tile, compute, symbols_); !s) return s;
    return sample(compute.profile.after);
  }

  // The image must fit below 2^32 from code_address: words past the address space could not be
  // loaded where the code expects them.
  Status check_image_fits() const {
    constexpr std::uint64_t kAddressSpace = std::uint64_t{1} << 32;
    const std::uint64_t bytes = static_cast<std::uint64_t>(code_.size()) * 4;
    if (bytes > kAddressSpace - options_.code_address) {
      return std::unexpected(detail::invalid("generated code address overflow"));
    }
    return {};
  }

  const TileProgram& program_;
  detail::SymbolLookup symbols_;  // one for the whole emission, so its cache serves every step
  const HostProgram& host_;
  const CodegenOptions& options_;
  TileCode code_;
  std::vector<PlacedExchangeRow> rows_;
};

}  // namespace

bool active_exchange(const TileStep& step) noexcept {
  const auto* exchange = std::get_if<ExchangeStep>(&step.alternative);
  return exchange != nullptr && (exchange->row.empty() || exchange->row.front() != INACTIVE_EXCHANGE_WORD);
}

std::expected<GeneratedProgram, CodegenError> emit(const TileProgram& program, const SymbolTable& symbols,
                                                   const HostProgram& host, const CodegenOptions& options) {
  if (options.invocations == 0) return std::unexpected(detail::invalid("invocation count must be nonzero"));
  if (auto valid = detail::validate(program); !valid) return std::unexpected(valid.error());
  Emission emission(program, symbols, host, options);
  if (auto emitted = emission.run(); !emitted) return std::unexpected(emitted.error());
  return std::move(emission).result();
}

}  // namespace vorn_codegen
