// The classic boot loader's loader against a boot loader the fuzz input scripts.
#include "fuzz/loader_run.h"
#include "loaders/msp430/bsl430.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<msp430_test::Section> kImage = {
      {0x1100, msp430_test::Pattern(80, 3)}, msp430_test::VectorTable(0xFFE0, 0x1100)};
  fuzz::Input input(data, size);
  fuzz::RunLoader<msp430::T_BSL430, msp430_test::WillingClassic>(input, kImage);
  return 0;
}
