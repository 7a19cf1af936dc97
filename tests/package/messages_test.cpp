#include "package/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace messages {
namespace {

// What a front-end must never tell its user: the window (on any desktop) is no "Windows
// program"; the console program has no File menu and no OK button.
const std::vector<std::string_view> kNotInTheWindow = {"Windows-Programm unter",
                                                       "Windows program under", "window program"};
const std::vector<std::string_view> kNotInTheConsole = {"Windows-Programm unter",
                                                        "Windows program under",
                                                        "window program",
                                                        "Datei/Beenden",
                                                        "File/Exit",
                                                        "Ok-Button",
                                                        "Ok-button",
                                                        "mit Ok",
                                                        "with Ok",
                                                        "press Ok",
                                                        "Drücken Sie"};

// Every message of the catalogue in both languages, as each front-end shows it.
TEST(Catalogue, EveryTextFitsItsFrontEnd) {
  for (int id = 0; id < kMessageCount; ++id) {
    for (int32_t language : {0, 1}) {
      const std::string_view window = Text(static_cast<MessageId>(id), language);
      const std::string console = ForConsole(window);
      SCOPED_TRACE("message " + std::to_string(id) + ", language " + std::to_string(language));
      EXPECT_FALSE(window.empty());
      for (std::string_view phrase : kNotInTheWindow) {
        EXPECT_EQ(window.find(phrase), std::string_view::npos) << window;
      }
      for (std::string_view phrase : kNotInTheConsole) {
        EXPECT_EQ(console.find(phrase), std::string::npos) << console;
      }
    }
  }
}

// The console says what it does instead of the window's menu and button.
TEST(Catalogue, ConsoleTextsSayWhatTheProgramDoes) {
  struct Case {
    MessageId id;
    int32_t language;
    std::string_view console;  // a part of the console's text
  };
  const Case cases[] = {
      {MSG_SUCCESS, 0, "COM X.\r\n\r\nDas Programm endet jetzt."},
      {MSG_SUCCESS, 1, "COM X port.\r\n\r\nThe program ends now."},
      {MSG_TERM_SUCCESS, 1, "start the NAME\r\nThe program ends now."},
      {MSG_TERM_ABORT, 0, "Starten Sie das Programm danach erneut für eine Neuprogrammierung."},
      {MSG_TERM_ABORT, 1, "Then start the program again for a new download."},
      {MSG_CONFIRM_OK, 0, "Das Programm wartet jetzt einige Sekunden auf das Gerät."},
      {MSG_CONFIRM_OK, 1, "The program now waits a few seconds for the instrument."},
      {MSG_NO_DEVICE, 1, "The automatic search is repeated."},
      {MSG_NO_GREETING, 0, "starten Sie das Programm erneut."},
      {MSG_BSL_ADVICE_LINE, 1, "switch the instrument off and on again and run the program again."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Text(c.id, c.language)));
    EXPECT_NE(ForConsole(Text(c.id, c.language)).find(c.console), std::string::npos)
        << ForConsole(Text(c.id, c.language));
  }
  // The window keeps its menu and its button, without "Windows program".
  EXPECT_NE(Text(MSG_SUCCESS, 1).find("Exit the program under File/Exit."), std::string::npos);
  EXPECT_NE(Text(MSG_TERM_SUCCESS, 0).find("Beenden Sie das Programm unter Datei/Beenden."),
            std::string::npos);
  EXPECT_NE(Text(MSG_NO_GREETING, 1).find("restart the update with Ok."), std::string::npos);
}

}  // namespace
}  // namespace messages
