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

struct DeviceDescription {
  static constexpr size_t kMaxEntries = 255;
  static constexpr size_t kTextWidth = 800;

  std::vector<DeviceEntry> DeviceTable;  // in file order, at most kMaxEntries
  int32_t DeviceEntryCount() const { return static_cast<int32_t>(DeviceTable.size()); }

  // From the first character of DevStartCmd; the last device section decides. Selects variants
  // of the update sequence; the identification restores it from SavedStartMode on every run.
  int32_t StartMode = 0;
  int32_t SavedStartMode = 0;
  // Programming path, from ProgFile2 of the first entry: 1 ".txt", 2 ".exe", 3 ".hex" (or-ed).
  int32_t DeviceKind = 0;
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
