// The per-run record of the instrument's identity, the chosen files and the versions. Cleared at
// the start of every run; every loader receives it. The update sequence adds its further fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace update {

// A file field of a device entry names a file: the shortest name with an ending ("a.txt") has
// five characters; a shorter text (empty, "-", "0") stands for "no file".
inline bool FileNamed(const std::string& name) {
  return name.size() >= 5;
}
// The third file (ProgFile1) is taken from four characters on, one fewer than the other files.
inline bool ThirdFileNamed(const std::string& name) {
  return name.size() >= 4;
}

// The name part of the instrument's start-up program in the download list.
inline constexpr const char* kStartupProgramFile = "StelvoStartUp.exe";

struct DownloadContext {
  // Field widths of the instruments' protocol, NUL included: longer texts are clipped.
  static constexpr size_t kPcbNumberWidth = 20;
  static constexpr size_t kDeviceNumberWidth = 20;
  static constexpr size_t kSwVersionWidth = 16;
  static constexpr size_t kVersionWidth = 16;
  static constexpr size_t kFileWidth = 255;
  static constexpr size_t kListCapacity = 200;
  static constexpr size_t kSerialNumberWidth = 40;
  static constexpr size_t kDeviceNameWidth = 120;
  static constexpr size_t kLoaderIdTextWidth = 80;

  int32_t ProzTyp = 0;          // 0x5438 selects the F5xx loader
  std::string PcbNumber;        // answer to "A.2003"
  std::string DeviceNumber;     // answer to "A.2000", e.g. 20363.000 (sensor: "meter,sensor")
  std::string SwVersion;        // answer to "A.2001"; optionally ",", second version
  std::string OfferedVersion;   // version text of the offered main firmware
  std::string OfferedVersion2;  // version text of the offered second firmware
  int32_t CurVer = 0;           // instrument version in hundredths
  int32_t NewVer = 0;           // offered main version in hundredths
  int32_t CurVer2 = 0;          // instrument second (sensor) version, 0 when none
  int32_t NewVer2 = 0;          // offered second version, 0 when none
  int32_t StartupVer = 0;       // start-up program in the instrument (answer 2011)
  int32_t OfferedStartupVer = 0;
  std::string MainFile;                   // first item of ProgFile2: DATEI in messages
  std::string SecondFile;                 // first item of ProgFile3
  std::string ThirdFile;                  // ProgFile1
  std::vector<std::string> DownloadList;  // further items, wildcards expanded
  std::string SerialNumber;               // answer to "A.4001"
  std::string DeviceNameText;             // NAME in messages
  char Reply208Char = 0;
  std::string SWKenn1, SWKenn2, SWKenn3;  // version patterns of the selected entry
  std::string BootLoadKenn;
  std::string LoaderIdText;  // identification text of a boot-loader frame answer
  bool BenchMode = false;
  bool NoSensorContinue = false;
  bool MainFileMarked = false;    // the ProgFile2 item ended with "@"
  bool SecondFileMarked = false;  // the ProgFile3 item ended with "@"
  int32_t FlashErase1 = 0, FlashErase2 = 0, FlashErase3 = 0;
  std::string ProgDefFile;
  int32_t BslPasswordWord = 0;
  bool BslPasswordKnown = false;

  int32_t ListCount() const { return static_cast<int32_t>(DownloadList.size()); }
};

// Stores value in a field of the given width (NUL included), clipped to width - 1 bytes.
inline void SetField(std::string& field, std::string_view value, size_t width) {
  field.assign(value.substr(0, width > 0 ? width - 1 : 0));
}

// A version text in hundredths: the truncated product of 100.01 and the decimal number at the
// start of the text (blanks, sign, digits, "." and digits, exponent), so "1.23" gives 123,
// "2.1" gives 210, "1.23,2.05" gives 123 and a text without a number gives 0.
int32_t VersionHundredths(std::string_view text);

}  // namespace update
