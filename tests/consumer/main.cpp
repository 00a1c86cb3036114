// Builds against the installed headers and libraries and checks one encoding and one shape.
#include <cstdio>

#include <vorn/codegen.hpp>

int main() {
  const auto word = vorn_exchange::encode_call_m_immediate(10, 0x51000);
  const vorn_codegen::graph::TensorShape shape{32, 16};
  if (!word || *word != 0x18A14400u || shape.elements() != 512) {
    std::puts("consumer: unexpected result");
    return 1;
  }
  std::puts("consumer: ok");
  return 0;
}
