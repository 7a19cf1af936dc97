// The window messages the serial port component posts to its owner window.
#pragma once

#include <cstdint>

namespace serial {

// Window messages of the serial port component; wParam = 1-based port number.
inline constexpr uint32_t WM_V24_RECEIVED = 0x87D0;
inline constexpr uint32_t WM_V24_ERROR = 0x87E4;
inline constexpr uint32_t WM_V24_OVERRUN = 0x87EE;
inline constexpr uint32_t WM_V24_PARITY = 0x87F8;

}  // namespace serial
