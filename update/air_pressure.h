// The air-pressure calibration value that instruments of three types receive after an update,
// chosen by their serial number, from the package's table (AirPressure.csv) when it brings one,
// else from the rows built into the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "package/air_pressure_file.h"

namespace update {

inline constexpr int32_t kPressureNotQualified = -1;
inline constexpr int32_t kPressureDefaultEntry = -10;
inline constexpr float kPressureDefault = package::kPressureDefaultValue;

// The rows built into the program.
std::span<const package::PressureRow> BuiltInPressureRows();

// The table a run uses: the package's rows when folder holds AirPressure.csv, else the built-in
// ones. Every line of the file that could not be taken is in problems (log texts in language);
// a file that cannot be read at all gives no row, so every instrument gets the default.
struct PressureTable {
  std::vector<package::PressureRow> rows;
  std::vector<std::string> problems;
  bool fromPackage = false;
};
PressureTable LoadPressureTable(const std::filesystem::path& folder, int32_t language);

// True when an instrument of this type code (leading digits) and software version (hundredths)
// receives a calibration value.
bool PressureQualifies(const std::string& typeCode, int32_t softwareVersion);

// -1: the instrument does not qualify; -10: it qualifies but its serial number is not in the
// table; otherwise the table position.
int32_t FindPressureEntry(const std::string& typeCode, const std::string& serialNumber,
                          int32_t softwareVersion,
                          std::span<const package::PressureRow> table = BuiltInPressureRows());
// The value at a table position, or the default for -10.
float PressureOf(int32_t position,
                 std::span<const package::PressureRow> table = BuiltInPressureRows());

}  // namespace update
