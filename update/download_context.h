// The per-run record of the instrument's identity, the chosen files and the versions. Cleared at
// the start of every run; every loader receives it. The update sequence adds its further fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace update {

struct DownloadContext {
  int32_t CurVer = 0;          // instrument version in hundredths
  int32_t NewVer = 0;          // offered main version in hundredths
  int32_t CurVer2 = 0;         // instrument second (sensor) version, 0 when none
  int32_t NewVer2 = 0;         // offered second version, 0 when none
  std::string MainFile;        // first item of ProgFile2: DATEI in messages
  std::string ThirdFile;       // ProgFile1
  std::string DeviceNameText;  // NAME in messages
};

// A version text in hundredths: the truncated product of 100.01 and the decimal number at the
// start of the text (blanks, sign, digits, "." and digits, exponent), so "1.23" gives 123,
// "2.1" gives 210, "1.23,2.05" gives 123 and a text without a number gives 0.
int32_t VersionHundredths(std::string_view text);

}  // namespace update
