// Boot-loader answers that come late or twice, end to end: update-cli against instrument-sim with
// the boot loader's fault switches. The answer after the response time-out arrives together with
// the answer to the retry, or an answer is sent twice; the run recovers, ends in bounded time,
// reports success and leaves the flash equal to the image.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "tests/e2e/image_update.h"

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// A normal run takes about 15 s; a dialogue that has lost step hangs until this limit.
constexpr int kLimitSeconds = 60;

// The response time-out of update-cli is 500 ms (UPDATE_TIME_SCALE=10); a late answer comes
// after it, with the answer to the retry.
const std::string kLate = "late_ms = 900\n";

struct Case {
  const char* name;
  std::string profile;
  std::vector<Section> image;
  std::string prozTyp;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class StaleAnswerEndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(StaleAnswerEndToEnd, RecoversAndProgramsTheImage) {
  const Case& c = GetParam();
  const auto begin = std::chrono::steady_clock::now();
  const Update update =
      RunUpdate(c.profile, ImagePackage{TiTxt(c.image), c.prozTyp, "", false}, "", kLimitSeconds);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - begin)
          .count();

  EXPECT_LT(seconds, kLimitSeconds);
  EXPECT_EQ(update.cli.exitCode, 0) << update.cli.output;
  EXPECT_THAT(update.cli.output, HasSubstr("Download erfolgreich ausgeführt !"));
  EXPECT_THAT(update.cli.output, Not(HasSubstr("Fehler im Bootloader")));
  ExpectFlashHolds(update, c.image);
}

// Classic frames, counted from the boot loader's start: 1 version, 2 password, 3 speed change,
// 4 and on the erase sweep, then the blocks, the read-back and the start. F5xx frames: 1
// password, 2 version, 3 device identifier, 4 speed change, 5 and on erase, blocks, read-back.
const std::string kClassic = "[bootloader]\ntarget = classic\nversion = 1.60\n";
const std::string kF5xx = "[bootloader]\ntarget = f5xx\n";
const std::vector<Section> kClassicImage = {
    kVersion, {0x1100, Pattern(700, 1)}, VectorTable(0xFFE0, 0x1100)};
const std::vector<Section> kF5xxImage = {
    kVersion, {0x5C00, Pattern(600, 2)}, VectorTable(0xFF80, 0x5C00)};

INSTANTIATE_TEST_SUITE_P(
    Faults, StaleAnswerEndToEnd,
    ::testing::Values(Case{"ClassicLateEraseAfterTheSpeedChange",
                           kClassic + "[bootloader_faults]\nlate = 4\n" + kLate, kClassicImage,
                           "149"},
                      Case{"ClassicAnswerTwiceAfterTheSpeedChange",
                           kClassic + "[bootloader_faults]\nduplicate = 4\n", kClassicImage, "149"},
                      Case{"F5xxLateErase", kF5xx + "[bootloader_faults]\nlate = 5\n" + kLate,
                           kF5xxImage, "5438"},
                      Case{"F5xxStatusTwice", kF5xx + "[bootloader_faults]\nduplicate = 5\n",
                           kF5xxImage, "5438"}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
