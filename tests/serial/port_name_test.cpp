// The COM names a user, a port folder or the system gives: which port index each names.
#include <gtest/gtest.h>

#include "serial/port_names.h"

namespace {

TEST(ComNameIndex, NamesPortsOneTo256InAnyCaseAndNothingElse) {
  const struct {
    const char* name;
    std::optional<int> index;
  } cases[] = {
      {"COM1", 0},     {"com5", 4}, {"Com256", 255}, {"COM0", {}},      {"COM257", {}},
      {"COM1000", {}}, {"COM", {}}, {"COM5 ", {}},   {"COM5.port", {}}, {"\\\\.\\COM5", {}},
      {"LPT1", {}},    {"", {}},    {"COM-1", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serial::ComNameIndex(c.name), c.index);
  }
}

}  // namespace
