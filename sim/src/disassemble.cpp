#include "vorn/sim/disassemble.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "image.hpp"
#include "vorn/codegen/emit.hpp"
#include "vorn/detail/text.hpp"
#include "vorn/exchange.hpp"

namespace vorn_sim {
namespace {

using vorn::detail::hex;
using vorn_exchange::Instruction;

// Width of the instruction column, so that comments line up.
constexpr std::size_t kInstructionWidth = 36;

class Lister {
 public:
  Lister(const std::vector<std::uint32_t>& words, std::uint32_t code_address, const SymbolTable& symbols,
         std::span<const std::uint32_t> row_addresses)
      : words_(words), code_address_(code_address), outside_(symbols, row_addresses) {
    for (const auto word : words) decoded_.push_back(vorn_exchange::decode(word));
  }

  std::string line(std::size_t index) const {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%08x  %08x  ", address_of(index), words_[index]);
    std::string text;
    std::string comment;
    if (const auto& instruction = decoded_[index]; !instruction) {
      text = ".word " + hex(words_[index]);
      if (words_[index] == vorn_codegen::EXCHANGE_PREFIX_WORD) comment = "exchange prefix";
    } else if (const auto* call = std::get_if<Instruction::Call>(&instruction->alternative)) {
      text = to_string(*instruction);  // call <target>, <register>: the label follows the target
      text.insert(text.find(','), label(call->target_address));
    } else if (const auto* branch = std::get_if<Instruction::Brz>(&instruction->alternative)) {
      text = to_string(*instruction) + label(branch->target_address);
    } else {
      text = to_string(*instruction);
      if (const auto* add = std::get_if<Instruction::Add>(&instruction->alternative)) {
        if (const auto value = long_constant(index, add->destination)) {
          // Appended piecewise: g++ 12 at -O3 misreports `"r" + std::to_string(n)` under -Wrestrict.
          comment.append("r").append(std::to_string(add->destination)).append(" = ").append(hex(*value));
        }
      } else if (const auto* jump = std::get_if<Instruction::Br>(&instruction->alternative)) {
        if (const auto target = constant_before(index, jump->register_)) {
          comment = "jump " + hex(*target) + label(*target);
        }
      }
    }
    std::string out = prefix + text;
    if (!comment.empty()) {
      out.append(text.size() < kInstructionWidth ? kInstructionWidth - text.size() : 1, ' ');
      out += "; " + comment;
    }
    return out;
  }

 private:
  std::uint32_t address_of(std::size_t index) const { return code_address_ + static_cast<std::uint32_t>(4 * index); }

  template <class T>
  const T* instruction_at(std::size_t index) const {
    return decoded_[index] ? std::get_if<T>(&decoded_[index]->alternative) : nullptr;
  }

  // The value of a three-word constant load of `target_register` whose last word (the add) is at
  // `index`: setzi rX, high; shl rX, rX, 12; add rX, rX, low with low in 0..4095.
  std::optional<std::uint32_t> long_constant(std::size_t index, std::uint8_t target_register) const {
    if (index < 2) return std::nullopt;
    const auto* setzi = instruction_at<Instruction::Setzi>(index - 2);
    const auto* shl = instruction_at<Instruction::Shl>(index - 1);
    const auto* add = instruction_at<Instruction::Add>(index);
    if (setzi == nullptr || shl == nullptr || add == nullptr) return std::nullopt;
    const std::uint8_t r = target_register;
    if (setzi->register_ != r || shl->destination != r || shl->source != r || shl->immediate != 12 ||
        add->destination != r || add->source != r || add->immediate < 0 || add->immediate > 0xFFF) {
      return std::nullopt;
    }
    return setzi->immediate << 12 | static_cast<std::uint32_t>(add->immediate);
  }

  // The constant that the one or three words just before `index` load into `target_register`.
  std::optional<std::uint32_t> constant_before(std::size_t index, std::uint8_t target_register) const {
    if (index == 0) return std::nullopt;
    if (const auto* setzi = instruction_at<Instruction::Setzi>(index - 1)) {
      if (setzi->register_ == target_register) return setzi->immediate;
      return std::nullopt;
    }
    return long_constant(index - 1, target_register);
  }

  // ` <name>` for a target that is a symbol, a placed row or a place in this code.
  std::string label(std::uint32_t target) const {
    if (const auto name = outside_.symbol_at(target)) return " <" + std::string(*name) + ">";
    if (outside_.is_row(target)) return " <exchange row>";
    if (target >= code_address_ && (target - code_address_) / 4 < words_.size()) {
      return " <code+" + hex(target - code_address_) + ">";
    }
    return "";
  }

  const std::vector<std::uint32_t>& words_;
  std::uint32_t code_address_;
  detail::OutsideCode outside_;
  std::vector<std::expected<Instruction, vorn_exchange::DecodeError>> decoded_;
};

}  // namespace

std::expected<std::vector<std::string>, SimError> disassemble(std::span<const std::uint8_t> image,
                                                              std::uint32_t code_address, const SymbolTable& symbols,
                                                              std::span<const std::uint32_t> row_addresses) {
  const auto words = detail::image_words(image, code_address);
  if (!words) return std::unexpected(words.error());
  const Lister lister(*words, code_address, symbols, row_addresses);
  std::vector<std::string> lines;
  lines.reserve(words->size());
  for (std::size_t i = 0; i < words->size(); ++i) lines.push_back(lister.line(i));
  return lines;
}

std::expected<std::vector<std::string>, SimError> disassemble(const vorn_codegen::GeneratedProgram& program,
                                                              std::uint32_t code_address, const SymbolTable& symbols) {
  return disassemble(program.bytes, code_address, symbols, detail::row_addresses(program));
}

}  // namespace vorn_sim
