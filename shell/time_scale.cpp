#include "shell/time_scale.h"

#include <cstdlib>

namespace shell {

void ApplyTimeScale(core::EventCore& events) {
  const char* value = std::getenv("UPDATE_TIME_SCALE");
  const int scale = value ? std::atoi(value) : 1;
  events.wait.SetDividend(scale);  // values below 1 store 1
  events.timers.SetTimeScale(scale);
}

}  // namespace shell
