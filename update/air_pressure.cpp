#include "update/air_pressure.h"

#include <cstdlib>

#include "update/air_pressure_data.h"

namespace update {
namespace {

struct QualifyingType {
  int32_t typeCode;
  int32_t lowestVersion;
};
constexpr QualifyingType kQualifyingTypes[] = {{28101, 102}, {28154, 102}, {28160, 101}};

int32_t LeadingNumber(const std::string& text) {
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

}  // namespace

std::span<const package::PressureRow> BuiltInPressureRows() {
  return kPressureTable;
}

PressureTable LoadPressureTable(const std::filesystem::path& folder, int32_t language) {
  const package::PressureTableFile file = package::ReadPressureTable(folder);
  PressureTable table;
  if (!file.present) {
    table.rows.assign(kPressureTable.begin(), kPressureTable.end());
    return table;
  }
  table.fromPackage = true;
  if (!file.readable) {
    table.problems.push_back(package::PressureUnreadableText(language));
    return table;
  }
  table.rows = file.rows;
  for (const package::PressureProblem& problem : file.problems)
    table.problems.push_back(package::PressureProblemText(problem, language));
  return table;
}

bool PressureQualifies(const std::string& typeCode, int32_t softwareVersion) {
  const int32_t type = LeadingNumber(typeCode);
  for (const QualifyingType& candidate : kQualifyingTypes) {
    if (candidate.typeCode == type) return softwareVersion >= candidate.lowestVersion;
  }
  return false;
}

int32_t FindPressureEntry(const std::string& typeCode, const std::string& serialNumber,
                          int32_t softwareVersion, std::span<const package::PressureRow> table) {
  if (!PressureQualifies(typeCode, softwareVersion)) return kPressureNotQualified;
  const int32_t serial = LeadingNumber(serialNumber);
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].serialNumber != 0 && table[i].serialNumber == serial) {
      return static_cast<int32_t>(i);
    }
  }
  return kPressureDefaultEntry;
}

float PressureOf(int32_t position, std::span<const package::PressureRow> table) {
  if (position >= 0 && static_cast<size_t>(position) < table.size() &&
      table[static_cast<size_t>(position)].serialNumber != 0) {
    return table[static_cast<size_t>(position)].value;
  }
  return kPressureDefault;
}

}  // namespace update
