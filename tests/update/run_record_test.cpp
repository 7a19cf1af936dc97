#include "update/run_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tests/support/temp_folder.h"

namespace update {
namespace {

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  std::vector<std::string> lines;
  std::string text = all.str();
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));  // a line without its end: a mixed or cut line
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(RunRecordTest, FieldsAreQuotedAsCsvWants) {
  struct Case {
    std::string text, field;
  } cases[] = {
      {"pH 340", "pH 340"},   {"", ""},
      {"a,b", "\"a,b\""},     {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {" lead", "\" lead\""}, {"two\r\nlines", "two  lines"},
      {"Gerät", "Gerät"},
  };
  for (const Case& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST(RunRecordTest, LineHoldsEveryColumnInOrder) {
  RunRecord r;
  r.time = "2026-12-11T13:05:09+01:00";
  r.programVersion = "1.00";
  r.packageFolder = "/pkg, one";
  r.port = "COM3";
  r.device = "/dev/ttyUSB0";
  r.instrumentName = "pH 340";
  r.instrumentNumber = "20363.000";
  r.serialNumber = "12345678";
  r.pcbNumber = "41000.001";
  r.versionBefore = "1.20";
  r.versionOffered = "1.30";
  r.result = RunResult::kFailed;
  r.failedStep = "msp430 write";
  r.failedCode = 8;
  r.seconds = 12.34;
  EXPECT_EQ(RecordLine(r),
            "2026-12-11T13:05:09+01:00,1.00,\"/pkg, one\",COM3,/dev/ttyUSB0,pH 340,20363.000,"
            "12345678,41000.001,1.20,1.30,failed,msp430 write,8,12.3\r\n");
  // A run that did not fail has neither step nor code.
  r.result = RunResult::kAlreadyCurrent;
  r.failedStep.clear();
  EXPECT_NE(RecordLine(r).find(",already current,,,12.3\r\n"), std::string::npos);
  // As many columns as the header names.
  const auto commas = [](const std::string& s) { return std::count(s.begin(), s.end(), ','); };
  r.packageFolder = "/pkg";
  EXPECT_EQ(commas(RecordLine(r)), commas(RecordHeader()));
}

TEST(RunRecordTest, TimeCarriesItsZone) {
  const std::string now = NowIso8601();
  ASSERT_EQ(now.size(), 25u) << now;  // 2026-12-11T13:05:09+01:00
  EXPECT_EQ(now[10], 'T');
  EXPECT_TRUE(now[19] == '+' || now[19] == '-') << now;
  EXPECT_EQ(now[22], ':');
}

TEST(RunRecordTest, NewFileGetsTheHeaderOnceAndFolderIsMade) {
  test::TempFolder folder;
  const std::filesystem::path file = folder.Path() / "deep" / "runs.csv";
  RunRecord r;
  r.port = "COM1";
  std::string error;
  ASSERT_TRUE(AppendRecord(file, r, error)) << error;
  r.port = "COM2";
  ASSERT_TRUE(AppendRecord(file, r, error)) << error;
  const std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0] + "\r\n", RecordHeader());
  EXPECT_NE(lines[1].find(",COM1,"), std::string::npos);
  EXPECT_NE(lines[2].find(",COM2,"), std::string::npos);
}

TEST(RunRecordTest, UnwritableFileIsAnErrorWithItsReason) {
  test::TempFolder folder;
  std::string error;
  // A folder where the file should be.
  std::filesystem::create_directories(folder.Path() / "runs.csv");
  EXPECT_FALSE(AppendRecord(folder.Path() / "runs.csv", RunRecord{}, error));
  EXPECT_FALSE(error.empty());
}

TEST(RunRecordDefaultTest, FileLiesInTheUsersDataFolder) {
  const std::filesystem::path file = DefaultRecordFile();
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file.filename(), "runs.csv");
  EXPECT_EQ(file.parent_path().filename(), "instrument-updater");
}

#ifndef _WIN32
// Several programs append long lines at once: every line arrives whole, the header once.
TEST(RunRecordTest, ProgramsAppendingAtOnceNeverMixTheirLines) {
  test::TempFolder folder;
  const std::filesystem::path file = folder.Path() / "runs.csv";
  constexpr int kPrograms = 4;
  constexpr int kLines = 50;
  std::vector<pid_t> children;
  for (int p = 0; p < kPrograms; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      RunRecord r;
      r.packageFolder = std::string(20000, static_cast<char>('a' + p));  // beyond one pipe buffer
      std::string error;
      for (int i = 0; i < kLines; ++i) {
        r.serialNumber = std::to_string(i);
        if (!AppendRecord(file, r, error)) _exit(1);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 1u + kPrograms * kLines);
  EXPECT_EQ(lines[0] + "\r\n", RecordHeader());
  std::set<std::string> seen;  // letter and serial number of each line
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> fields;
    std::stringstream row(lines[i]);
    for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
    ASSERT_GE(fields.size(), 8u) << "line " << i;
    const std::string& folderField = fields[2];
    ASSERT_EQ(folderField.size(), 20000u) << "line " << i << " is cut or mixed";
    EXPECT_EQ(std::count(folderField.begin(), folderField.end(), folderField[0]), 20000)
        << "line " << i << " is mixed";
    EXPECT_TRUE(seen.insert(folderField.substr(0, 1) + fields[7]).second) << "line " << i;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kPrograms * kLines));
}
#endif

}  // namespace
}  // namespace update
