#include "loaders/terminal/term_prog.h"

#include <algorithm>
#include <fstream>

#include "core/text.h"
#include "package/messages.h"
#include "update/display.h"

namespace loaders {

using namespace std::string_view_literals;

const std::vector<TermText> kTermTexts = {
    {"Basic-Loader  |"sv, term::kLoaderName},
    {"Basic-Loader / 1.01"sv, term::kLoaderVersion},
    {"Basic-Loader / 1.02"sv, term::kLoaderVersion},
    {"Flash-Memory erased !"sv, term::kErased},
    {"Flash-Memory (1/2) erased !"sv, term::kBankErased},
    {"Flash-Memory programmed"sv, term::kProgrammed},
    {"Waiting for S-Record !"sv, term::kWaiting},
    {"S-Record defect!"sv, term::kDefect},
    {"Record defekt!"sv, term::kDefect},
    {"Ready PC ?  Seg=0"sv, term::kReadySeg0},
    {"Ready PC ?  Seg=1"sv, term::kReadySeg1},
    {"Erasing Flash-Memory (1) !"sv, term::kErasing},
    {"Erasing Flash-Memory (2) !"sv, term::kErasing},
    {"Flash-Memory (1) programmed !"sv, term::kProgrammed},
    {"Flash-Memory (2) programmed !"sv, term::kProgrammed},
    {"\xA1\x48\x20\x14"sv, term::kProgrammed},
};

std::vector<int32_t> MatchTermTexts(std::string& buffer) {
  std::vector<int32_t> events;
  for (const TermText& entry : kTermTexts) {
    const size_t at = buffer.find(entry.text);
    if (at == std::string::npos) continue;
    buffer.erase(at, entry.text.size());
    events.push_back(entry.event);
  }
  return events;
}

std::string TermFileName(char variant) {
  return std::string(kTerminalFiles[variant == '0' ? 0 : 1]);
}

namespace {

constexpr char kErrorCaption[] = " Error ";

std::string Message(messages::MessageId id, int32_t language) {
  return std::string(messages::Text(id, language));
}

// The file-missing text names the file actually asked for.
std::string MissingText(const std::string& fileName, int32_t language) {
  std::string text = Message(messages::MSG_TERMFILE_OPEN, language);
  const std::string generic = TermFileName('1');
  const size_t at = text.find(generic);
  if (at != std::string::npos) text.replace(at, generic.size(), fileName);
  return text;
}

}  // namespace

TTermProg::~TTermProg() {
  // The window closes its ports after this: the line is left to them.
  if (line_) line_->Keep();
}

void StartTermProg(TTermProg& term, const TermHost& host) {
  // A terminal started again takes the line as it finds it.
  if (term.line_) term.line_->Keep();
  term.line_.reset();
  term.host_ = std::make_unique<TermHost>(host);
  term.run_.emplace(host.events, core::MakeHandler<&TTermProg::TermEventHandler>(&term));
  term.run_->Attach();
  term.line_.emplace(host.port, LineGuard::Way::kCopy);
  term.host_->port.ChangeHandShake(serial::RTS_CTS);
  term.host_->port.ChangeBaudrate(serial::B_19200);
  term.Stopped = false;
  term.Finished = false;
  term.ReceiveBuffer.clear();
  term.Transfer.clear();
  term.SentOffset = 0;
  term.ByteCount = 0;
  term.transmitErrors_ = 0;
  term.transferring_ = false;
  term.RestartQuiet();
}

void StopTermProg(TTermProg& term) {
  term.Stopped = true;
  if (term.host_) term.StopTimers();
}

core::EventRecord TTermProg::TermEventHandler(core::EventQueue&, core::EventRecord record) {
  return Handle(record) ? core::ConsumedEvent : record;
}

bool TTermProg::Handle(const core::EventRecord& record) {
  if (!host_) return false;
  if (record.kind == core::EVK_TIMER) {
    if (record.code == busyTimer_ && busyTimer_ != 0) {
      busyTimer_ = run_->StopTimer(busyTimer_);
      SendNextBlock();
      return true;
    }
    if (record.code == quietTimer_ && quietTimer_ != 0) {
      quietTimer_ = run_->StopTimer(quietTimer_);
      Fail(Message(messages::MSG_TERM_NO_ANSWER, host_->language), false);
      return true;
    }
    return false;
  }
  if (record.kind != core::EVK_EVENT) return false;
  switch (record.code) {
    case update::ev::kReceived:
      ReceiveAndMatch();
      return true;
    case term::kErasing:
      OnErasing();
      return true;
    case term::kWaiting:
      LoadFile();
      return true;
    case term::kNextBlock:
      // A block that waits for the busy transmitter is offered by its pause timer alone.
      if (busyTimer_ == 0) SendNextBlock();
      return true;
    case term::kProgrammed:
      Finish();
      return true;
    case term::kDefect:
      Append(Message(messages::MSG_TERM_TRANSMIT, host_->language));
      Abort();
      return true;
    case update::ev::kAnswerTermAbort:
      Abort();
      return true;
    default:
      return false;
  }
}

void TTermProg::ReceiveAndMatch() {
  char bytes[kReadChunk + 1];
  const int32_t count = host_->port.Read(bytes, kReadChunk);
  if (count <= 0) return;
  RestartQuiet();
  ReceiveBuffer.append(bytes, static_cast<size_t>(count));
  // Unrecognised text would overflow the buffer: the oldest characters go.
  if (ReceiveBuffer.size() > kReceiveSize)
    ReceiveBuffer.erase(0, ReceiveBuffer.size() - kReceiveSize);
  for (int32_t event : MatchTermTexts(ReceiveBuffer)) host_->events.queue.PostEvent(event);
}

void TTermProg::OnErasing() {
  host_->view.ClearLog();
  Append(Message(messages::MSG_TERM_PREPARING, host_->language));
}

void TTermProg::LoadFile() {
  if (Finished || Stopped || transferring_) return;
  const int32_t language = host_->language;
  fileName_ = TermFileName(host_->variant);
  std::ifstream in(core::PackagePath(fileName_), std::ios::binary);
  if (!in) {
    Fail(MissingText(fileName_, language), true);
    return;
  }
  // A file that does not fit is refused whole: a truncated firmware must never be sent.
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0 || static_cast<uint64_t>(size) > kTransferSize) {
    Fail(update::ReplaceFirstX(Message(messages::MSG_TERMFILE_TOO_BIG, language), fileName_), true);
    return;
  }
  host_->view.SetProgressMax(100);
  Append(Message(messages::MSG_TERM_PROGRAMMING, language));
  Transfer.assign(static_cast<size_t>(size), '\0');
  in.read(Transfer.data(), size);
  ByteCount = static_cast<uint32_t>(std::max<std::streamsize>(in.gcount(), 0));
  SentOffset = 0;
  transferring_ = true;
  host_->view.SetStatusPanel(4, "");
  host_->view.SetWaitPanelVisible(true);
  host_->events.queue.PostEvent(term::kNextBlock);
}

