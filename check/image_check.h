// The MSP430 image of a device entry as the boot loader would program it.
#pragma once

#include <cstdint>
#include <string>

#include "package/check_report.h"
#include "package/package_check.h"

namespace check {

struct ImagePlan {
  std::string file;  // as the entry names it, without the "@" mark
  int32_t prozTyp = 0;
  int32_t bslMode = 0;  // 0 for the main firmware, 1 for the second processor's
  int32_t flashErase2 = 0;
  int32_t flashErase3 = 0;
};

// Reads the image with the loader's reader (classic, or F5xx for ProzTyp 0x5438) and reports
// the reader's file:line message, or the blocks in the order they are sent, the erase plan, the
// start address and a vector table that sets more than the reset vector.
void CheckImage(package::CheckReport& report, const package::CheckPlace& place,
                const ImagePlan& plan);

}  // namespace check
