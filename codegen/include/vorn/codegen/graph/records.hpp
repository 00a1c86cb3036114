// The records a compute graph is made of: graph inputs, value sequences, operations and their
// kinds, repeat records and their body regions. All are plain values with defaulted ==, so whole
// graphs and regions compare in one expression.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "vorn/codegen/graph/flat_containers.hpp"
#include "vorn/codegen/graph/types.hpp"
#include "vorn/detail/box.hpp"
#include "vorn/detail/variant.hpp"

namespace vorn_codegen::graph {

// Ordered by ValueId, ascending (the order of allocation).
using ValueSet = FlatSet<ValueId>;
using ShapeMap = FlatMap<ValueId, TensorShape>;

struct GraphInput {
  std::string name;  // never empty
  GraphInputKind kind;
  ValueId value;
  TensorShape shape;  // equal to the graph's shape of `value`

  friend bool operator==(const GraphInput&, const GraphInput&) = default;
};

// A named list of top-level values of one common shape, iterated one entry per repeat iteration.
struct ValueSequence {
  ValueSequenceId id;
  std::string name;  // never empty
  std::vector<ValueId> values;

  friend bool operator==(const ValueSequence&, const ValueSequence&) = default;
};

struct Region;

// A counted loop. Its operation's inputs are the carried values followed by the invariant values;
// its results are the carried values after the last iteration. The body is boxed so that an
// Operation stays small; read it as `repeat.body->operations`.
struct Repeat {
  std::uint32_t count;  // at least 1
  std::size_t carried_inputs;
  std::size_t invariant_inputs;
  std::vector<ValueSequenceId> iterated_inputs;
  vorn::detail::Box<Region> body;

  friend bool operator==(const Repeat&, const Repeat&) = default;
};

struct OperationKind {
  struct Gemm {
    friend bool operator==(const Gemm&, const Gemm&) = default;
  };
  struct Gelu {
    friend bool operator==(const Gelu&, const Gelu&) = default;
  };
  struct Add {
    friend bool operator==(const Add&, const Add&) = default;
  };
  struct FlashAttention {
    friend bool operator==(const FlashAttention&, const FlashAttention&) = default;
  };
  // The record itself serves as the alternative: OperationKind{Repeat{...}} needs no wrapper.
  using Repeat = graph::Repeat;

  using Variant = std::variant<Gemm, Gelu, Add, FlashAttention, Repeat>;
  Variant alternative;

  template <vorn::detail::alternative_of<Variant> T>
  OperationKind(T value) : alternative(std::move(value)) {}  // NOLINT: implicit by design

  friend bool operator==(const OperationKind&, const OperationKind&) = default;
};

// One operation of the graph or of a repeat body.
struct Operation {
  OperationId id;
  std::vector<ValueId> inputs;   // operand order
  std::vector<ValueId> results;  // consecutive numbers, allocated after `id`
  OperationKind kind;

  friend bool operator==(const Operation&, const Operation&) = default;
};

// The body of a repeat.
struct Region {
  // The carried arguments, then the invariant ones, then one per iterated sequence.
  std::vector<ValueId> arguments;
  std::vector<Operation> operations;  // dependency order
  std::vector<ValueId> yields;        // one per carried value
  ShapeMap value_shapes;              // every argument and every body result

  friend bool operator==(const Region&, const Region&) = default;
};

// Diagnostic text forms, one line each, fields named in declaration order. A kind is its variant's
// name, with the loop record as its payload in parentheses:
// `Gemm`, `Repeat(Repeat { count: 2, carried_inputs: 1, ... body: Region { arguments: [ValueId(3)], ... } })`,
// `Operation { id: OperationId(0), inputs: [ValueId(0), ValueId(1)], results: [ValueId(2)], kind: Gemm }`.
std::string to_string(const Repeat& repeat);
std::string to_string(const OperationKind& kind);
std::string to_string(const Operation& operation);
std::string to_string(const Region& region);
std::string to_string(const GraphInput& input);
std::string to_string(const ValueSequence& sequence);

std::ostream& operator<<(std::ostream& out, const Repeat& repeat);
std::ostream& operator<<(std::ostream& out, const OperationKind& kind);
std::ostream& operator<<(std::ostream& out, const Operation& operation);
std::ostream& operator<<(std::ostream& out, const Region& region);
std::ostream& operator<<(std::ostream& out, const GraphInput& input);
std::ostream& operator<<(std::ostream& out, const ValueSequence& sequence);

}  // namespace vorn_codegen::graph
