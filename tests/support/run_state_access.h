// Lets a test put an engine's run where a real run would have brought it (a found port, an
// identification's outcome, a later step) without driving the whole dialogue there.
#pragma once

#include <ostream>

#include "update/engine.h"

namespace update {

inline void PrintTo(SequenceStep step, std::ostream* os) {
  *os << "step " << static_cast<int>(step);
}

struct RunStateAccess {
  static RunState& Of(UpdateEngine& engine) { return engine.run_; }
  static DownloadContext& Record(UpdateEngine& engine) { return engine.record_; }
};

}  // namespace update
