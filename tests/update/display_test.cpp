#include "update/display.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/text.h"
#include "package/messages.h"
#include "tests/support/recording_view.h"

namespace update {
namespace {

using RecordingView = test::RecordingView;

DownloadContext Named(std::string name, std::string file = "") {
  DownloadContext context;
  context.DeviceNameText = std::move(name);
  context.MainFile = std::move(file);
  return context;
}

TEST(ExpandMessage, Placeholders) {
  struct Case {
    const char* what;
    std::string text;
    int32_t language;
    DownloadContext context;
    int32_t activeComIndex;
    std::string expected;
  };
  const Case cases[] = {
      {"empty name, German default, COM 3", std::string(messages::Text(messages::MSG_SUCCESS, 0)),
       0, Named(""), 2,
       "--------------------\r\nDownload erfolgreich ausgeführt !\r\n\r\nTrennen Sie das Gerät "
       "von der Schnittstelle COM 3.\r\n\r\nBeenden Sie das Programm unter Datei/Beenden."},
      {"English default name", "Programming NAME !!", 1, Named(""), 0, "Programming device !!"},
      {"a stray language is German", "NAME", 7, Named(""), 0, "Gerät"},
      {"several placeholders, each twice", "DATEI/NAME an COM X\\rDATEI NAME COM X", 0,
       Named("pH 340", "fw.txt"), 11, "fw.txt/pH 340 an COM 12\r\nfw.txt pH 340 COM 12"},
      {"values are not expanded again", "NAME: DATEI", 0, Named("NAME COM X", "DATEI\\r"), 0,
       "NAME COM X: DATEI\\r"},
      {"no placeholder, a lone backslash", "C:\\tmp\\", 0, Named("x"), 0, "C:\\tmp\\"},
      {"no port yet", "COM X", 0, Named("x"), -1, "COM 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ExpandMessage(c.text, c.language, c.context, c.activeComIndex), c.expected);
  }
}

TEST(ExpandMessage, ShownTwiceShowsCurrentValues) {
  const std::string_view row = messages::Text(messages::MSG_PROGRAMMING, 0);
  EXPECT_EQ(ExpandMessage(row, 0, Named("Oxi 340"), 0), "Oxi 340 wird programmiert !!\r\n\r\n");
  EXPECT_EQ(ExpandMessage(row, 0, Named("pH 340"), 0), "pH 340 wird programmiert !!\r\n\r\n");
  EXPECT_EQ(messages::Text(messages::MSG_PROGRAMMING, 0), "NAME wird programmiert !!\r\n\r\n");
}

TEST(LogLine, OnlyInDebugMode) {
  RecordingView view;
  LogLine(view, "A.2000 NAME", 0, 0, Named("pH"), 0);
  EXPECT_TRUE(view.log.empty());
  LogLine(view, "A.2000 NAME", 1, 0, Named("pH"), 0);
  EXPECT_EQ(view.log, std::vector<std::string>{"A.2000 pH"});
}

TEST(ClearDeviceTexts, EmptiesTheFourFields) {
  RecordingView view;
  view.fields = {"n", "s", "p", "v"};
  ClearDeviceTexts(view);
  EXPECT_EQ(view.fields, (std::array<std::string, 4>{"", "", "", ""}));
}

TEST(ShowProgress, PanelTitleAndText) {
  struct Case {
    double value;
    int32_t language;
    std::string formatted;
    std::string panel;
    std::string title;
    int repaints;
  };
  const Case cases[] = {
      {150, 0, " 100.0 %", "tag 100.0 %", "Update [ 100.0 %]", 1},
      {42.25, 0, " 42.2 %", "tag 42.2 %", "Update [ 42.2 %]", 1},
      {5, 0, " 5.0 %", "tag 5.0 %", "Update [ 5.0 %]", 1},
      {-1, 0, " -1.0 %", "", "Update", 0},
      {-1000, 0, " -1000.0 %", "Update [beendet]", "Update [beendet]", 0},
      {-1000, 1, " -1000.0 %", "Update [ready]", "Update [ready]", 0},
      {-10, 0, " -10.0 %", "tag -10.0 %", "Update [ -10.0 %]", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    RecordingView view;
    view.panels[4] = "old";
    EXPECT_EQ(ShowProgress(view, c.language, "tag", c.value), c.formatted);
    EXPECT_EQ(view.panels[4], c.panel);
    EXPECT_EQ(view.title, c.title);
    EXPECT_EQ(view.repaints, c.repaints);
  }
}

TEST(TitleTimerTimer, TicksAsAShareOfTheExpected) {
  RecordingView view;
  int32_t ticks = 0;
  TitleTimerTimer(view, 0, ticks, 4.0f);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(view.title, "Update [ 25.0 %]");
  TitleTimerTimer(view, 0, ticks, 0.0f);  // a file too small for one tick
  EXPECT_EQ(view.title, "Update [ 100.0 %]");
}

TEST(ShowDurationEstimate, Minutes) {
  struct Case {
    const char* what;
    VersionCheckStage stage;
    std::array<int32_t, 4> versions;  // CurVer, NewVer, CurVer2, NewVer2
    std::string thirdFile;
    bool force;
    int32_t minutes;
  };
  const Case cases[] = {
      {"long transfer, older secondary 2.10",
       VersionCheckStage::kLongTransfer,
       {100, 100, 210, 220},
       "",
       false,
       51},
      {"main older", VersionCheckStage::kMain, {100, 123, 0, 0}, "", false, 2},
      {"nothing older", VersionCheckStage::kMsp430, {123, 123, 0, 0}, "", false, 0},
      {"same versions forced", VersionCheckStage::kMain, {123, 123, 0, 0}, "", true, 3},
      {"older secondary below 2.00", VersionCheckStage::kMain, {100, 123, 150, 160}, "", false, 3},
      {"third file of four characters",
       VersionCheckStage::kMain,
       {100, 123, 0, 0},
       "b.tx",
       false,
       4},
      {"third file of three characters",
       VersionCheckStage::kMain,
       {100, 123, 0, 0},
       "b.t",
       false,
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DownloadContext context;
    context.CurVer = c.versions[0];
    context.NewVer = c.versions[1];
    context.CurVer2 = c.versions[2];
    context.NewVer2 = c.versions[3];
    context.ThirdFile = c.thirdFile;
    RecordingView view;
    view.log = {"earlier"};
    ShowDurationEstimate(view, 0, c.stage, context, c.force);
    EXPECT_EQ(view.log,
              std::vector<std::string>{"Der Download kann bis zu " + std::to_string(c.minutes) +
                                       " Minuten dauern!\r\n\r\n"});
  }
  RecordingView english;
  ShowDurationEstimate(english, 1, VersionCheckStage::kLongTransfer, DownloadContext{}, false);
  EXPECT_EQ(english.log,
            std::vector<std::string>{"The download may last up to 15 minutes !\r\n\r\n"});
}

TEST(VersionHundredths, NumberAtTheStart) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"1.23", 123}, {"2.1", 210},         {"2.10", 210},         {"1.23,2.05", 123}, {"X.XX", 0},
      {"", 0},       {"  1.5b", 150},      {"-1.5", -150},        {"+2", 200},        {"1e1", 1000},
      {"1e", 100},   {".5", 50},           {"5.", 500},           {"inf", 0},         {"nan", 0},
      {"0x10", 0},   {"1e300", INT32_MAX}, {"-1e300", INT32_MIN}, {"1e-999", 0},      {"0.29", 29},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VersionHundredths(c.text), c.expected) << c.text;
  }
}

TEST(MessageCatalogue, EveryTextInBothLanguagesAndWindows1252) {
  for (int32_t id = 0; id < messages::kMessageCount; ++id) {
    for (int32_t language : {0, 1}) {
      const std::string_view text = messages::Text(static_cast<messages::MessageId>(id), language);
      SCOPED_TRACE(std::string(text));
      EXPECT_FALSE(text.empty());
      // Package files and instruments know only this code page.
      EXPECT_EQ(core::Cp1252ToUtf8(core::Utf8ToCp1252(text)), text);
    }
  }
  EXPECT_EQ(messages::Text(messages::DEFAULT_DEVICE_NAME, 2), "Gerät");
}

}  // namespace
}  // namespace update
