#include <cstdint>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "image.hpp"
#include "vorn/sim.hpp"
#include "vorn/testing/expected.hpp"

namespace vorn_sim {
namespace {

using testing::image_of;
using testing::kRuntime;
using vorn::testing::FailsWith;
using vorn::testing::IsOkAndHolds;

TEST(Disassemble, ListsEveryWordAndNamesWhatCallsJumpsAndConstantsReach) {
  const auto image = image_of({
      0x22BBFFF8,                                      // add r11, r11, -8
      0x43F080A7,                                      // put 0xa7, r15
      0x41800003,                                      // exchange prefix
      0x18714000,                                      // call barrier
      0x18A18000,                                      // call row
      0x19212345, 0x4222A00C, 0x22220678,              // r2 = 0x12345678
      0x18A14004,                                      // call sample
      0x19270000,                                      // setzi r2
      0x18A14400,                                      // call gemm
      0x1301480C,                                      // brz into the code
      0x13000000,                                      // brz outside anything known
      0x19052000, 0x43000000,                          // jump to the start
      0x4FB0F000,                                      // st32
      0x190FFFFF, 0x4200A00C, 0x22000FFF, 0x43000000,  // jump 0xffffffff
      0x13080000,                                      // no instruction
      0x19050004, 0x43000000,                          // jump to complete
  });
  EXPECT_THAT(disassemble(image, 0x52000, kRuntime, std::vector<std::uint32_t>{0x60000}),
              IsOkAndHolds(std::vector<std::string>{
                  "00052000  22bbfff8  add r11, r11, -8",
                  "00052004  43f080a7  put 0xa7, r15",
                  "00052008  41800003  .word 0x41800003                    ; exchange prefix",
                  "0005200c  18714000  call 0x50000 <vornkit_static_worker_barrier>, r7",
                  "00052010  18a18000  call 0x60000 <exchange row>, r10",
                  "00052014  19212345  setzi r2, 0x12345",
                  "00052018  4222a00c  shl r2, r2, 12",
                  "0005201c  22220678  add r2, r2, 1656                    ; r2 = 0x12345678",
                  "00052020  18a14004  call 0x50010 <vornkit_static_sample_cycle>, r10",
                  "00052024  19270000  setzi r2, 0x70000",
                  "00052028  18a14400  call 0x51000 <gemm>, r10",
                  "0005202c  1301480c  brz r0, 0x52030 <code+0x30>",
                  "00052030  13000000  brz r0, 0x0",
                  "00052034  19052000  setzi r0, 0x52000",
                  "00052038  43000000  br r0                               ; jump 0x52000 <code+0x0>",
                  "0005203c  4fb0f000  st32 r0, r11, r15, 0",
                  "00052040  190fffff  setzi r0, 0xfffff",
                  "00052044  4200a00c  shl r0, r0, 12",
                  "00052048  22000fff  add r0, r0, 4095                    ; r0 = 0xffffffff",
                  "0005204c  43000000  br r0                               ; jump 0xffffffff",
                  "00052050  13080000  .word 0x13080000",
                  "00052054  19050004  setzi r0, 0x50004",
                  "00052058  43000000  br r0                               ; jump 0x50004 <vornkit_static_complete>",
              }));
}

TEST(Disassemble, AnnotatesOnlyRealConstantLoadsAndJumps) {
  const auto image = image_of({
      0x19212345, 0x4223A00C, 0x22330678,  // the shift reads r2 but writes r3: no constant
      0x19212345, 0x4222A00C, 0x2222F000,  // negative low part: not a constant load
      0x19100005, 0x43000000,              // br r0 after a load of r1
      0x43000000,                          // br r0 after no load
  });
  EXPECT_THAT(disassemble(image, 0, {}), IsOkAndHolds(std::vector<std::string>{
                                             "00000000  19212345  setzi r2, 0x12345",
                                             "00000004  4223a00c  shl r3, r2, 12",
                                             "00000008  22330678  add r3, r3, 1656",
                                             "0000000c  19212345  setzi r2, 0x12345",
                                             "00000010  4222a00c  shl r2, r2, 12",
                                             "00000014  2222f000  add r2, r2, -4096",
                                             "00000018  19100005  setzi r1, 0x5",
                                             "0000001c  43000000  br r0",
                                             "00000020  43000000  br r0",
                                         }));
}

TEST(Disassemble, ListsWhatEmitGeneratedWithItsRowsNamed) {
  const vorn_codegen::TileProgram program{
      7,
      {vorn_codegen::ExchangeStep{0x60000, {0x40c00000, 0, 0, 0, 0, 0, 0, 0, 0}},
       vorn_codegen::ComputeStep{"gemm", 0x70000, {0x71000, 0x72000}, {0x40}}},
  };
  const auto generated = vorn_codegen::emit(program, kRuntime, {}, {.code_address = 0x52000});
  ASSERT_TRUE(generated.has_value()) << generated.error();
  EXPECT_THAT(disassemble(*generated, 0x52000, kRuntime),
              IsOkAndHolds(std::vector<std::string>{
                  "00052000  41800003  .word 0x41800003                    ; exchange prefix",
                  "00052004  18a18000  call 0x60000 <exchange row>, r10",
                  "00052008  19270000  setzi r2, 0x70000",
                  "0005200c  19371000  setzi r3, 0x71000",
                  "00052010  19472000  setzi r4, 0x72000",
                  "00052014  19500040  setzi r5, 0x40",
                  "00052018  18a14400  call 0x51000 <gemm>, r10",
                  "0005201c  19050004  setzi r0, 0x50004",
                  "00052020  43000000  br r0                               ; jump 0x50004 <vornkit_static_complete>",
              }));
}

TEST(Disassemble, RejectsImagesThatAreNotWholeWordsOrDoNotFit) {
  EXPECT_THAT(disassemble(std::vector<std::uint8_t>{0x03, 0x00, 0x80, 0x41, 0x00}, 0x52000, kRuntime),
              FailsWith(SimError{SimError::TruncatedImage{5}}));
  EXPECT_THAT(disassemble(image_of({0x43000000, 0x43000000}), 0xFFFFFFFC, kRuntime),
              FailsWith(SimError{SimError::ImageOutOfRange{0xFFFFFFFC, 8}}));
  EXPECT_THAT(disassemble(image_of({0x43000000}), 0xFFFFFFFC, kRuntime),
              IsOkAndHolds(std::vector<std::string>{"fffffffc  43000000  br r0"}));
  EXPECT_THAT(disassemble(std::vector<std::uint8_t>{}, 0x52000, kRuntime), IsOkAndHolds(std::vector<std::string>{}));
}

}  // namespace
}  // namespace vorn_sim
