// UPDATE_TIME_SCALE=N divides every delay and pool-timer interval by N, so tests and the demo
// run the real sequence faster than an instrument would need. Unset or below 1: real time.
#pragma once

#include "core/event_core.h"

namespace shell {

void ApplyTimeScale(core::EventCore& events);

}  // namespace shell
