#include "shell/gang_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace shell {
namespace {

GangRow Row(const std::string& port, const std::string& instrument, GangStep step, int percent) {
  GangRow row;
  row.port = port;
  row.device = "/dev/pts/" + port.substr(3);
  row.instrument = instrument;
  row.serial = "1001";
  row.step = step;
  row.percent = percent;
  return row;
}

// What a GangTable printed, read back from its file.
struct Printed {
  Printed() : file(std::tmpfile()) {}
  ~Printed() { std::fclose(file); }
  std::string Text() {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
  }
  std::FILE* file;
};

TEST(GangTable, ColumnsLineUpAlsoWithUmlauts) {
  const std::vector<GangRow> rows = {Row("COM1", "Gerät", GangStep::kSearch, -1),
                                     Row("COM12", "pH 340", GangStep::kProgramming, 40)};
  const std::vector<std::string> lines = TableLines(rows, 0);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("Port   Gerätedatei  Gerät", 0), 0u) << lines[0];
  // The serial number starts in the same column (counted in characters) on every row.
  const auto column = [](const std::string& line) {
    const size_t at = line.find("1001");
    size_t characters = 0;
    for (size_t i = 0; i < at; ++i) characters += (line[i] & 0xC0) != 0x80;
    return characters;
  };
  EXPECT_EQ(column(lines[1]), column(lines[2]));
  EXPECT_NE(lines[2].find("programmiert  40"), std::string::npos) << lines[2];
}

TEST(GangTable, PlainOutputPrintsARowOnlyWhenWhatItSaysChanges) {
  Printed out;
  GangTable table(out.file, false, 1);
  std::vector<GangRow> rows = {Row("COM1", "pH 340", GangStep::kProgramming, 41),
                               Row("COM2", "pH 340", GangStep::kSearch, -1)};
  table.Draw(rows);
  rows[0].percent = 49;  // the same tenth: nothing new
  table.Draw(rows);
  rows[0].percent = 50;
  rows[1].result = update::RunResult::kNotFound;
  rows[1].step = GangStep::kEnded;
  table.Draw(rows);
  EXPECT_EQ(out.Text(),
            "COM1  /dev/pts/1  pH 340  1001  programming  40 %\n"
            "COM2  /dev/pts/2  pH 340  1001  searching\n"
            "COM1  /dev/pts/1  pH 340  1001  programming  50 %\n"
            "COM2  /dev/pts/2  pH 340  1001  ended  not found\n");
}

TEST(GangTable, TerminalTableIsRedrawnInPlace) {
  Printed out;
  GangTable table(out.file, true, 1);
  const std::vector<GangRow> rows = {Row("COM1", "pH 340", GangStep::kSearch, -1),
                                     Row("COM2", "pH 340", GangStep::kSearch, -1)};
  table.Draw(rows);
  table.Draw(rows);
  const std::string text = out.Text();
  // No move before the first drawing; before the second, up over the heading and both rows.
  EXPECT_EQ(text.find("\x1b[3A"), text.rfind("\x1b[3A"));
  EXPECT_GT(text.find("\x1b[3A"), text.find("COM2"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
}

}  // namespace
}  // namespace shell
