// Constants of the port search: probes, baud names and the raw wake-up sequences of the
// boot-loader attempt.
#pragma once

#include <array>
#include <cstdint>

namespace update {

struct WakeSequence {
  const char* bytes;
  int32_t length;
};

// Sent by the boot-loader attempt by DeviceKind; the first time-out after it sends entry
// DeviceKind + 3 (kinds 0 and 1 only).
inline constexpr std::array<WakeSequence, 5> kWakeSequences = {{
    {"\x68\x00\x00\x68\x00\x00\x00\x00\x16", 9},
    {"\x80", 1},
    {"\r\n", 2},
    {"\r\n", 2},
    {"\x85\x01\x00\x1A", 4},
}};

// Status panel 2 text for a BaudTag value.
const char* BaudName(int32_t baud);

}  // namespace update
