// What a test asks of the operating system beyond the standard library: the environment and a
// file held open by someone else. Each platform has its own file (platform_posix.cpp,
// platform_win.cpp), chosen by the build.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace test {

// Sets or removes a variable of this process's environment.
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

// Holds a file the way another program that has it open would: while it lives, an exclusive open
// of the file by the code under test fails.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};
// nullptr when the file cannot be held.
std::unique_ptr<HeldFile> HoldFile(const std::filesystem::path& file);

}  // namespace test
