// Sets a German locale for the C library, as Qt's application object does under a German
// desktop (a comma as the decimal separator), and restores the previous one at the end.
#pragma once

#include <clocale>
#include <string>

#include "tests/support/platform.h"

namespace test {

class GermanLocale {
 public:
  GermanLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, GermanLocaleName()) != nullptr;
  }
  ~GermanLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  GermanLocale(const GermanLocale&) = delete;
  GermanLocale& operator=(const GermanLocale&) = delete;

  // False when the machine has no German locale (scripts/deps.sh installs it).
  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

}  // namespace test
