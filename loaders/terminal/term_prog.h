// The Basic-Loader terminal: listens to the text-mode boot loader's announcements, streams the
// S-record firmware file to it when it asks, shows progress and reports the end in the log. It
// runs by itself on the event chain once started; no byte of the firmware file is interpreted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/event_core.h"
#include "core/run_scaffold.h"
#include "loaders/run/line_guard.h"
#include "loaders/transfer_limits.h"
#include "serial/com_port.h"
#include "update/event_codes.h"
#include "update/loader_result.h"
#include "update/update_view.h"

namespace loaders {

// The terminal's events (kind EVK_EVENT, data 0).
namespace term {
inline constexpr int32_t kLoaderName = 100;
inline constexpr int32_t kLoaderVersion = 101;
inline constexpr int32_t kErased = 102;
inline constexpr int32_t kBankErased = 103;
inline constexpr int32_t kProgrammed = 104;
inline constexpr int32_t kWaiting = 105;
inline constexpr int32_t kNextBlock = 106;
inline constexpr int32_t kDefect = 108;
inline constexpr int32_t kReadySeg0 = 110;
inline constexpr int32_t kReadySeg1 = 111;
inline constexpr int32_t kErasing = 112;
}  // namespace term

// The texts the boot loader announces and the event each posts, in the order they are tried.
struct TermText {
  std::string_view text;
  int32_t event;
};
extern const std::vector<TermText> kTermTexts;

// Finds each text of the table once in buffer, removes it and returns the events to post, in
// table order. Whatever matches nothing stays.
std::vector<int32_t> MatchTermTexts(std::string& buffer);

// The firmware file of the instrument's variant character.
std::string TermFileName(char variant);

// What the terminal uses of its surroundings; the engine's, not the terminal's.
struct TermHost {
  core::EventCore& events;
  serial::TComPort& port;
  update::UpdateView& view;
  int32_t language = 0;
  char variant = '\0';
  // Placeholder expansion of the log texts (NAME, COM X, DATEI).
  std::function<std::string(const std::string&)> expand;
  // Called once when the terminal is done: programmed after the boot loader's "programmed",
  // failed after an abort or a failure (the text is in the log by then).
  std::function<void(const update::LoaderResult&)> ended;
};

class TTermProg {
 public:
  static constexpr size_t kReceiveSize = 4002;
  static constexpr uint32_t kReadChunk = 150;
  static constexpr size_t kTransferSize = kTerminalTransferSize;
  static constexpr uint32_t kBlockSize = 2000;
  // A block the port refused with a transmit error is offered again this often.
  static constexpr int kTransmitRetries = 3;
  // While the transmitter is busy the block is offered again after this pause (no busy loop).
  static constexpr uint32_t kBusyPauseMs = 10;
  // Nothing from the boot loader and no block taken for this long: it has stopped.
  static constexpr uint32_t kQuietMs = 30000;

  TTermProg() = default;
  ~TTermProg();
  TTermProg(const TTermProg&) = delete;
  TTermProg& operator=(const TTermProg&) = delete;

  core::EventRecord TermEventHandler(core::EventQueue& sender, core::EventRecord record);

  bool Stopped = false;
  std::string ReceiveBuffer;
  std::vector<char> Transfer;
  uint32_t ByteCount = 0;
  uint32_t SentOffset = 0;
  bool Finished = false;
  bool Running() const { return host_ != nullptr; }

 private:
  friend void StartTermProg(TTermProg& term, const TermHost& host);
  friend void StopTermProg(TTermProg& term);

  bool Handle(const core::EventRecord& record);
  void ReceiveAndMatch();
  void OnErasing();
  void LoadFile();
  void SendNextBlock();
  void Finish();
  void Abort();
  void Fail(const std::string& text, bool box);
  void End(bool programmed);
  void Append(const std::string& text);
  void ShowTag(bool transmitError, double percent);
  void RestartQuiet();
  void StopTimers();

  std::unique_ptr<TermHost> host_;
  std::string fileName_;
  int transmitErrors_ = 0;
  int busyTimer_ = 0;
  int quietTimer_ = 0;
  bool transferring_ = false;
  // The handler on the chain and the timers while the terminal runs.
  std::optional<core::RunScaffold> run_;
  // The line as it was before the terminal; every end gives it back.
  std::optional<LineGuard> line_;
};

// Fills the terminal, puts its handler on the chain and sets the line to RTS/CTS, 19200 baud.
void StartTermProg(TTermProg& term, const TermHost& host);
// No more blocks are sent; the window calls it when it closes, before the ports.
void StopTermProg(TTermProg& term);

}  // namespace loaders
