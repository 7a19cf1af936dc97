// One line of the --trace file: time, direction, bytes in hex and as text.
#pragma once

#include <string>

#include "sim/instrument.h"

namespace sim {

std::string FormatTrace(const TraceEvent& event);

}  // namespace sim
