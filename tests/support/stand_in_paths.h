// Programming paths for tests that exercise only some loaders: the loaders a test leaves out end
// as a failed programming would (no transfer, a program that did not run, a terminal that failed).
#pragma once

#include <cstdint>
#include <string>

#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_paths.h"

namespace test {

template <class Paths>
struct WithoutOtherLoaders : Paths {
  int32_t RunWinCe(update::UpdateEngine&, const std::string&) override { return 0; }
  int32_t RunExternalLoader(update::UpdateEngine&, const std::string&) override { return -1; }
  void StartTerminal(update::UpdateEngine& engine) override {
    engine.ProgrammingFailed(update::ev::kProgrammingFailed);
  }
};

}  // namespace test
