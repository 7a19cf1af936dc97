// Runs the real update-cli from a firmware package folder (a link to the program inside it, as
// a technician would start it from the package), with the simulator's ports.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

struct CliResult {
  int exitCode = -1;
  std::string output;
};

// Runs update-cli with args in package, its ports in portDir; ends it after limitSeconds.
// extraEnv adds "NAME=value" entries to its environment (a desktop's locale, say). A launcher
// (a program with its arguments, e.g. one that changes the user) runs update-cli when given.
CliResult RunCli(const std::filesystem::path& package, const std::filesystem::path& portDir,
                 const std::vector<std::string>& args, int limitSeconds = 120,
                 const std::vector<std::string>& extraEnv = {},
                 const std::vector<std::string>& launcher = {});

// A package folder's files: Update.ini, ProgDevice.ini and a TI-TXT firmware file whose version
// text (pattern "@F000" and CR LF) is version, optionally with a second version after "@E000".
void WritePackage(const std::filesystem::path& folder, const std::string& version,
                  const std::string& secondVersion = "");

// A package whose firmware file is the given TI-TXT text: the device entry carries ProzTyp,
// FlashErase2 and a marker ("@" after the file name) as given.
struct ImagePackage {
  std::string firmware;  // TI-TXT; its version text stands behind "@F000" CR LF
  std::string prozTyp = "149";
  std::string flashErase2;
  bool marked = false;
};
void WritePackage(const std::filesystem::path& folder, const ImagePackage& package);

}  // namespace e2e
