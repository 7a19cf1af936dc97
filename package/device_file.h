// ProgDevice.ini: delivered with each firmware package, it describes the instruments the package
// can program (one section per instrument type) and holds the start and abort texts. Only read.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "package/file_report.h"

namespace package {

// The variant of the update sequence the first character of DevStartCmd selects. The file holds
// a digit; reading it gives 0 to 4 (a digit 6 to 9 counts as 1 to 4).
enum class StartVariant : int32_t {
  kOpenDialogue = 0,      // the search probes with the end command; the run opens the dialogue
  kDirectIdent = 1,       // the search probes with the open command; the run identifies at once
  kSensor = 2,            // meter with a digital sensor: after programming the line returns to
                          // 9600 baud 8N2 and the clock answer ends the run
  kSensorBootChoice = 3,  // as kSensor; the identification chooses the boot command and then
                          // continues the run as kSensor
  kUnassigned = 4,        // digits 5 and 9: no variant of its own (probes as kOpenDialogue)
};

// The sensor instruments: their identity answers carry the meter and the sensor.
constexpr bool IsSensorVariant(StartVariant variant) {
  return variant == StartVariant::kSensor || variant == StartVariant::kSensorBootChoice;
}

// The programming path of a package, from the endings ProgFile2 names: the or of 1 for ".txt",
// 2 for ".exe" and 3 for ".hex". The tables by device kind have a row each.
enum class DeviceKindId : int32_t {
  kHexLoad = 0,  // none of the endings: the boot command, then the HEXLoad program
  kMsp430 = 1,   // ".txt": the MSP430 boot loader
  kWinCe = 2,    // ".exe": the WinCE transfer
  kPic32 = 3,    // ".hex", or ".txt" with ".exe": the PIC32 loader program
};

// Row of a table by device kind.
constexpr size_t KindRow(DeviceKindId kind) {
  return static_cast<size_t>(kind) & 3;
}

// The device kind of a main firmware file name, by its endings.
DeviceKindId DeviceKindOf(const std::string& fileName);

// One device section. Texts are UTF-8; each was cut to its field width (NUL included) on reading.
struct DeviceEntry {
  std::string DeviceNrDef;  // 12; five characters get ".000" appended
  std::string DeviceNr;     // 12; same rule
  std::string DeviceName;   // 32
  std::string ProgFile1;    // 32
  std::string ProgFile2;    // 512
  std::string ProgFile3;    // 512
  std::string SWKenn1;      // 64 each; a written "\r\n" becomes CR LF and ends the text
  std::string SWKenn2;
  std::string SWKenn3;
  std::string BootLoadKenn;  // 64
  std::string FlashErase1;   // 12 each
  std::string FlashErase2;
  std::string FlashErase3;
  std::string ProgDefFile;  // 32
  int32_t ProzTyp = 0;      // hexadecimal: 5438 is 0x5438
};

// The ProzTyp of the F5xx family: programmed by the F5xx boot loader (main firmware and its
// retry).
inline constexpr int32_t kProcessorF5xx = 0x5438;

struct DeviceDescription {
  static constexpr size_t kMaxEntries = 255;
  static constexpr size_t kTextWidth = 800;

  std::vector<DeviceEntry> DeviceTable;  // in file order, at most kMaxEntries
  int32_t DeviceEntryCount() const { return static_cast<int32_t>(DeviceTable.size()); }

  // From the first character of DevStartCmd; the last device section decides. Selects variants
  // of the update sequence; the identification restores it from SavedStartMode on every run.
  StartVariant StartMode = StartVariant::kOpenDialogue;
  StartVariant SavedStartMode = StartVariant::kOpenDialogue;
  // Programming path, from ProgFile2 of the first entry.
  DeviceKindId DeviceKind = DeviceKindId::kHexLoad;
  std::array<std::string, 2> StartText;  // [language]: StarttextD, StarttextE
  std::array<std::string, 2> AbortText;  // AbbruchtextD, AbbruchtextE

  const std::string& StartTextIn(int32_t language) const { return StartText[Row(language)]; }
  const std::string& AbortTextIn(int32_t language) const { return AbortText[Row(language)]; }

 private:
  static size_t Row(int32_t language) { return language == 1 ? 1 : 0; }
};

// Reads ProgDevice.ini from workingFolder into description. 0, or -1 after the error box
// "Konfigurationsdatei 2 ..." when it cannot be read. Clipped or refused input is noted in the log,
// in language (Update.ini's).
int32_t ReadDeviceFile(const std::filesystem::path& workingFolder, DeviceDescription& description,
                       FileReport& report, int32_t language);

// ProgDefFile of the first entry whose ProzTyp is processorType; empty when none is.
std::string DefaultFileForProcessor(const DeviceDescription& description, int32_t processorType);

}  // namespace package
