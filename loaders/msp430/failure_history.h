// The retry rule shared by both MSP430 loaders: a failing step is retried until it has filled
// every slot of the history, so one step fails the run on its (Slots + 1)th failure. The
// history is never cleared during a run; a different step overwrites only the first slot that
// differs, so the count is not strictly "in a row". Two steps that fail by turns would
// therefore be retried for ever (a sync character and a frame on a line that rejects every
// other answer): failures without any progress in between are bounded as well.
#pragma once

#include <array>
#include <cstddef>

namespace msp430 {

// Handler: a default-constructible ("empty") and equality-comparable step.
template <typename Handler, size_t Slots>
class FailureHistory {
 public:
  // Records a failure of step; true when it is to be retried, false when the run has failed.
  bool Record(const Handler& step) {
    if (++sinceProgress_ > kMaxWithoutProgress) return false;
    for (Handler& entry : entries_) {
      if (!(entry == step)) {
        entry = step;
        return true;
      }
    }
    return false;
  }

  // The boot loader has answered a command (not just a synchronisation character).
  void Progress() { sinceProgress_ = 0; }

  const std::array<Handler, Slots>& Entries() const { return entries_; }

  static constexpr size_t kMaxWithoutProgress = 4 * (Slots + 1);

 private:
  std::array<Handler, Slots> entries_{};
  size_t sinceProgress_ = 0;
};

}  // namespace msp430
