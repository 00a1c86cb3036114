#include "vorn/sim/simulate.hpp"

#include <array>
#include <bitset>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "image.hpp"
#include "vorn/exchange.hpp"

namespace vorn_sim {
namespace {

using vorn_exchange::Instruction;

struct Convention {
  std::string_view routine;
  std::vector<std::uint8_t> registers;
};

// The argument registers of the runtime routines; any other symbol is a kernel.
const std::array<Convention, 5> kRoutineConventions{{
    {"vornkit_static_complete", {}},
    {"vornkit_static_worker_barrier", {}},
    {"vornkit_static_host_run", {2, 3, 4}},
    {"vornkit_static_repeat_call", {2, 3}},
    {"vornkit_static_sample_cycle", {2}},
}};

constexpr std::uint8_t kFirstKernelRegister = 2;
constexpr std::uint8_t kLastKernelRegister = 9;

// Where execution goes after one instruction: on at `pc`, or nowhere because the run is complete.
struct Next {
  std::uint32_t pc = 0;
  bool done = false;
};
using Step = std::expected<Next, SimError>;

class Machine {
 public:
  Machine(std::vector<std::uint32_t> words, std::uint32_t code_address, const SymbolTable& symbols,
          std::span<const std::uint32_t> row_addresses, const SimOptions& options)
      : words_(std::move(words)), code_address_(code_address), outside_(symbols, row_addresses), options_(options) {
    decoded_.reserve(words_.size());
    for (const auto word : words_) decoded_.push_back(vorn_exchange::decode(word));
    if (const auto found = symbols.find("vornkit_static_complete"); found != symbols.end()) complete_ = found->second;
    registers_[11] = options.register_11;
    registers_[15] = options.register_15;
  }

  std::expected<Run, SimError> run() {
    std::uint32_t pc = code_address_;
    if (!index_of(pc)) return std::unexpected(SimError::InvalidTarget{pc, pc});
    while (true) {
      if (run_.steps == options_.step_limit) return std::unexpected(SimError::StepLimit{options_.step_limit});
      ++run_.steps;
      const auto next = execute(pc);
      if (!next) return std::unexpected(next.error());
      if (next->done) {
        run_.registers = registers_;
        run_.special_registers = specials_;
        return std::move(run_);
      }
      pc = next->pc;
    }
  }

 private:
  // The word index of `address`, when it is an aligned address inside the image.
  std::optional<std::size_t> index_of(std::uint32_t address) const {
    if (address < code_address_ || (address - code_address_) % 4 != 0) return std::nullopt;
    const std::size_t index = (address - code_address_) / 4;
    if (index >= words_.size()) return std::nullopt;
    return index;
  }

  // Execution continues at `target`, which must lie in the image.
  Step go_to(std::uint32_t pc, std::uint64_t target) const {
    const auto address = static_cast<std::uint32_t>(target);
    if (target > UINT32_MAX || !index_of(address)) return std::unexpected(SimError::InvalidTarget{pc, address});
    return Next{address};
  }

  Step fall_through(std::uint32_t pc) const { return go_to(pc, std::uint64_t{pc} + 4); }

  std::uint32_t read(std::uint8_t r) {
    pending_.reset(r);
    return registers_[r];
  }

  void write(std::uint8_t r, std::uint32_t value) {
    registers_[r] = value;
    pending_.set(r);
  }

  Step execute(std::uint32_t pc) {
    const std::size_t index = *index_of(pc);
    if (words_[index] == vorn_codegen::EXCHANGE_PREFIX_WORD) {
      run_.trace.emplace_back(TraceEvent::ExchangePrefix{});
      return fall_through(pc);
    }
    const auto& decoded = decoded_[index];
    if (!decoded) return std::unexpected(SimError::Undecodable{pc, words_[index], decoded.error()});
    return std::visit([&](const auto& instruction) { return execute(pc, instruction); }, decoded->alternative);
  }

  Step execute(std::uint32_t pc, const Instruction::Setzi& i) {
    write(i.register_, i.immediate);
    return fall_through(pc);
  }

  Step execute(std::uint32_t pc, const Instruction::Add& i) {
    write(i.destination, read(i.source) + static_cast<std::uint32_t>(i.immediate));
    return fall_through(pc);
  }

  Step execute(std::uint32_t pc, const Instruction::Shl& i) {
    const std::uint32_t value = read(i.source);
    write(i.destination, i.immediate < 32 ? value << i.immediate : 0);
    return fall_through(pc);
  }

  Step execute(std::uint32_t pc, const Instruction::Put& i) {
    const std::uint32_t value = read(i.register_);
    specials_[i.special] = value;
    run_.trace.emplace_back(TraceEvent::Put{i.special, value});
    return fall_through(pc);
  }

