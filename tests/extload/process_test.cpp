// The operating system's launcher with the stand-in program: the argument vector reaches the
// program word for word, the environment gets the added entries, the exit code comes back, and
// a program that is killed is collected.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/process.h"
#include "tests/support/temp_folder.h"

namespace {

using ::testing::HasSubstr;

int32_t WaitFor(platform::ChildProcess& child) {
  for (int i = 0; i < 1000; ++i) {
    if (const auto code = child.Poll()) return *code;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1000;
}

std::string Read(const std::filesystem::path& file) {
  std::ifstream in(file);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SystemProcesses, PassesTheArgumentsWordForWordAndReturnsTheExitCode) {
  test::TempFolder folder;
  const std::string record = (folder.Path() / "record.txt").string();
  const platform::ProcessCommand command{
      LOADER_STAND_IN_PATH,
      {"my file.hex", "-com1", "$HOME", "a;b", ""},
      {"STAND_IN_RECORD=" + record, "STAND_IN_EXITS=7", "UPDATE_PORT_DEVICE=/dev/x y"}};
  std::string error;
  std::unique_ptr<platform::ChildProcess> child = platform::SystemProcesses().Start(command, error);
  ASSERT_NE(child, nullptr) << error;
  EXPECT_EQ(WaitFor(*child), 7);
  EXPECT_EQ(Read(record), "[my file.hex][-com1][$HOME][a;b][] device=/dev/x y\n");
}

TEST(SystemProcesses, AnAddedEntryReplacesTheInheritedOne) {
  test::TempFolder folder;
  const std::string record = (folder.Path() / "record.txt").string();
  setenv("UPDATE_PORT_DEVICE", "/dev/inherited", 1);
  std::string error;
  auto child = platform::SystemProcesses().Start(
      {LOADER_STAND_IN_PATH, {}, {"STAND_IN_RECORD=" + record, "UPDATE_PORT_DEVICE=/dev/own"}},
      error);
  unsetenv("UPDATE_PORT_DEVICE");
  ASSERT_NE(child, nullptr) << error;
  EXPECT_EQ(WaitFor(*child), 0);
  EXPECT_EQ(Read(record), " device=/dev/own\n");
}

TEST(SystemProcesses, AProgramThatCannotBeStartedSaysWhy) {
  test::TempFolder folder;
  const std::filesystem::path text = folder.Write("HEXLoad_8N1", "not a program");
  struct Case {
    std::string program;
    const char* reason;
  };
  for (const Case& c : {Case{text.string(), "Permission denied"},
                        Case{(folder.Path() / "missing").string(), "No such file"}}) {
    std::string error;
    EXPECT_EQ(platform::SystemProcesses().Start({c.program, {}, {}}, error), nullptr);
    EXPECT_THAT(error, HasSubstr(c.reason)) << c.program;
  }
}

TEST(SystemProcesses, AKilledProgramIsCollected) {
  std::string error;
  auto child = platform::SystemProcesses().Start({"/bin/sleep", {"30"}, {}}, error);
  ASSERT_NE(child, nullptr) << error;
  EXPECT_FALSE(child->Poll().has_value());
  const auto start = std::chrono::steady_clock::now();
  child->Kill();
  EXPECT_EQ(child->Poll(), 128 + 9);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
