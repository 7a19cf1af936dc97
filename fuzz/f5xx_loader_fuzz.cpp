// The F5xx boot loader's loader against a boot loader the fuzz input scripts.
#include "fuzz/loader_run.h"
#include "loaders/msp430/bsl54xx430.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<msp430_test::Section> kImage = {
      {0x5C00, msp430_test::Pattern(80, 4)}, msp430_test::VectorTable(0xFF80, 0x5C00)};
  fuzz::Input input(data, size);
  fuzz::RunLoader<msp430::T_BSL_54XX_430, msp430_test::WillingF5xx>(input, kImage);
  return 0;
}
