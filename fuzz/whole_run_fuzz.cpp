// Whole update runs against the simulated instrument while the input disturbs its answers.
#include "fuzz/whole_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = fuzz::RunWhole(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "whole run: %s\n", fault.c_str());
    fuzz::Fail();
  }
  return 0;
}
