// Calibration data of the instrument series built into the program: one row per table position.
// A row with serial number 0 is not supplied yet and never matches. A package's AirPressure.csv
// replaces these rows (package/air_pressure_file.h).
#pragma once

#include <array>
#include <cstdint>

#include "package/air_pressure_file.h"

namespace update {

using PressureRow = package::PressureRow;

inline constexpr size_t kPressureRows = 76;

inline constexpr std::array<PressureRow, kPressureRows> MakePressureTable() {
  std::array<PressureRow, kPressureRows> table{};
  table[0] = {14111108, 961.7f};
  table[1] = {14120331, 952.3f};
  table[2] = {14120332, 952.3f};
  table[3] = {14120333, 948.5f};
  table[25] = {14180233, 943.6f};
  table[73] = {14220411, 945.0f};
  table[75] = {14201275, 945.1f};
  return table;
}

inline constexpr std::array<PressureRow, kPressureRows> kPressureTable = MakePressureTable();

}  // namespace update
