#include "package/device_file.h"

#include <gtest/gtest.h>

#include "package/ini_lines.h"
#include "package/package_values.h"
#include "tests/support/package_files.h"

namespace package {
namespace {

// Reads text (UTF-8 here, Windows-1252 on disk) as ProgDevice.ini.
DeviceDescription Read(const std::string& text, test::RecordingReport& report) {
  test::TempFolder folder;
  test::WritePackageFile(folder, "ProgDevice.ini", text);
  DeviceDescription description;
  EXPECT_EQ(ReadDeviceFile(folder.Path(), description, report, 1), 0);
  EXPECT_TRUE(report.boxes.empty());
  return description;
}

TEST(ReadDeviceFile, FieldsOfADeviceSection) {
  test::RecordingReport report;
  const DeviceDescription d =
      Read(test::DeviceSection({{"DevStartCmd", "2"},
                                {"DeviceNrDef", "20363.01"},
                                {"DeviceNr", "20363"},
                                {"DeviceName", "Oxi 340 Größe"},
                                {"ProgFile1", "boot.txt"},
                                {"ProgFile2", "main.txt,add.bin"},
                                {"ProgFile3", "sensor.txt@"},
                                {"SWKenn1", "ABC\\r\\nXYZ"},
                                {"SWKenn2", "@F000\\r\\n"},
                                {"SWKenn3", "no break"},
                                {"BootLoadKenn", "BSL"},
                                {"FlashErase1", "0xFC00"},
                                {"FlashErase2", "0x10000"},
                                {"FlashErase3", "512"},
                                {"ProgDefFile", "def.txt"},
                                {"ProzTyp", "5438"}}) +
               "\r\n" + test::TextSection("Start NAME\\r", "Start E", "Abbruch ä", "Abort E"),
           report);
  ASSERT_EQ(d.DeviceEntryCount(), 1);
  const DeviceEntry& e = d.DeviceTable[0];
  EXPECT_EQ(e.DeviceNrDef, "20363.01");
  EXPECT_EQ(e.DeviceNr, "20363.000");
  EXPECT_EQ(e.DeviceName, "Oxi 340 Größe");
  EXPECT_EQ(e.ProgFile1, "boot.txt");
  EXPECT_EQ(e.ProgFile2, "main.txt,add.bin");
  EXPECT_EQ(e.ProgFile3, "sensor.txt@");
  EXPECT_EQ(e.SWKenn1, "ABC\r\n");
  EXPECT_EQ(e.SWKenn2, "@F000\r\n");
  EXPECT_EQ(e.SWKenn3, "no break");
  EXPECT_EQ(e.BootLoadKenn, "BSL");
  EXPECT_EQ(e.FlashErase1, "0xFC00");
  EXPECT_EQ(e.FlashErase2, "0x10000");
  EXPECT_EQ(e.FlashErase3, "512");
  EXPECT_EQ(e.ProgDefFile, "def.txt");
  EXPECT_EQ(e.ProzTyp, 0x5438);
  EXPECT_EQ(static_cast<int32_t>(d.StartMode), 1);
  EXPECT_EQ(static_cast<int32_t>(d.SavedStartMode), 1);
  EXPECT_EQ(static_cast<int32_t>(d.DeviceKind), 1);
  EXPECT_EQ(d.StartTextIn(0), "Start NAME\\r");  // placeholders stay for the display
  EXPECT_EQ(d.StartTextIn(1), "Start E");
  EXPECT_EQ(d.AbortTextIn(0), "Abbruch ä");
  EXPECT_EQ(d.AbortTextIn(7), "Abbruch ä");  // a stray language reads German
  EXPECT_TRUE(report.notes.empty());
}

TEST(ReadDeviceFile, StartModeAndDeviceKind) {
  struct Case {
    std::string devStartCmd;
    std::string progFile2;
    int32_t startMode;
    int32_t deviceKind;
    bool noted;
  };
  const Case cases[] = {
      {"1", "fw.txt", 0, 1, false},       {"4", "fw.hex", 3, 3, false},
      {"5", "fw.mot", 4, 0, false},       {"6", "fw.exe", 0, 2, false},
      {"9x", "a.txt,b.exe", 3, 3, false}, {"", "fw.txt", 0, 1, true},
      {"A", "fw.TXT", 0, 0, true},        {"0", "", 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("DevStartCmd " + c.devStartCmd + ", ProgFile2 " + c.progFile2);
    test::RecordingReport report;
    const DeviceDescription d = Read(
        test::DeviceSection({{"DevStartCmd", c.devStartCmd}, {"ProgFile2", c.progFile2}}), report);
    EXPECT_EQ(static_cast<int32_t>(d.StartMode), c.startMode);
    EXPECT_EQ(static_cast<int32_t>(d.DeviceKind), c.deviceKind);
    EXPECT_EQ(!report.notes.empty(), c.noted);
  }
}

TEST(ReadDeviceFile, BlocksBySizeAndLineEnds) {
  const std::string eleven = test::DeviceSection();  // header and sixteen keys
  const std::string ten =
      "[Short]\r\nDevStartCmd=3\r\nDeviceNr=1\r\nA=1\r\nB=1\r\nC=1\r\nD=1\r\n"
      "E=1\r\nF=1\r\nG=1\r\n";
  const std::string elevenShort = ten + "ProgFile2=x.hex\r\n";
  struct Case {
    const char* what;
    std::string text;
    int32_t entries;
    std::string startText;
    int32_t deviceKind;
  };
  const Case cases[] = {
      {"ten lines are skipped, eleven read", ten + "\r\n" + elevenShort, 1, "", 3},
      {"a text section of four lines", eleven + "\r\n" + test::TextSection("Hallo", "Hello"), 1,
       "Hallo", 1},
      {"a header makes five lines: ignored",
       eleven + "\r\n[Texte]\r\n" + test::TextSection("Hallo", "Hello"), 1, "", 1},
      {"a later text section replaces an earlier one",
       test::TextSection("Erst", "First") + "\r\n" + test::TextSection("Dann", "Then"), 0, "Dann",
       0},
      {"a line of blanks separates like an empty line",
       eleven + "  \t\r\n" + test::DeviceSection({{"ProgFile2", "b.hex"}}), 2, "", 1},
      {"no empty line: two sections are one block", eleven + test::DeviceSection(), 1, "", 1},
      {"LF only", test::DeviceSection({}, "\n") + "\n" + test::TextSection("L", "F", "", "", "\n"),
       1, "L", 1},
      {"CR only", test::DeviceSection({}, "\r") + "\r" + test::TextSection("C", "R", "", "", "\r"),
       1, "C", 1},
      {"keys without regard to case; lines without =",
       "[x]\r\nno equals\r\nPROGFILE2=a.exe\r\nprogfile2=b.txt\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"
       "7\r\n",
       1, "", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::RecordingReport report;
    const DeviceDescription d = Read(c.text, report);
    EXPECT_EQ(d.DeviceEntryCount(), c.entries);
    EXPECT_EQ(d.StartTextIn(0), c.startText);
    EXPECT_EQ(static_cast<int32_t>(d.DeviceKind), c.deviceKind);
  }
}

TEST(ReadDeviceFile, OverlongInputIsClippedAndNoted) {
  test::RecordingReport report;
  std::string file;
  for (int i = 0; i < 300; ++i) {
    // The sections past the table's end must not decide the start mode either.
    file += test::DeviceSection({{"DevStartCmd", i < 255 ? "2" : "3"},
                                 {"ProgFile2", "fw" + std::to_string(i) + ".txt"}}) +
            "\r\n";
  }
  const std::string tenKilobytes(10000, 'n');
  file += test::DeviceSection({{"DeviceName", tenKilobytes}, {"SWKenn2", tenKilobytes}}) + "\r\n";
  file += test::TextSection(std::string(900, 'a') + "ä", "x");
  const DeviceDescription d = Read(file, report);
  EXPECT_EQ(d.DeviceEntryCount(), 255);
  EXPECT_EQ(d.DeviceTable[254].ProgFile2, "fw254.txt");
  EXPECT_EQ(static_cast<int32_t>(d.StartMode), 1);
  EXPECT_EQ(d.StartTextIn(0), std::string(799, 'a'));
  ASSERT_EQ(report.notes.size(), 2u);
  EXPECT_NE(report.notes[0].find("\"StarttextD\" is too long and was cut (799 characters at most)"),
            std::string::npos)
      << report.notes[0];
  EXPECT_NE(report.notes[1].find("46 device sections beyond the first 255"), std::string::npos)
      << report.notes[1];

  test::RecordingReport fieldReport;
  const DeviceDescription one = Read(
      test::DeviceSection({{"DeviceName", tenKilobytes}, {"SWKenn2", tenKilobytes}}), fieldReport);
  EXPECT_EQ(one.DeviceTable[0].DeviceName, std::string(31, 'n'));
  EXPECT_EQ(one.DeviceTable[0].SWKenn2, std::string(63, 'n'));
  ASSERT_EQ(fieldReport.notes.size(), 2u);
  EXPECT_NE(fieldReport.notes[0].find("ProgDevice.ini, line 5: the value of \"DeviceName\""),
            std::string::npos)
      << fieldReport.notes[0];
}

TEST(ReadDeviceFile, LinesBeyondTheLimitAreNotRead) {
  test::RecordingReport report;
  const std::string blanks(kMaxIniLines, '\n');
  const DeviceDescription d =
      Read(test::DeviceSection() + blanks + test::DeviceSection({{"DeviceName", "late"}}), report);
  EXPECT_EQ(d.DeviceEntryCount(), 1);
  EXPECT_EQ(d.DeviceTable[0].DeviceName, "pH 340");
  ASSERT_FALSE(report.notes.empty());
  EXPECT_NE(report.notes[0].find("ProgDevice.ini: more than 65536 lines"), std::string::npos)
      << report.notes[0];
}

TEST(ReadDeviceFile, EmptyFileDescribesNothing) {
  test::RecordingReport report;
  const DeviceDescription d = Read("", report);
  EXPECT_EQ(d.DeviceEntryCount(), 0);
  EXPECT_EQ(static_cast<int32_t>(d.DeviceKind), 0);
  EXPECT_EQ(report.notes.size(), 1u);
}

TEST(ReadDeviceFile, MissingFileShowsTheBox) {
  test::TempFolder folder;
  test::RecordingReport report;
  DeviceDescription description;
  EXPECT_EQ(ReadDeviceFile(folder.Path(), description, report, 1), -1);
  ASSERT_EQ(report.boxes.size(), 1u);
  EXPECT_EQ(report.boxes[0].caption, "Error");
  EXPECT_EQ(report.boxes[0].text, "Konfigurationsdatei 2 nicht vorhanden!!Programm wird beendet");
}

TEST(DefaultFileForProcessor, FirstEntryOfThatProcessor) {
  test::RecordingReport report;
  const DeviceDescription d =
      Read(test::DeviceSection({{"ProzTyp", "149"}, {"ProgDefFile", "a.txt"}}) + "\r\n" +
               test::DeviceSection({{"ProzTyp", "F427"}, {"ProgDefFile", "b.txt"}}) + "\r\n" +
               test::DeviceSection({{"ProzTyp", "f427"}, {"ProgDefFile", "c.txt"}}),
           report);
  EXPECT_EQ(DefaultFileForProcessor(d, 0xF427), "b.txt");
  EXPECT_EQ(DefaultFileForProcessor(d, 0x149), "a.txt");
  EXPECT_EQ(DefaultFileForProcessor(d, 0x5438), "");
}

TEST(CheckPackageFileName, NamesThatLeaveTheFolderOrReadAsOptions) {
  using F = PackageNameFault;
  const struct {
    const char* name;
    F fault;
  } cases[] = {
      {"", F::kNone},
      {"main.txt", F::kNone},
      {"sub\\a.bin", F::kNone},
      {"a..b.txt", F::kNone},
      {"...", F::kNone},
      {"./a.txt", F::kNone},
      {"x-y.txt", F::kNone},
      {"..", F::kOutside},
      {"../a.txt", F::kOutside},
      {"sub/../../a", F::kOutside},
      {"sub\\..", F::kOutside},
      {"/etc/passwd", F::kOutside},
      {"\\\\server\\a", F::kOutside},
      {"C:a.txt", F::kOutside},
      {"-rf", F::kOption},
      {"-..", F::kOption},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckPackageFileName(c.name), c.fault) << c.name;
}

}  // namespace
}  // namespace package
