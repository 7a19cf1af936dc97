#include "loaders/msp430/failure_history.h"

#include <gtest/gtest.h>

#include <vector>

namespace msp430 {
namespace {

struct Step {
  int id = 0;  // 0: empty
  bool operator==(const Step&) const = default;
};

TEST(FailureHistory, RetriesUntilEverySlotHoldsTheStep) {
  const Step h{1}, g{2};
  struct Case {
    const char* name;
    size_t slots;
    std::vector<Step> failures;
    std::vector<bool> retried;
  };
  const Case cases[] = {
      {"classic: the fourth failure ends the run", 3, {h, h, h, h}, {true, true, true, false}},
      // Another step overwrites only the first slot, so H, H, G, H, H, H ends at the last H.
      {"classic: not strictly in a row",
       3,
       {h, h, g, h, h, h},
       {true, true, true, true, true, false}},
      {"F5xx: the third failure ends the run", 2, {h, h, h}, {true, true, false}},
      {"F5xx: alternating steps", 2, {h, g, h, g}, {true, true, true, true}},
  };
  for (const Case& c : cases) {
    FailureHistory<Step, 3> classic;
    FailureHistory<Step, 2> f5xx;
    for (size_t i = 0; i < c.failures.size(); ++i) {
      const bool retried =
          c.slots == 3 ? classic.Record(c.failures[i]) : f5xx.Record(c.failures[i]);
      EXPECT_EQ(retried, c.retried[i]) << c.name << ", failure " << i + 1;
    }
  }
}

}  // namespace
}  // namespace msp430
