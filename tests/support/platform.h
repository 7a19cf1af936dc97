// What a test asks of the operating system beyond the standard library: the environment, the
// processor time, the German locale, a file held open by someone else and a limit on file sizes.
// Each platform has its own file (platform_posix.cpp, platform_win.cpp), chosen by the build.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace test {

// Sets or removes a variable of this process's environment.
void SetEnvironment(const std::string& name, const std::string& value);
void UnsetEnvironment(const std::string& name);

// The processor time this process has used so far, in milliseconds (all its threads).
double ProcessCpuMs();

// The name setlocale knows the German locale by (a comma as the decimal separator).
const char* GermanLocaleName();

// A change a test has made to its process or to a file, undone when the object ends.
class Held {
 public:
  virtual ~Held() = default;
};

// Holds a file the way another program that has it open would: while it lives, an exclusive open
// of the file by the code under test fails. nullptr when the file cannot be held.
std::unique_ptr<Held> HoldFile(const std::filesystem::path& file);

// Lowers the largest file this process may write to `bytes`, so that a write fails halfway as on
// a full disk. nullptr where the system has no such limit.
std::unique_ptr<Held> LimitFileSize(std::uintmax_t bytes);

}  // namespace test
