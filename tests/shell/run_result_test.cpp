#include <gtest/gtest.h>

#include "shell/update_session.h"

namespace shell {
namespace {

TEST(RunResultOf, EachEndOfARunHasItsRecordedResult) {
  struct Case {
    const char* name;
    RunEnd end;
    bool answeredNo;
    bool anythingOlder;
    int32_t activePort;
    bool leftCurrent;
    update::RunResult result;
  } cases[] = {
      {"programmed", RunEnd::kSuccess, false, true, 0, false, update::RunResult::kProgrammed},
      // Equal main versions, the instrument's second one newer: success without programming.
      {"nothing older", RunEnd::kSuccess, false, false, 0, false,
       update::RunResult::kAlreadyCurrent},
      {"same version kept", RunEnd::kFailed, true, false, 0, true,
       update::RunResult::kAlreadyCurrent},
      {"a question answered No", RunEnd::kFailed, true, true, 0, false,
       update::RunResult::kDeclined},
      {"failed", RunEnd::kFailed, false, true, 0, false, update::RunResult::kFailed},
      {"nobody answered", RunEnd::kClosed, false, false, -1, false, update::RunResult::kNotFound},
      {"the search failed", RunEnd::kFailed, false, false, -1, false, update::RunResult::kNotFound},
  };
  for (const Case& c : cases) {
    update::RunState run;
    run.ActivePort = c.activePort;
    run.LeftCurrent = c.leftCurrent;
    EXPECT_EQ(RunResultOf(c.end, c.answeredNo, c.anythingOlder, run), c.result) << c.name;
  }
}

}  // namespace
}  // namespace shell
