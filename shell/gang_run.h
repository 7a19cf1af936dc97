// update-cli --gang: one session per port, each on a thread of its own with its own window
// system, so that the engine and the loaders run in each exactly as in a single run (their
// nested waits block only their own session). The main thread draws the table and waits for
// every session to end.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "package/device_file.h"
#include "package/settings.h"

namespace shell {

struct GangSetup {
  package::Settings settings;  // as read from the package; each session fixes its own port
  package::DeviceDescription devices;
  std::vector<std::string> firmwareFiles;
  std::vector<std::string> firmwareLog;  // what the firmware scan said, for every session's log
  std::vector<int> ports;                // the chosen ports (COM index); empty: every usable one
  bool answerYes = false;
  int timeoutSeconds = 900;
  std::filesystem::path recordFile;  // empty: no record
  std::filesystem::path logFolder;   // each port's log goes to a file of its own here
  std::FILE* out = stdout;
  bool terminal = false;  // out takes cursor movements: the table is redrawn in place
};

// Exit codes of a gang run.
inline constexpr int kGangAllGood = 0;     // every instrument found is programmed or current
inline constexpr int kGangSomeFailed = 1;  // one failed or was declined
inline constexpr int kGangNoneFound = 2;   // no instrument on any port (or no port at all)
inline constexpr int kGangTimeout = 3;

int RunGang(GangSetup setup);

}  // namespace shell
