// Event kinds and the key codes of the event queue. The codes of the update sequence live with
// the update engine, the window messages with the serial port component.
#pragma once

#include <cstdint>

namespace core {

// Event kinds.
inline constexpr int32_t EVK_NONE = 0;
inline constexpr int32_t EVK_KEY_ALT = 2;
inline constexpr int32_t EVK_KEY = 16;
inline constexpr int32_t EVK_EVENT = 256;
inline constexpr int32_t EVK_TIMER = 512;

// Key codes (kind EVK_KEY).
inline constexpr int32_t KEY_OK = 13;
inline constexpr int32_t KEY_ESCAPE = 27;

}  // namespace core
