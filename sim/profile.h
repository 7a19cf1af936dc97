// The instrument's profile: identity, line, protocol choices, boot-loader target and faults.
// Read from an ini file (documented in sim/README.md); every key has a default.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/line.h"

namespace sim {

// How the instrument answers one normal-mode command.
struct Reply {
  enum class Kind { Prompt, None, Refuse, Numbered, Line, RefuseAndPrompt };
  Kind kind = Kind::Prompt;
  int code = 0;      // Numbered: "<marker><code>"
  std::string line;  // Line: sent as given, with CR LF
};

// Fault switches. Units are counted from 1: normal-mode command lines, or boot-loader frames
// (counted from the start of the target).
struct FaultPlan {
  std::set<int> silent;       // no answer at all
  std::set<int> nak;          // refused (boot-loader frames only)
  std::set<int> badChecksum;  // the answer frame carries a wrong checksum (boot loaders)
  std::set<int> noise;        // noise bytes in front of the answer
  std::set<int> late;         // the answer comes lateMs later
  std::set<int> duplicate;    // the answer is sent twice, back to back
  std::set<int> lost;         // carried out, but the answer never reaches the host
  std::set<int> lateSync;     // classic boot loader: the answer to this synchronisation
                              // character (counted from 1) comes lateMs later
  std::vector<uint8_t> noiseBytes = std::vector<uint8_t>(2, 0xAA);  // AA AA
  int lateMs = 6000;
  int disconnect = 0;  // the line goes away after the answer to this unit; 0 = never
  // Boot loaders: in the first failSessions programming sessions (each begins with an RX
  // password) every segment erase and RX data block is refused, so those programmings fail
  // and leave the flash as it was.
  int failSessions = 0;
};

// Frame: the menu family's boot loader, which answers the search's request with its
// identification frame. Basic: the Basic-Loader of a secondary processor.
enum class TargetKind { None, Classic, F5xx, Basic, Frame };
enum class WrongPassword { NakLater, MassErase };
// What the target's flash holds at the start: an older firmware over all of it, or only the
// initial firmware's code and reset vector in otherwise erased flash.
enum class InitialFlash { OldFirmware, CodeOnly };

struct BootLoaderProfile {
  TargetKind target = TargetKind::None;
  bool startInBootLoader = false;  // the instrument waits in its boot loader from the start
  int startMs = 200;               // after the entry answer, until the boot loader listens
  int frameTimeoutMs = 50;         // a frame that stops arriving for this long is dropped
  uint16_t resetVector = 0;        // 0 = the target's default (see README)
  InitialFlash initialFlash = InitialFlash::OldFirmware;
  int noiseEveryMs = 0;  // while the boot loader runs: noise bytes this often; 0 = never
  // frame boot loader
  int frameVariant = 0;                    // 0 "h00h", 1 "h11h", 2 "h,,h"
  std::string frameId = "TG480E-BL 1.00";  // the identification text inside the frame
  // classic boot loader
  uint16_t chipId = 0xF149;
  uint16_t version = 0x0160;  // "1.60" as the bytes 01 60
  uint32_t ramStart = 0x0200, ramEnd = 0x09FF;
  uint32_t flashEnd = 0;  // 0 = the target's default
  WrongPassword wrongPassword = WrongPassword::NakLater;
  uint16_t patchAddress = 0x0220;
  std::optional<uint16_t> baudClock;  // expected D1 D2 of "change baud rate" (D1 high)
  // F5xx boot loader
  int passwordBytes = 32;
  std::vector<uint8_t> versionBytes = {0x00, 0x01, 0x01, 0x01};
  std::vector<uint8_t> deviceId = {0x05, 0x80, 0x13, 0x10};
  // Basic-Loader (S-records)
  std::string basicVersion = "1.02";
  int flashBanks = 1;
  std::string defectText = "S-Record defect!";
  bool programmedBytes = false;  // "programmed" as the bytes A1 48 20 14 instead of the text
  // The new firmware greets at the loader's 19200 baud instead of the instrument's normal line.
  bool greetAtLoaderSpeed = false;
  uint32_t flashStart = 0xE0000;
};

// The receiver of the WinCE file transfer, part of the normal command mode when switched on.
struct WinCeProfile {
  bool receiver = false;
  std::vector<std::string> holds;    // file names it holds already: their header gets 260
  std::set<int> badBlocks;           // blocks (counted from 1) that arrive damaged once
  std::string badBlockAnswer = "2";  // the text of answer 261 for a damaged block
};

struct Profile {
  // identity
  std::string pcb = "41000.001";
  std::string device = "20363.000";
  std::string version = "1.20";
  std::string serial = "12345678";
  std::string startupVersion;  // answer 2011 before the version; empty = never
  std::string variant;         // one character of answer 208; empty = never
  std::string variantAfter = "A.2000";
  std::string send262After, send920After;
  std::string marker = "I.";
  int codePcb = 23, codeDevice = 20, codeVersion = 21, codeSerial = 25, codeStartup = 2011;
  int codePassword = 80;
  // line
  LineSettings line{9600, Parity::None, 8, 2};
  bool checkFormat = false;
  bool pace = false;
  int answerDelayMs = 10;
  // protocol
  std::string prompt = "!";
  std::string accessCode = "QK48";
  std::vector<std::string> entryCommands = {"A.5588", "A.5566", "A.5567"};
  std::vector<std::string> altCommands = {"A.5577", "A.5555"};
  std::string entryAnswer;               // empty: the command's own "A.nnnn"
  std::optional<uint16_t> passwordWord;  // claimed in answer 80; default: the reset vector
  int passwordGroups = 1;                // vectors in answer 80, reset vector first
  int restartPromptMs = 2000;            // after the host's line is back at normal speed
  Reply afterProgram;                    // what the new firmware sends first (default prompt)
  std::map<std::string, Reply> replies;  // per command (text before "#")
  BootLoaderProfile bootLoader;
  WinCeProfile wince;
  FaultPlan faults;            // normal mode
  FaultPlan bootLoaderFaults;  // boot-loader targets
};

// The built-in answers of commands whose answer is open (the end commands and the rest).
std::map<std::string, Reply> DefaultReplies();

// Parses profile text. Errors ("line 12: unknown key 'bad'") go to errors; the result then
// holds the defaults for what could not be read.
Profile ParseProfile(const std::string& text, std::vector<std::string>& errors);
// Reads a profile file; false with a message when it cannot be read or has errors.
bool LoadProfile(const std::string& path, Profile& profile, std::string& message);

}  // namespace sim
