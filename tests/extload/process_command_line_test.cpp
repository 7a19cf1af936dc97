// The text work of starting a program: a Windows command line that the program's C runtime
// splits back into the same words, and the child's environment with the added entries.
#include <gtest/gtest.h>

#include "platform/process.h"

namespace {

TEST(WindowsCommandLine, QuotesEachWordSoThatItIsReadBackWordForWord) {
  const struct {
    const char* word;
    const char* written;
  } cases[] = {
      {"-com5", "-com5"},
      {"C:\\fw\\Device.hex", "C:\\fw\\Device.hex"},  // backslashes without a quote stay
      {"my file.hex", "\"my file.hex\""},
      {"-fC:\\Program Files\\fw.hex", "\"-fC:\\Program Files\\fw.hex\""},
      {"tab\there", "\"tab\there\""},
      {"", "\"\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},                  // a\"b: the backslash and the quote escaped
      {"C:\\my folder\\", "\"C:\\my folder\\\\\""},  // before the closing quote: doubled
      {"C:\\my folder\\\\", "\"C:\\my folder\\\\\\\\\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    EXPECT_EQ(platform::WindowsCommandLine("loader.exe", {c.word}),
              std::string("loader.exe ") + c.written);
  }
}

TEST(WindowsCommandLine, TheProgramIsQuotedOnlyWhenItHoldsABlank) {
  EXPECT_EQ(platform::WindowsCommandLine("C:\\fw\\HEXLoad_8N1.exe", {"a.hex", "-auto"}),
            "C:\\fw\\HEXLoad_8N1.exe a.hex -auto");
  EXPECT_EQ(platform::WindowsCommandLine("C:\\Program Files\\fw\\HEXLoad_8N1.exe", {}),
            "\"C:\\Program Files\\fw\\HEXLoad_8N1.exe\"");
  // Inside the program's name a backslash before the closing quote is no escape.
  EXPECT_EQ(platform::WindowsCommandLine("C:\\my fw\\", {"-a"}), "\"C:\\my fw\\\" -a");
}

TEST(MergedEnvironment, AnAddedEntryReplacesTheInheritedOneOfItsName) {
  const std::vector<std::string> inherited = {"PATH=/bin", "Update_Port_Device=/dev/old",
                                              "=C:=C:\\work", "HOME=/root"};
  const std::vector<std::string> added = {"UPDATE_PORT_DEVICE=\\\\.\\COM5"};
  const struct {
    bool ignoreCase;
    std::vector<std::string> expected;
  } cases[] = {
      {false,
       {"PATH=/bin", "Update_Port_Device=/dev/old", "=C:=C:\\work", "HOME=/root",
        "UPDATE_PORT_DEVICE=\\\\.\\COM5"}},
      {true, {"PATH=/bin", "=C:=C:\\work", "HOME=/root", "UPDATE_PORT_DEVICE=\\\\.\\COM5"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ignoreCase);
    EXPECT_EQ(platform::MergedEnvironment(inherited, added, c.ignoreCase), c.expected);
  }
}

TEST(MergedEnvironment, ANameThatOnlyBeginsLikeAnotherIsKept) {
  EXPECT_EQ(platform::MergedEnvironment({"PATHEXT=.EXE", "PATH=/bin"}, {"PATH=/usr/bin"}, true),
            (std::vector<std::string>{"PATHEXT=.EXE", "PATH=/usr/bin"}));
}

}  // namespace
