// The retry rule shared by both MSP430 loaders: a failing step is retried until it has filled
// every slot of the history, so one step fails the run on its (Slots + 1)th failure. The
// history is never cleared during a run; a different step overwrites only the first slot that
// differs, so the count is not strictly "in a row".
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
    for (Handler& entry : entries_) {
      if (!(entry == step)) {
        entry = step;
        return true;
      }
    }
    return false;
  }

  const std::array<Handler, Slots>& Entries() const { return entries_; }

 private:
  std::array<Handler, Slots> entries_{};
};

}  // namespace msp430