void TTermProg::SendNextBlock() {
  if (Stopped || SentOffset >= ByteCount) return;
  const bool last = SentOffset + kBlockSize > ByteCount;
  const uint32_t size = last ? ByteCount - SentOffset : kBlockSize;
  if (!last) host_->events.queue.PostEvent(term::kNextBlock);
  const int32_t result =
      host_->port.Write(Transfer.data() + SentOffset, static_cast<int32_t>(size), true);
  bool transmitError = false;
  if (result > 0) {
    SentOffset += size;
    transmitErrors_ = 0;
    RestartQuiet();
  } else if (result == serial::kTransmitError && ++transmitErrors_ > kTransmitRetries) {
    transmitError = true;
  } else {
    // Busy, or a transmit error still within its retries: the same block after a pause.
    if (result == serial::kTransmitError) host_->port.GetWriteStatus();
    busyTimer_ = run_->StopTimer(busyTimer_);
    busyTimer_ = run_->StartTimer(kBusyPauseMs);
  }
  const double percent = ByteCount == 0 ? 0.0 : SentOffset * 100.0 / ByteCount;
  host_->view.SetProgress(static_cast<int32_t>(percent));
  if (transmitError) {
    ShowTag(true, percent);
    Abort();
    return;
  }
  ShowTag(false, percent);
}

void TTermProg::ShowTag(bool transmitError, double percent) {
  std::string tag = fileName_ == TermFileName('0') ? "H  " : "L  ";
  if (transmitError) tag[1] = 'T';
  update::ShowProgress(host_->view, host_->language, tag, percent);
}

void TTermProg::Finish() {
  if (Finished || Stopped) return;
  Finished = true;
  host_->view.ClearLog();
  Append(Message(messages::MSG_TERM_SUCCESS, host_->language));
  host_->view.Beep();
  update::ShowProgress(host_->view, host_->language, "", -10);
  End(true);
}

void TTermProg::Abort() {
  if (Stopped) return;
  Append(Message(messages::MSG_TERM_ABORT, host_->language));
  Stopped = true;
  End(false);
}

void TTermProg::Fail(const std::string& text, bool box) {
  if (Stopped) return;
  const std::string expanded = host_->expand ? host_->expand(text) : text;
  if (box) {
    host_->view.ShowError(kErrorCaption, expanded);
  } else {
    host_->view.AppendLog(expanded);
  }
  Abort();
}

void TTermProg::End(bool programmed) {
  StopTimers();
  transferring_ = false;
  // The instrument's next words (the new firmware's greeting) belong to the update sequence.
  run_->Detach();
  // The line goes back to what it was: the new firmware greets at the instrument's normal
  // settings, and a failed run leaves the line as it found it.
  line_->Restore();
  auto ended = host_->ended;
  if (ended)
    ended(programmed ? update::LoaderResult::Programmed() : update::LoaderResult::Failed());
}

void TTermProg::Append(const std::string& text) {
  host_->view.AppendLog(host_->expand ? host_->expand(text) : text);
}

void TTermProg::RestartQuiet() {
  if (quietTimer_ != 0) {
    run_->RestartTimer(quietTimer_);
  } else {
    quietTimer_ = run_->StartTimer(kQuietMs);
  }
}

void TTermProg::StopTimers() {
  busyTimer_ = run_->StopTimer(busyTimer_);
  quietTimer_ = run_->StopTimer(quietTimer_);
}

}  // namespace loaders
