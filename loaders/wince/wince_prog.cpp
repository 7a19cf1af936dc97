#include "loaders/wince/wince_prog.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "core/text.h"
#include "loaders/wince/wince_frames.h"
#include "serial/v24_types.h"
#include "update/commands.h"
#include "update/display.h"
#include "update/event_codes.h"

namespace loaders {
namespace {

namespace ev = update::ev;
namespace fs = std::filesystem;

// The text of answer 261 that asks for the last block again.
constexpr int kRepeatRequest = 2;

uint32_t FileTimeStamp(const fs::path& path) {
  std::error_code error;
  const fs::file_time_type written = fs::last_write_time(path, error);
  if (error) return DosTimeStamp(0);
  return DosTimeStamp(std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::file_clock::to_sys(written))));
}

int TextValue(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (...) {
    return 0;
  }
}

}  // namespace

TWinCEProg::TWinCEProg(const LoaderHost& host) : host_(host), run_(host.events, Handler()) {}

TWinCEProg::~TWinCEProg() {
  // A transfer cut short gives the line back only where it had switched the speed.
  if (line_ && !BaudSwitched) line_->Keep();
}

core::EventHandler TWinCEProg::Handler() {
  return core::MakeHandler<&TWinCEProg::OnEvent>(this);
}

std::string TWinCEProg::Text(messages::MessageId id) const {
  return std::string(messages::Text(id, host_.languageIndex));
}

update::LoaderResult TWinCEProg::Download(int32_t, const std::string& file, bool forced) {
  // While the transfer holds the line, its answers reach it with one wake-up.
  const serial::DirectReceiveScope direct(&host_.port);
  host_.view.SetProgress(0);
  Files = host_.context.DownloadList;
  std::vector<std::string> all{file};
  all.insert(all.end(), Files.begin(), Files.end());
  // A file that cannot be sent is found before the instrument hears anything.
  if (!CheckFiles(all) || !LoadFile(file)) {
    host_.view.AppendLog(failure_);
    return update::LoaderResult::Failed();
  }
  host_.view.SetProgressMax(FileSize / static_cast<int32_t>(kBlockSize));

  Sent = 0;
  Failed = false;
  Forced = forced;
  run_.Attach();
  line_.emplace(host_.port, LineGuard::Way::kPortSlot);
  TimerId = run_.StartTimer(kAckTimeoutMs);
  Done = false;
  update::ShowProgress(host_.view, host_.languageIndex, "", -1);
  OnAck = &TWinCEProg::SwitchBaud;
  SendCommand(update::cmd::kOpenDialogue);
  run_.WaitUntil([this] { return Done; });

  update::ShowProgress(host_.view, host_.languageIndex, "", -1);
  host_.events.wait.DelayTime(500, false);
  host_.view.SetProgress(0);
  run_.Detach();
  TimerId = 0;
  if (BaudSwitched) {
    line_->Restore();
  } else {
    line_->Keep();
  }
  if (Failed) host_.view.AppendLog(failure_);
  return Failed ? update::LoaderResult::Failed() : update::LoaderResult::Programmed();
}

void TWinCEProg::Note(const std::string& text) {
  if (host_.logLine) host_.logLine(text);
}

bool TWinCEProg::SendCommand(const std::string& text) {
  awaiting_ = true;
  host_.port.Write(text.c_str(), -1, false);
  if (host_.logLine) host_.logLine(text);
  return true;
}

core::EventRecord TWinCEProg::OnEvent(core::EventQueue&, core::EventRecord record) {
  // A transfer that has ended acts on nothing more; what still arrives belongs to the engine.
  if (Done) return record;
  switch (record.kind) {
    case core::EVK_KEY:
      if (record.code != core::KEY_ESCAPE) return record;
      FailWith(messages::MSG_WINCE_CANCELLED);
      return core::ConsumedEvent;
    case core::EVK_TIMER:
      if (TimerId == 0 || record.code != TimerId) return record;
      FailWith(messages::MSG_WINCE_NO_ACK);
      return core::ConsumedEvent;
    case core::EVK_EVENT:
      break;
    default:
      return record;
  }
  switch (record.code) {
    case ev::kPrompt:
      // One prompt answers one command or block: a repeated one acknowledges nothing more.
      if (!std::exchange(awaiting_, false)) {
        Note("! ignored: nothing sent awaits it");
        return core::ConsumedEvent;
      }
      Acknowledged();
      return core::ConsumedEvent;
    case ev::kAnswerSkipFile:
      // Only an announced file can be skipped.
      if (!announced_) {
        Note("I.260 ignored: no file is announced");
        return core::ConsumedEvent;
      }
      announced_ = false;
      awaiting_ = false;
      RunStep(&TWinCEProg::NextFile);
      return core::ConsumedEvent;
    case ev::kAnswerBlockError:
      RepeatBlock(record.Text());
      return core::ConsumedEvent;
    case ev::kNotAvailable:
      return core::ConsumedEvent;  // a "?" changes nothing: the watchdog decides
    default:
      return record;
  }
}

void TWinCEProg::Acknowledged() {
  run_.RestartTimer(TimerId);
  RunStep(&TWinCEProg::RunOnAck);
  host_.view.SetProgress(host_.view.Progress() + 1);
  ShowPercent();
}

void TWinCEProg::ShowPercent() {
  const int32_t maximum = host_.view.ProgressMax();
  const int32_t position = host_.view.Progress();
  // A file shorter than one block has the maximum 0: any acknowledgement completes it.
  const double percent = maximum > 0 ? 100.0 * position / maximum : (position > 0 ? 100 : 0);
  update::ShowProgress(host_.view, host_.languageIndex, "", percent);
}

