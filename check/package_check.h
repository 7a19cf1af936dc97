// The package check: what a run would meet in the firmware package of the working folder,
// found without an instrument and without opening a port. For every device entry of
// ProgDevice.ini: the files it names and whether the program lists them, the offered versions a
// run would read, for MSP430 images the blocks in the order they are sent, the erase plan and the
// start address, sizes against the loaders' limits, the further files; then the terminal files,
// the calibration table, the language files and the manuals. The window can show the same report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/check_report.h"

namespace check {

// firmwareFiles: the firmware files the front-end lists for a run (the identification takes
// only a main file among them). language: for the texts before Update.ini has given the
// package's.
package::CheckReport CheckPackage(const std::vector<std::string>& firmwareFiles, int32_t language);

}  // namespace check
