#include "shell/firmware_scan.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_folder.h"

namespace shell {
namespace {

struct ScanCase {
  const char* what;
  std::vector<std::string> files;
  std::vector<std::string> progFile2;
  std::vector<std::string> expectedFiles;
  std::vector<std::string> expectedList;
  bool menuVisible;
  std::array<bool, 4> itemsEnabled;
  bool benchEnabled;
};

TEST(FirmwareScan, ListsAndMenuRules) {
  const ScanCase cases[] = {
      {"no files", {}, {"pH480e"}, {}, {}, false, {}, false},
      {"EEP and Version",
       {"AEEP.mot", "Version.txt", "MyVersion.mot", "xEEPx.hex", "readme.md"},
       {},
       {"MyVersion.mot"},
       {"MyVersion"},
       false,
       {},
       false},
      {"order of patterns, two dots",
       {"b.hex", "a.txt", "z.mot", "fw.v1.txt", "tool.exe", "lib.dll"},
       {},
       {"z.mot", "a.txt", "fw.v1.txt", "tool.exe", "lib.dll", "b.hex"},
       {"z", "a", "fw", "tool", "lib", "b"},
       false,
       {},
       false},
      {"menu items by ProgFile2",
       {"Multi480e.mot", "Oxi480e_2.mot"},
       {"Multi480e", "pH480e", "Oxi480e", ""},
       {"Multi480e.mot", "Oxi480e_2.mot"},
       {"Multi480e", "Oxi480e_2"},
       false,  // the last .mot file decides, and it does not contain entry 0's name
       {true, false, true, false},
       false},
      {"bench by any of entries 0..3",
       {"Bench_Cond.txt"},
       {"x", "y", "z", "Bench_Cond"},
       {"Bench_Cond.txt"},
       {"Bench_Cond"},
       false,
       {},
       true},
  };
  for (const ScanCase& c : cases) {
    test::TempFolder folder;
    for (const std::string& name : c.files) folder.Write(name, "x");
    const FirmwareScan scan = ScanFirmwareFiles(folder.Path(), c.progFile2, 1);
    EXPECT_EQ(scan.files, c.expectedFiles) << c.what;
    EXPECT_EQ(scan.listNames, c.expectedList) << c.what;
    EXPECT_EQ(scan.programmingMenuVisible, c.menuVisible) << c.what;
    EXPECT_EQ(scan.deviceItemsEnabled, c.itemsEnabled) << c.what;
    EXPECT_EQ(scan.benchEnabled, c.benchEnabled) << c.what;
  }
}

TEST(FirmwareScan, LastMotFileDecidesTheSubmenu) {
  test::TempFolder folder;
  folder.Write("A_Multi480e.mot", "x");
  folder.Write("B_Other.mot", "x");
  EXPECT_FALSE(ScanFirmwareFiles(folder.Path(), {"Multi480e"}, 1).programmingMenuVisible);
  folder.Write("C_Multi480e.mot", "x");
  EXPECT_TRUE(ScanFirmwareFiles(folder.Path(), {"Multi480e"}, 1).programmingMenuVisible);
}

TEST(FirmwareScan, FilesBeyondTheCapacityAreNamedInTheLog) {
  test::TempFolder folder;
  for (int i = 0; i < 165; ++i) folder.Write("f" + std::to_string(1000 + i) + ".txt", "x");
  const FirmwareScan scan = ScanFirmwareFiles(folder.Path(), {}, 0);
  EXPECT_EQ(scan.files.size(), FirmwareScan::kCapacity);
  ASSERT_EQ(scan.log.size(), 5u);
  EXPECT_EQ(scan.log[0],
            "Die Liste der Firmware-Dateien ist voll (160 Dateien): f1160.txt wird nicht "
            "aufgeführt.");
}

}  // namespace
}  // namespace shell