void TWinCEProg::RunStep(Step step) {
  if (Done) return;
  if (stepRunning_) {
    held_.push_back(step);
    return;
  }
  stepRunning_ = true;
  (this->*step)();
  while (!held_.empty() && !Done) {
    const Step next = held_.front();
    held_.erase(held_.begin());
    (this->*next)();
  }
  held_.clear();
  stepRunning_ = false;
}

void TWinCEProg::RunOnAck() {
  if (OnAck) (this->*OnAck)();
}

void TWinCEProg::SwitchBaud() {
  SavedBaud = host_.port.LoadV24Parameter().BaudRate;
  SendCommand(BaudCommand(kTransferBaud));
  host_.events.wait.DelayTime(kSwitchWaitMs, true);
  host_.port.ChangeV24Parameter(serial::B_38400, serial::S_2, serial::NoParity, false);
  OnAck = &TWinCEProg::SendHeader;
  BaudSwitched = true;
}

void TWinCEProg::SendHeader() {
  OnAck = &TWinCEProg::SendBlock;
  announced_ = true;
  // The header's form depends on the start-up program that takes the files.
  SendCommand(HeaderCommand(Forced, host_.context.StartupVer, FileName, FileStamp,
                            static_cast<uint32_t>(FileSize)));
}

void TWinCEProg::SendBlock() {
  const int32_t start = Sent;
  Sent += static_cast<int32_t>(kBlockSize);
  if (Sent >= FileSize) {
    Sent = FileSize;
    OnAck = &TWinCEProg::EndFile;
  }
  LastFrame = DataFrame(std::span<const uint8_t>(FileData).subspan(
      static_cast<size_t>(start), static_cast<size_t>(Sent - start)));
  awaiting_ = true;
  host_.port.Write(LastFrame.data(), static_cast<int32_t>(LastFrame.size()), false);
}

void TWinCEProg::EndFile() {
  OnAck = &TWinCEProg::NextFile;
  announced_ = false;
  SendCommand("A.1202\r\n");
}

void TWinCEProg::NextFile() {
  if (FileIndex >= static_cast<int32_t>(Files.size())) {
    EndTransfer();
    return;
  }
  run_.RestartTimer(TimerId);
  const std::string name = Files[static_cast<size_t>(FileIndex)];
  ++FileIndex;
  if (!LoadFile(name)) {
    Fail(failure_);
    return;
  }
  host_.view.SetProgressMax(FileSize / static_cast<int32_t>(kBlockSize) + 1);
  host_.view.SetProgress(0);
  Sent = 0;
  SendHeader();
}

void TWinCEProg::EndTransfer() {
  OnAck = &TWinCEProg::RestoreBaud;
  SendCommand("A.1203\r\n");
}

void TWinCEProg::RestoreBaud() {
  // The line goes back only where it was switched, and never to a speed of 0.
  if (!BaudSwitched || SavedBaud == 0) {
    Finish();
    return;
  }
  SendCommand(BaudCommand(SavedBaud));
  host_.events.wait.DelayTime(kSwitchWaitMs, true);
  line_->Restore();
  OnAck = &TWinCEProg::Finish;
  BaudSwitched = false;
}

void TWinCEProg::Finish() {
  Done = true;
}

void TWinCEProg::RepeatBlock(const std::string& text) {
  if (TextValue(text) != kRepeatRequest) {
    FailWith(messages::MSG_WINCE_BLOCK_REFUSED);
    return;
  }
  awaiting_ = true;
  host_.port.Write(LastFrame.data(), static_cast<int32_t>(LastFrame.size()), false);
}

void TWinCEProg::Fail(const std::string& reason) {
  if (!Failed) failure_ = reason;
  Done = Failed = true;
  TimerId = run_.StopTimer(TimerId);
}

void TWinCEProg::FailWith(messages::MessageId id) {
  Fail(Text(id));
}

bool TWinCEProg::CheckFiles(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (!FileFits(name)) {
      Fail(failure_);
      return false;
    }
  }
  return true;
}

std::optional<size_t> TWinCEProg::FileFits(const std::string& name) {
  const fs::path path = core::PackagePath(name);
  std::error_code error;
  const bool regular = fs::is_regular_file(path, error);
  const uintmax_t size = regular ? fs::file_size(path, error) : 0;
  if (!regular || error) {
    failure_ = update::ReplaceFirstX(Text(messages::MSG_FILE_NOT_OPENED), name);
    return std::nullopt;
  }
  if (size > kMaxFileSize) {
    failure_ = update::ReplaceFirstX(Text(messages::MSG_WINCE_FILE_TOO_LARGE), name);
    return std::nullopt;
  }
  return static_cast<size_t>(size);
}

bool TWinCEProg::LoadFile(const std::string& name) {
  const std::optional<size_t> size = FileFits(name);
  if (!size) return false;
  const fs::path path = core::PackagePath(name);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> data(*size);
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!in || static_cast<size_t>(in.gcount()) != data.size()) {
    failure_ = update::ReplaceFirstX(Text(messages::MSG_FILE_NOT_OPENED), name);
    return false;
  }
  FileData = std::move(data);
  FileSize = static_cast<int32_t>(FileData.size());
  FileName = name;
  FileStamp = FileTimeStamp(path);
  return true;
}

}  // namespace loaders
