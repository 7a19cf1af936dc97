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

int32_t FindPressureEntry(const std::string& typeCode, const std::string& serialNumber,
                          int32_t softwareVersion) {
  const int32_t type = LeadingNumber(typeCode);
  for (const QualifyingType& candidate : kQualifyingTypes) {
    if (candidate.typeCode != type) continue;
    if (softwareVersion < candidate.lowestVersion) return kPressureNotQualified;
    const int32_t serial = LeadingNumber(serialNumber);
    for (size_t i = 0; i < kPressureTable.size(); ++i) {
      if (kPressureTable[i].serialNumber != 0 && kPressureTable[i].serialNumber == serial) {
        return static_cast<int32_t>(i);
      }
    }
    return kPressureDefaultEntry;
  }
  return kPressureNotQualified;
}

float PressureOf(int32_t position) {
  if (position >= 0 && static_cast<size_t>(position) < kPressureTable.size() &&
      kPressureTable[position].serialNumber != 0) {
    return kPressureTable[position].value;
  }
  return kPressureDefault;
}

}  // namespace update
