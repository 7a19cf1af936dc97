// The package's air-pressure calibration table: what a line gives, and that a line that cannot be
// read never gives its instrument a value.
#include <gtest/gtest.h>

#include "package/air_pressure_file.h"
#include "tests/support/temp_folder.h"

namespace package {
namespace {

TEST(AirPressureFile, LinesAndTheirFaults) {
  const struct {
    const char* text;
    std::vector<std::pair<int32_t, float>> rows;
    std::vector<std::pair<int, PressureFault>> problems;
  } cases[] = {
      {"14120333;948.5\r\n14120331,952.3\n14111108\t961.7",
       {{14120333, 948.5f}, {14120331, 952.3f}, {14111108, 961.7f}},
       {}},
      // A header, a comment, blank lines, a byte-order mark and blanks around the fields.
      {"\xEF\xBB\xBFSeriennummer;Wert\r\n# Serie 14\r\n\r\n  14120333 ; 948.5  \r\n",
       {{14120333, 948.5f}},
       {}},
      {"14120333;947", {{14120333, 947.0f}}, {}},
      // A decimal comma, a missing value, letters, a value with a second field.
      {"14120333;948,5\n14120331;\n14120332;abc\n14111108,961.7,x\n",
       {},
       {{1, PressureFault::kBadValue},
        {2, PressureFault::kBadValue},
        {3, PressureFault::kBadValue},
        {4, PressureFault::kBadValue}}},
      // A lost point: far outside any air pressure.
      {"14120333;9485\n14120331;12.5\n",
       {},
       {{1, PressureFault::kOutOfRange}, {2, PressureFault::kOutOfRange}}},
      {"S14120333;948.5\n;948.5\n-5;948.5\n99999999999;948.5\n",
       {},
       {{1, PressureFault::kNoSerialNumber},
        {2, PressureFault::kNoSerialNumber},
        {3, PressureFault::kNoSerialNumber},
        {4, PressureFault::kNoSerialNumber}}},
      // Which of two values was meant is not known: neither is taken.
      {"14120333;948.5\n14120331;952.3\n14120333;949.0\n",
       {{14120331, 952.3f}},
       {{3, PressureFault::kRepeated}}},
      // A bad line drops the good line of the same serial number too.
      {"14120333;948.5\n14120333;9x\n", {}, {{2, PressureFault::kBadValue}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const PressureTableFile table = ParsePressureTable(c.text);
    ASSERT_EQ(table.rows.size(), c.rows.size());
    for (size_t i = 0; i < c.rows.size(); ++i) {
      EXPECT_EQ(table.rows[i].serialNumber, c.rows[i].first);
      EXPECT_FLOAT_EQ(table.rows[i].value, c.rows[i].second);
    }
    ASSERT_EQ(table.problems.size(), c.problems.size());
    for (size_t i = 0; i < c.problems.size(); ++i) {
      EXPECT_EQ(table.problems[i].line, c.problems[i].first);
      EXPECT_EQ(table.problems[i].fault, c.problems[i].second);
    }
  }
}

TEST(AirPressureFile, ProblemTextsNameFileLineAndTheDefault) {
  const PressureTableFile table = ParsePressureTable("14120333;948.5\n14120332;948,5\nabc;1\n");
  ASSERT_EQ(table.problems.size(), 2u);
  EXPECT_EQ(PressureProblemText(table.problems[0], 1),
            "AirPressure.csv, line 2: no value with a point (e.g. 948.5) after the serial number; "
            "instrument 14120332 gets the default value 947.0.");
  EXPECT_EQ(PressureProblemText(table.problems[1], 0),
            "AirPressure.csv, Zeile 3: keine Seriennummer am Zeilenanfang; die Zeile wird "
            "übergangen.");
}

TEST(AirPressureFile, AbsentUnreadableAndPresent) {
  test::TempFolder folder;
  EXPECT_FALSE(ReadPressureTable(folder.Path()).present);
  std::filesystem::create_directory(folder.Path() / kPressureFileName);  // not a file
  const PressureTableFile folderTable = ReadPressureTable(folder.Path());
  EXPECT_TRUE(folderTable.present);
  EXPECT_FALSE(folderTable.readable);
  std::filesystem::remove(folder.Path() / kPressureFileName);
  folder.Write(kPressureFileName, "14120333;948.5\n");
  const PressureTableFile table = ReadPressureTable(folder.Path());
  EXPECT_TRUE(table.readable);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(table.rows[0].serialNumber, 14120333);
}

}  // namespace
}  // namespace package