  std::expected<std::uint32_t, SimError> memory_address(std::uint32_t pc, std::uint8_t base, std::uint8_t delta,
                                                        std::uint16_t word_offset) {
    const std::uint32_t address = read(base) + read(delta) + 4u * word_offset;
    if (address % 4 != 0) return std::unexpected(SimError::UnalignedAccess{pc, address});
    return address;
  }

  Step execute(std::uint32_t pc, const Instruction::Ld32& i) {
    const auto address = memory_address(pc, i.base, i.delta, i.word_offset);
    if (!address) return std::unexpected(address.error());
    if (const auto stored = memory_.find(*address); stored != memory_.end()) {
      write(i.destination, stored->second);
    } else if (const auto code = index_of(*address)) {
      write(i.destination, words_[*code]);
    } else {
      return std::unexpected(SimError::UninitializedLoad{pc, *address});
    }
    return fall_through(pc);
  }

  Step execute(std::uint32_t pc, const Instruction::St32& i) {
    const std::uint32_t value = read(i.source);
    const auto address = memory_address(pc, i.base, i.delta, i.word_offset);
    if (!address) return std::unexpected(address.error());
    if (index_of(*address)) return std::unexpected(SimError::StoreIntoCode{pc, *address});
    memory_[*address] = value;
    return fall_through(pc);
  }

  Step execute(std::uint32_t pc, const Instruction::Br& i) { return jump(pc, read(i.register_)); }

  Step execute(std::uint32_t pc, const Instruction::Brz& i) {
    if (read(i.register_) != 0) return fall_through(pc);
    return jump(pc, i.target_address);
  }

  // A jump may leave the image only for the completion routine, which ends the run.
  Step jump(std::uint32_t pc, std::uint32_t target) {
    if (complete_ && target == *complete_) {
      run_.trace.emplace_back(TraceEvent::Complete{});
      return Next{target, true};
    }
    return go_to(pc, target);
  }

  Step execute(std::uint32_t pc, const Instruction::Call& i) {
    const std::uint32_t return_address = pc + 4;
    if (const auto name = outside_.symbol_at(i.target_address)) {
      run_.trace.emplace_back(TraceEvent::Call{std::string(*name), arguments_of(*name)});
    } else if (outside_.is_row(i.target_address)) {
      run_.trace.emplace_back(TraceEvent::Row{i.target_address});
    } else {
      write(i.return_register, return_address);
      return go_to(pc, i.target_address);
    }
    return_from_outside(i.return_register, return_address);
    return go_to(pc, std::uint64_t{pc} + 4);
  }

  std::vector<std::uint32_t> arguments_of(std::string_view name) const {
    std::vector<std::uint32_t> arguments;
    for (const auto& convention : kRoutineConventions) {
      if (convention.routine != name) continue;
      for (const auto r : convention.registers) arguments.push_back(registers_[r]);
      return arguments;
    }
    for (std::uint8_t r = kFirstKernelRegister; r <= kLastKernelRegister && pending_.test(r); ++r) {
      arguments.push_back(registers_[r]);
    }
    return arguments;
  }

  // Outside code keeps r11 and r15 and leaves the return address in its return register; every
  // other register may hold anything afterwards.
  void return_from_outside(std::uint8_t return_register, std::uint32_t return_address) {
    for (std::uint8_t r = 0; r < registers_.size(); ++r) {
      if (r != 11 && r != 15) registers_[r] = kClobbered;
    }
    registers_[return_register] = return_address;
    pending_.reset();
  }

  std::vector<std::uint32_t> words_;
  std::vector<std::expected<Instruction, vorn_exchange::DecodeError>> decoded_;
  std::uint32_t code_address_;
  detail::OutsideCode outside_;
  SimOptions options_;
  std::optional<std::uint32_t> complete_;

  std::array<std::uint32_t, 16> registers_{};
  std::bitset<16> pending_;
  std::array<std::uint32_t, 256> specials_{};
  std::unordered_map<std::uint32_t, std::uint32_t> memory_;
  Run run_;
};

}  // namespace

std::expected<Run, SimError> simulate(std::span<const std::uint8_t> image, std::uint32_t code_address,
                                      std::span<const std::uint32_t> row_addresses, const SymbolTable& symbols,
                                      const SimOptions& options) {
  auto words = detail::image_words(image, code_address);
  if (!words) return std::unexpected(words.error());
  return Machine(std::move(*words), code_address, symbols, row_addresses, options).run();
}

std::expected<Run, SimError> simulate(const vorn_codegen::GeneratedProgram& program, std::uint32_t code_address,
                                      const SymbolTable& symbols, const SimOptions& options) {
  return simulate(program.bytes, code_address, detail::row_addresses(program), symbols, options);
}

}  // namespace vorn_sim
