// Programming paths for tests that exercise only some loaders: the loaders a test leaves out end
// as a failed programming would (no transfer, a program that did not run, a terminal that failed).
#pragma once

#include <cstdint>
#include <string>

#include "update/programming_paths.h"

namespace test {

template <class Paths>
struct WithoutOtherLoaders : Paths {
  update::LoaderResult RunWinCe(update::RunHost&, const std::string&) override {
    return update::LoaderResult::Failed();
  }
  update::LoaderResult RunExternalLoader(update::RunHost&, const std::string&) override {
    return update::LoaderResult::Failed(-1);
  }
  void StartTerminal(update::RunHost& run) override {
    run.LoaderEnded(update::LoaderResult::Failed());
  }
};

}  // namespace test
