// Each input kept in fuzz/corpus/whole_run_fuzz replayed through the harness's run: a run that
// the line disturbs as the input says ends soundly (a failure the user reads, or a success with
// the firmware in the instrument), and never waits without an end. The file name says what the
// input once caught; FUZZ_VERBOSE=1 prints how the run went.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/whole_run.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> KeptInputs() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(UPDATER_SOURCE_DIR) / "fuzz" / "corpus" /
                                                  "whole_run_fuzz")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class WholeRunReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(WholeRunReplay, EndsSoundly) {
  std::ifstream file(
      fs::path(UPDATER_SOURCE_DIR) / "fuzz" / "corpus" / "whole_run_fuzz" / GetParam(),
      std::ios::binary);
  const std::string input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(input.empty());
  const std::string fault =
      fuzz::RunWhole(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  EXPECT_EQ(fault, "");
}

INSTANTIATE_TEST_SUITE_P(Kept, WholeRunReplay, ::testing::ValuesIn(KeptInputs()),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
