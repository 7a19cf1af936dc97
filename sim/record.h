// What the instrument has seen and done: the summary written by --state and read by tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

class Memory;

struct ReceivedFile {
  std::string name;  // as announced by the host
  std::string path;  // the safe relative path it is stored under
  std::vector<uint8_t> data;
  bool complete = false;  // closed by "A.12030"
};

struct Record {
  std::vector<std::string> commands;  // normal-mode lines in order (packets as "A.12010#<n bytes>")
  std::string clock;                  // text of the last "A.1600#"
  int clockSets = 0;
  std::string airPressure;  // text of the last "A.6162#"
  std::vector<ReceivedFile> files;
  int64_t ignoredBytes = 0;   // sent at settings the instrument did not listen at
  int bootLoaderEntries = 0;  // entry commands that led to the boot loader
  int programStarts = 0;      // the boot loader started the program
  int promptsAfterProgram = 0;
  std::string startAddress;           // of the last program start
  std::map<std::string, int> frames;  // boot-loader commands by name
  int badFrames = 0;                  // checksum or layout errors
  bool passwordAccepted = false;
  int passwordFrames = 0;  // RX password frames: each begins a programming session
  int wrongPasswords = 0;
  bool disconnected = false;

  int Count(const std::string& command) const;  // lines whose text before "#" equals command
};

// The record as JSON; with a memory the flash's programmed ranges are listed too.
std::string ToJson(const Record& record, const std::string& mode, const Memory* memory);

}  // namespace sim
