// update-cli's view: what a technician reads on the terminal, in the run's language, without
// the window's menu or OK button.
#include "shell/console_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "package/messages.h"

namespace shell {
namespace {

using update::BoxAnswer;
using update::BoxButtons;
using update::BoxIcon;
using update::DeviceField;

// A view printing into a temporary file, and what it printed.
class Printed {
 public:
  Printed(bool answerYes, int32_t language)
      : file_(std::tmpfile()), view_(file_, answerYes, language) {}
  ~Printed() { std::fclose(file_); }
  ConsoleView& view() { return view_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) text += static_cast<char>(c);
    return text;
  }

 private:
  std::FILE* file_;
  ConsoleView view_;
};

TEST(ConsoleView, LabelsInTheRunsLanguage) {
  struct Case {
    int32_t language;
    bool answerYes;
    std::string expected;
  };
  const Case cases[] = {
      {0, true,
       "[Gerät] Name: pH 340\n[Gerät] Seriennummer: 12345\n[Gerät] Platinennummer: 7\n"
       "[Gerät] Version: 1.20\n[status 2] 9600\n[Titel] Update [beendet]\n"
       "[Fehler] Frage?\n[Antwort] Ja\n"},
      {1, false,
       "[device] name: pH 340\n[device] serial number: 12345\n[device] PCB number: 7\n"
       "[device] version: 1.20\n[status 2] 9600\n[title] Update [ready]\n"
       "[Error] Frage?\n[answer] No\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    Printed printed(c.answerYes, c.language);
    ConsoleView& view = printed.view();
    view.SetDeviceField(DeviceField::Name, "pH 340");
    view.SetDeviceField(DeviceField::Serial, "12345");
    view.SetDeviceField(DeviceField::Pcb, "7");
    view.SetDeviceField(DeviceField::Software, "1.20");
    view.SetStatusPanel(2, "9600");
    view.SetApplicationTitle(messages::Text(messages::MSG_DONE_TITLE, c.language));
    EXPECT_EQ(view.ShowMessage(BoxIcon::Question, BoxButtons::YesNo,
                               messages::Text(messages::CAPTION_ERROR, c.language), "Frage?"),
              c.answerYes ? BoxAnswer::Yes : BoxAnswer::No);
    EXPECT_EQ(printed.Text(), c.expected);
  }
}

// The engine's texts speak of the window's menu and OK button; the console says what it does.
// The hint the engine shows on each search for an instrument that is off is printed once.
TEST(ConsoleView, SaysWhatTheConsoleDoesAndTheHintOnce) {
  for (int32_t language : {0, 1}) {
    SCOPED_TRACE(language);
    Printed printed(false, language);
    ConsoleView& view = printed.view();
    const std::string hint = "Switch it off and on.\r\n" +
                             std::string(messages::Text(messages::MSG_CONFIRM_OK, language));
    const std::string_view error = messages::Text(messages::CAPTION_ERROR, language);
    view.ShowInfo(messages::kInfoCaption, hint);
    view.ShowError(error, messages::Text(messages::MSG_NO_DEVICE, language));
    view.ShowInfo(messages::kInfoCaption, hint);
    view.AppendLog(messages::Text(messages::MSG_SUCCESS, language));
    view.ShowError(error, messages::Text(messages::MSG_NO_GREETING, language));
    const std::string text = printed.Text();
    for (std::string_view window :
         {"Datei/Beenden", "File/Exit", "Ok-Button", "Ok-button", "mit Ok", "with Ok", "Windows"}) {
      EXPECT_EQ(text.find(window), std::string::npos) << window << " in\n" << text;
    }
    const std::string once =
        std::string("[Info] Switch it off and on.\n    ") +
        (language == 0 ? "Das Programm wartet jetzt einige Sekunden auf das Gerät.\n"
                       : "The program now waits a few seconds for the instrument.\n");
    const size_t first = text.find(once);
    EXPECT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("[Info]", first + 1), std::string::npos) << text;
    EXPECT_NE(text.find(language == 0 ? "Das Programm endet jetzt." : "The program ends now."),
              std::string::npos)
        << text;
    // Why the run ended reads as the console says it.
    EXPECT_EQ(view.Reason().find("Ok"), std::string::npos) << view.Reason();
  }
}

}  // namespace
}  // namespace shell
