// The further files of the download list, sent to the instrument in its normal mode: each file
// is announced by name, then sent in packets of up to 255 bytes, then closed; every step waits
// for the instrument's prompt. OK does nothing meanwhile.
#include <algorithm>
#include <cctype>

#include "core/event_codes.h"
#include "core/text.h"
#include "package/messages.h"
#include "update/commands.h"
#include "update/display.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace update {
namespace {

constexpr char kAnnounce[] = "A.12000#";
constexpr char kPacketHead[] = "A.12010#";
constexpr char kClose[] = "A.12030\r\n";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

MultiFileTransfer::~MultiFileTransfer() {
  End();
}

MultiFileTransfer::MultiFileTransfer(UpdateEngine& engine)
    : engine_(engine),
      life_(engine.Events(), core::MakeHandler<&MultiFileTransfer::MultiFileHandler>(this)) {}

bool MultiFileTransfer::Active() {
  return life_.Attached();
}

void MultiFileTransfer::End() {
  life_.Detach();
  promptTimer_ = life_.StopTimer(promptTimer_);
  if (MultiFileStream) std::fclose(MultiFileStream);
  MultiFileStream = nullptr;
  MultiFileActive = false;
}

bool MultiFileTransfer::StartMultiFile() {
  life_.Attach();
  MultiFileIndex = 0;
  return OpenEntry();
}

bool MultiFileTransfer::NextMultiFile() {
  if (MultiFileIndex < engine_.Record().ListCount()) return OpenEntry();
  engine_.View().SetProgress(0);
  End();
  engine_.FinishRun(true);
  return false;
}

bool MultiFileTransfer::OpenEntry() {
  const std::string entry = engine_.Record().DownloadList[static_cast<size_t>(MultiFileIndex)];
  MultiFileStream = std::fopen(core::PackagePath(entry).c_str(), "rb");
  if (!MultiFileStream || std::fseek(MultiFileStream, 0, SEEK_END) != 0 ||
      (MultiFileRemaining = std::ftell(MultiFileStream)) < 0 ||
      std::fseek(MultiFileStream, 0, SEEK_SET) != 0) {
    // A package with a missing file is broken: the transfer ends here.
    Fail(ReplaceFirstX(engine_.Expand(std::string(
                           messages::Text(messages::MSG_FILE_NOT_OPENED, engine_.Language()))),
                       entry));
    return false;
  }
  UpdateView& view = engine_.View();
  view.SetProgress(0);
  view.SetProgressMax(static_cast<int32_t>(MultiFileRemaining / static_cast<int64_t>(kBlock)));
  MultiFileActive = true;
  engine_.Send(kAnnounce + Lower(entry) + "\r\n");
  ++MultiFileIndex;
  promptTimer_ = life_.StopTimer(promptTimer_);
  promptTimer_ = life_.StartTimer(kPromptTimeoutMs);
  return true;
}

void MultiFileTransfer::SendBlock() {
  if (MultiFileRemaining < 1) {
    engine_.Send(kClose);
    MultiFileActive = false;
    std::fclose(MultiFileStream);
    MultiFileStream = nullptr;
    return;
  }
  unsigned char block[kBlock];
  const size_t wanted = static_cast<size_t>(std::min<int64_t>(MultiFileRemaining, kBlock));
  const size_t n = std::fread(block, 1, wanted, MultiFileStream);
  if (n == 0) {
    // The file shrank or cannot be read: an empty packet would be sent for ever.
    Fail(ReplaceFirstX(engine_.Expand(std::string(
                           messages::Text(messages::MSG_FILE_NOT_OPENED, engine_.Language()))),
                       engine_.Record().DownloadList[static_cast<size_t>(MultiFileIndex - 1)]));
    return;
  }
  MultiFileRemaining -= static_cast<int64_t>(n);
  std::string packet = kPacketHead;
  packet += static_cast<char>(n);
  packet.append(reinterpret_cast<const char*>(block), n);
  UpdateView& view = engine_.View();
  view.SetProgress(view.Progress() + 1);
  if (serial::TComPort* port = engine_.ActiveComPort()) {
    port->Write(packet.data(), static_cast<int32_t>(packet.size()), false);
  }
}

void MultiFileTransfer::Fail(const std::string& why) {
  End();
  engine_.Send(cmd::kExitCommands[package::KindRow(engine_.Devices().DeviceKind)]);
  engine_.RunFailedText(why);
}

core::EventRecord MultiFileTransfer::MultiFileHandler(core::EventQueue&, core::EventRecord record) {
  switch (record.kind) {
    case core::EVK_KEY:
      return record.code == core::KEY_OK ? core::ConsumedEvent : record;
    case core::EVK_TIMER:
      if (promptTimer_ == 0 || record.code != promptTimer_) return record;
      Fail(engine_.Expand(
          std::string(messages::Text(messages::MSG_TRANSFER_NO_ANSWER, engine_.Language()))));
      return core::ConsumedEvent;
    case core::EVK_EVENT:
      if (record.code != ev::kPrompt) return record;
      break;
    default:
      return record;
  }
  life_.RestartTimer(promptTimer_);
  if (MultiFileActive) {
    SendBlock();
  } else {
    NextMultiFile();
  }
  return core::ConsumedEvent;
}

}  // namespace update
