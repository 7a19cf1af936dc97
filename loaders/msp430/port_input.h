// Moving received bytes from the loader's port into a link's receiver, the same for both boot
// loaders. A receiver has FreeSpace() and Append(bytes).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "loaders/msp430/receive_buffer.h"
#include "serial/com_port.h"

namespace msp430 {

// Appends what the port has received, as much as the receiver can take, without waiting for
// more: a partial answer stays in the receiver until the rest comes. A frame whose length has
// come is announced by the port once it is whole, not byte by byte. False when the port refused
// the read.
template <typename Receiver>
bool ReadArrived(serial::TComPort& port, Receiver& rx) {
  std::array<uint8_t, ReceiveBuffer::kSize> bytes;  // the port puts a NUL behind what it returns
  const size_t space = rx.FreeSpace();
  if (space == 0) return true;
  const int32_t count = port.ReadReceived(bytes.data(), static_cast<uint32_t>(space));
  if (count < 0) return false;
  rx.Append({bytes.data(), static_cast<size_t>(count)});
  // Never more than the receiver can still take: what does not fit could not complete the frame.
  const size_t missing = std::min(rx.Missing(), rx.FreeSpace());
  if (missing > 1) port.AnnounceAt(static_cast<uint32_t>(missing));
  return true;
}

}  // namespace msp430
