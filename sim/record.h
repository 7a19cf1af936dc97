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
  bool complete = false;   // closed by "A.12030", or by "A.1202" with the announced size
  uint32_t timeStamp = 0;  // WinCE transfer: the announced MS-DOS date and time; 0 = none
};

// Where the time of the boot-loader phase went, seen from the instrument. Its own time runs from
// the start of a command's first byte until its answer's last byte has left (the command's wire
// time, the reaction and flash time, the answer's wire time); the rest of the phase is the
// host's: the gaps from an answer's end to the next command. Gaps of kWaitUs or more are the
// host's deliberate waits (after a speed change, before the start); the others its reaction.
struct BootLoaderTime {
  static constexpr int64_t kWaitUs = 500000;
  bool seen = false;
  int64_t startUs = 0;  // the boot loader began to listen
  int64_t endUs = 0;    // the last answer's end
  int64_t ownUs = 0;
  int64_t wireUs = 0;  // of ownUs: bytes on the line, both ways
  int64_t gapUs = 0;   // host gaps shorter than kWaitUs, and their number
  int64_t gaps = 0;
  std::vector<int64_t> gapList;  // each of them, in order (their median resists a busy host)
  int64_t waitUs = 0;            // host gaps of kWaitUs or more, and their number
  int64_t waits = 0;
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
  BootLoaderTime bootLoaderTime;

  int Count(const std::string& command) const;  // lines whose text before "#" equals command
};

// The record as JSON; with a memory the flash's programmed ranges are listed too.
std::string ToJson(const Record& record, const std::string& mode, const Memory* memory);

}  // namespace sim
