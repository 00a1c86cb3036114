// What a simulated run did that can be seen from outside the code: every call of outside code,
// every special-register write, every exchange prefix, and the final jump to the completion
// routine.
#pragma once

#include <compare>
#include <cstdint>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "vorn/detail/variant.hpp"

namespace vorn_sim {

struct TraceEvent {
  // A call of a symbol: a runtime routine or a kernel. `arguments` are the registers its calling
  // convention gives it, in register order: r2 for vornkit_static_sample_cycle; r2, r3, r4 for
  // vornkit_static_host_run; r2, r3 for vornkit_static_repeat_call; none for
  // vornkit_static_worker_barrier and vornkit_static_complete. A kernel receives r2 onward, up to
  // r9, as far as the registers were loaded for this call: written since the last call and not
  // read since by any instruction.
  struct Call {
    std::string name;
    std::vector<std::uint32_t> arguments;
    friend auto operator<=>(const Call&, const Call&) = default;
  };
  // A call of the exchange row placed at `address`.
  struct Row {
    std::uint32_t address;
    friend auto operator<=>(const Row&, const Row&) = default;
  };
  // `put`: special register `special` received `value`.
  struct Put {
    std::uint8_t special;
    std::uint32_t value;
    friend auto operator<=>(const Put&, const Put&) = default;
  };
  // The raw exchange prefix word was executed.
  struct ExchangePrefix {
    friend auto operator<=>(const ExchangePrefix&, const ExchangePrefix&) = default;
  };
  // The jump to vornkit_static_complete that ends the run.
  struct Complete {
    friend auto operator<=>(const Complete&, const Complete&) = default;
  };

  using Variant = std::variant<Call, Row, Put, ExchangePrefix, Complete>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  TraceEvent(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const TraceEvent&, const TraceEvent&) = default;
  friend auto operator<=>(const TraceEvent&, const TraceEvent&) = default;
};

using Trace = std::vector<TraceEvent>;

// One line per event, as a listing would show it: `call gemm(0x70000, 0x71000, 0x40)`,
// `call vornkit_static_worker_barrier()`, `row 0x60000`, `put 0xa7, 0x0`, `exchange prefix`,
// `complete`.
std::string to_string(const TraceEvent& event);
std::ostream& operator<<(std::ostream& out, const TraceEvent& event);

}  // namespace vorn_sim
