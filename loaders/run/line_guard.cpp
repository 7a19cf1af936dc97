#include "loaders/run/line_guard.h"

namespace loaders {

LineGuard::LineGuard(serial::TComPort& port, Way way)
    : port_(port), way_(way), saved_(port.LoadV24Parameter()), handshake_(port.ActiveHandshake()) {
  if (way_ == Way::kPortSlot) port_.SaveLastV24Parameter();
}

LineGuard::~LineGuard() {
  Restore();
}

void LineGuard::Restore() {
  if (!pending_) return;
  pending_ = false;
  port_.ChangeHandShake(handshake_);
  if (way_ == Way::kPortSlot) {
    port_.LoadLastV24Parameter();
  } else {
    port_.SaveV24Parameter(&saved_);
  }
}

void LineGuard::RestoreAfterReopen() {
  if (!pending_) return;
  pending_ = false;
  port_.SaveV24Parameter(&saved_);
}

}  // namespace loaders
