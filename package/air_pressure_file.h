// The air-pressure calibration table a firmware package may bring ("AirPressure.csv"): one line
// per instrument, its serial number and its value with a point ("14120333;948.5"; a comma or a tab
// separates too). Blank lines, lines beginning with "#" and a first line without a digit (a
// spreadsheet's header) are passed over. A line that cannot be read is never half taken: its
// instrument gets the default value, and the line is named so the package can be mended.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace package {

inline constexpr char kPressureFileName[] = "AirPressure.csv";
// The value of a qualifying instrument the table does not list.
inline constexpr float kPressureDefaultValue = 947.0f;
// What an air pressure in hPa can be at all; a value outside is a typing slip (a lost point).
inline constexpr float kPressureLowest = 300.0f;
inline constexpr float kPressureHighest = 1100.0f;
// A calibration table is small; a larger file is not one.
inline constexpr size_t kPressureFileLimit = 1000000;

struct PressureRow {
  int32_t serialNumber = 0;
  float value = 0;
};

enum class PressureFault {
  kNoSerialNumber,  // the line does not begin with a serial number
  kBadValue,        // no value with a point after the serial number (or more after it)
  kOutOfRange,      // a value outside kPressureLowest..kPressureHighest
  kRepeated,        // the serial number stands on an earlier line too
};

struct PressureProblem {
  int line = 0;  // 1-based
  PressureFault fault = PressureFault::kNoSerialNumber;
  int32_t serialNumber = 0;  // 0 when the line has none
  std::string value;         // the value's text as written
};

struct PressureTableFile {
  bool present = false;   // the package has the file
  bool readable = false;  // it could be read (and is not larger than kPressureFileLimit)
  // The good rows, in file order; a serial number with a problem has none.
  std::vector<PressureRow> rows;
  std::vector<PressureProblem> problems;
};

PressureTableFile ParsePressureTable(std::string_view text);
// The file in folder; present is false when there is none.
PressureTableFile ReadPressureTable(const std::filesystem::path& folder);

// The log line for a problem: file and line, what is wrong, what the instrument gets instead.
std::string PressureProblemText(const PressureProblem& problem, int32_t language);
// The log line for a file that is there but cannot be read.
std::string PressureUnreadableText(int32_t language);

}  // namespace package
