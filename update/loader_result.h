// How a loader's run ended: the one answer every programming path gives the state machine.
#pragma once

#include <cstdint>

namespace update {

struct LoaderResult {
  // The firmware went onto the instrument (and was verified where the loader can).
  bool programmed = false;
  // The loader's step that failed, in its own numbering (the MSP430 step codes, the M16
  // library's stage, a program's exit code); 0 when none. Its message and advice are in the
  // log, or in the error box, by the time the run returns.
  int32_t failedStep = 0;
  // That step's name in the run record ("msp430 write"); null where the loader names none.
  const char* stepName = nullptr;

  static LoaderResult Programmed() { return {true, 0, nullptr}; }
  static LoaderResult Failed(int32_t step = 0, const char* name = nullptr) {
    return {false, step, name};
  }
};

}  // namespace update
