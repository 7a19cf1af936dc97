// The file transfer to an instrument whose firmware takes new files over its command line: the
// line goes up to 38400 bit/s, every file is announced with its name, time stamp and size and
// sent in check-summed blocks of 2000 bytes, one block per acknowledgement, and the line returns
// to its former speed. One object per transfer; Download blocks (pumping events and window
// messages, never spinning) until the transfer has ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "core/run_scaffold.h"
#include "loaders/run/line_guard.h"
#include "loaders/run/loader_host.h"
#include "loaders/transfer_limits.h"
#include "package/messages.h"

namespace loaders {

class TWinCEProg {
 public:
  static constexpr uint32_t kAckTimeoutMs = 8000;
  static constexpr int32_t kSwitchWaitMs = 2000;
  static constexpr uint32_t kTransferBaud = 38400;
  static constexpr size_t kBlockSize = 2000;
  static constexpr size_t kMaxFileSize = kWinCeMaxFileSize;

  explicit TWinCEProg(const LoaderHost& host);
  // Leaves nothing behind, also when a transfer was cut short.
  virtual ~TWinCEProg();
  TWinCEProg(const TWinCEProg&) = delete;
  TWinCEProg& operator=(const TWinCEProg&) = delete;

  // Sends file and then every file of the download list. After a failure the reason has been
  // logged. The first argument is not used.
  virtual update::LoaderResult Download(int32_t unused, const std::string& file, bool forced);
  // Writes a command line and logs it; always true.
  virtual bool SendCommand(const std::string& text);

  // The transfer's event handler, on the chain only while Download runs.
  core::EventRecord OnEvent(core::EventQueue& sender, core::EventRecord record);

 private:
  using Step = void (TWinCEProg::*)();

  // The steps, each run by the acknowledgement of what the one before sent.
  void SwitchBaud();
  void SendHeader();
  void SendBlock();
  void EndFile();
  void NextFile();
  void EndTransfer();
  void RestoreBaud();
  void Finish();
  void RepeatBlock(const std::string& text);

  // Runs a step, or holds it until the step under way has returned (an answer that arrives
  // while a step waits for the line).
  void RunStep(Step step);
  void RunOnAck();
  void Acknowledged();
  // Ends the transfer as a failure; the first reason given is the one logged.
  void Fail(const std::string& reason);
  void FailWith(messages::MessageId id);
  // Every file of the transfer exists, can be read and fits the buffer.
  bool CheckFiles(const std::vector<std::string>& names);
  // The file exists and fits the buffer; otherwise the reason is kept for the log.
  std::optional<size_t> FileFits(const std::string& name);
  bool LoadFile(const std::string& name);
  void ShowPercent();
  std::string Text(messages::MessageId id) const;
  // A line for the debug log.
  void Note(const std::string& text);
  core::EventHandler Handler();

  LoaderHost host_;
  core::RunScaffold run_;
  // The line as it was before the transfer; given back where the speed was switched.
  std::optional<LineGuard> line_;
  bool Failed = false;
  bool Done = false;
  bool BaudSwitched = false;
  bool Forced = false;
  std::vector<uint8_t> FileData;
  int32_t TimerId = 0;
  int32_t Sent = 0;
  int32_t FileIndex = 0;
  Step OnAck = nullptr;
  int32_t FileSize = 0;
  uint32_t SavedBaud = 0;
  uint32_t FileStamp = 0;
  std::string FileName;
  std::vector<std::string> Files;  // the download list's files, fixed when the transfer starts
  std::string LastFrame;           // kept for a repetition
  bool stepRunning_ = false;
  // A command or block has gone out and its prompt is still due.
  bool awaiting_ = false;
  // A file's header has gone out and its end not yet: the instrument may skip the file.
  bool announced_ = false;
  std::vector<Step> held_;
  std::string failure_;
};

}  // namespace loaders
