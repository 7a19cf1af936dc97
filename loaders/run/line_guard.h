// The line of a port as a loader found it, given back on every way out of the loader's run.
#pragma once

#include "serial/com_port.h"

namespace loaders {

// Saves the port's line (its settings and handshake) when made and gives it back on every way
// out: by Restore, or when the guard goes.
class LineGuard {
 public:
  enum class Way {
    // In the port's own saved line, which the run reads again after the loader (the line the
    // instrument was found on).
    kPortSlot,
    // In a copy the guard keeps, with the handshake.
    kCopy,
  };

  LineGuard(serial::TComPort& port, Way way);
  ~LineGuard();
  LineGuard(const LineGuard&) = delete;
  LineGuard& operator=(const LineGuard&) = delete;

  // The saved line, once; the guard does nothing more afterwards.
  void Restore();
  // The same after the port was closed and opened again (opening forgets the port's saved
  // line): the guard's copy.
  void RestoreAfterReopen();
  // The loader has set the line the run ends with itself: nothing is given back.
  void Keep() { pending_ = false; }

 private:
  serial::TComPort& port_;
  Way way_;
  serial::LineConfig saved_;
  serial::HandshakeTag handshake_;
  bool pending_ = true;
};

}  // namespace loaders
