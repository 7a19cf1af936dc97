// The air-pressure calibration value that instruments of three types receive after an update,
// chosen by their serial number.
#pragma once

#include <cstdint>
#include <string>

namespace update {

inline constexpr int32_t kPressureNotQualified = -1;
inline constexpr int32_t kPressureDefaultEntry = -10;
inline constexpr float kPressureDefault = 947.0f;

// -1: the instrument does not qualify; -10: it qualifies but its serial number is not in the
// table; otherwise the table position.
int32_t FindPressureEntry(const std::string& typeCode, const std::string& serialNumber,
                          int32_t softwareVersion);
// The value at a table position, or the default for -10.
float PressureOf(int32_t position);

}  // namespace update
