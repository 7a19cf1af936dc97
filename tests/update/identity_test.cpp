#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "update/air_pressure.h"
#include "update/offered_version.h"

namespace update {
namespace {

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

TEST(OfferedVersion, ModeByPatternAndFileName) {
  EXPECT_EQ(VersionModeFor("@F000\r\n", "main.txt"), VersionFileMode::kHead);
  EXPECT_EQ(VersionModeFor("S1094000", "main.mot"), VersionFileMode::kTail);
  EXPECT_EQ(VersionModeFor("FileVersion", "tool.exe"), VersionFileMode::kProgram);
  EXPECT_EQ(VersionModeFor("S1094000", "x.dll"), VersionFileMode::kNone);
  EXPECT_EQ(VersionModeFor("x", "texes.txt"), VersionFileMode::kProgram);  // "exe" anywhere
}

TEST(OfferedVersion, HexBytesAfterThePattern) {
  struct Case {
    const char* what;
    std::string bytes;
    std::string pattern;
    std::string version;
  };
  const Case cases[] = {
      {"TI-TXT with blanks", "@F000\r\n31 2E 32 33 00 FF\r\n", "@F000\r\n", "1.23"},
      {"S-record without blanks", "S00600004844521B\nS10940003130322E3035001A\n", "S1094000",
       "102.05"},
      {"lower-case digits", "@E000\r\n32 2e 31 30 00\r\n", "@E000\r\n", "2.10"},
      {"pattern missing", "@F000\r\n31 2E\r\n", "@C000\r\n", ""},
      {"ends with the bytes", "@F000\r\n31 2E 35", "@F000\r\n", "1.5"},
      {"empty pattern", "31 2E", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeHexVersion(c.bytes, c.pattern), c.version) << c.what;
}

TEST(OfferedVersion, ProgramFileStrings) {
  // A blank in the matching string: the version is its text after the blank.
  EXPECT_EQ(
      DecodeProgramVersion(Utf16(std::string("x\0ProductVersion 4.12\0", 22)), "ProductVersion"),
      "4.12");
  // Without a blank: the string two units after its NUL, less its first character.
  const std::string table = Utf16(std::string("\0\0FileVersion\0\0V3.07\0tail", 26));
  EXPECT_EQ(DecodeProgramVersion(table, "FileVersion"), "3.07");
  EXPECT_EQ(DecodeProgramVersion(table, "Missing"), "");
}

TEST(OfferedVersion, ReadsTheRightPartOfTheFile) {
  test::TempFolder folder;
  const std::string head = "@F000\r\n31 2E 32 33 00\r\n" + std::string(2000, 'x');
  const auto file = folder.Write("main.txt", head);
  EXPECT_EQ(ReadVersionBytes(file, VersionFileMode::kHead)->size(), 1000u);
  EXPECT_EQ(ReadVersionBytes(file, VersionFileMode::kTail)->substr(0, 3), "xxx");
  EXPECT_EQ(ReadVersionBytes(folder.Write("small.exe", "ab"), VersionFileMode::kProgram), "ab");
  EXPECT_FALSE(ReadVersionBytes(folder.Path() / "absent.txt", VersionFileMode::kHead));
  EXPECT_FALSE(ReadVersionBytes(folder.Path() / "absent.exe", VersionFileMode::kNone));
}

TEST(AirPressure, QualificationAndLookup) {
  struct Case {
    const char* type;
    const char* serial;
    int32_t version;
    int32_t entry;
    float value;
  };
  const Case cases[] = {
      {"28160", "14111108", 101, 0, 961.7f},   {"28101", "14120333", 101, -1, 0},
      {"28101", "14120333", 102, 3, 948.5f},   {"28154abc", "14220411", 150, 73, 945.0f},
      {"28154", "99999999", 102, -10, 947.0f}, {"20363", "14111108", 500, -1, 0},
      {"28160", "14201275", 101, 75, 945.1f},
  };
  for (const Case& c : cases) {
    const int32_t entry = FindPressureEntry(c.type, c.serial, c.version);
    EXPECT_EQ(entry, c.entry) << c.type << " " << c.serial;
    if (entry != -1) {
      EXPECT_FLOAT_EQ(PressureOf(entry), c.value);
    }
  }
  // Rows the maker has not supplied yet never match and fall back to the default.
  EXPECT_FLOAT_EQ(PressureOf(10), 947.0f);
}

}  // namespace
}  // namespace update
