#include "serial/com_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "serial/port_names.h"
#include "serial/posix_line.h"
#include "serial/reader_thread.h"
#include "serial/writer_thread.h"

namespace serial {
namespace {

constexpr uint8_t kXon = 0x11;
constexpr uint8_t kXoff = 0x13;

void PrintError(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

// text with %1 and %2 replaced by port and reason.
std::string Filled(const std::string& text, const std::string& port, const std::string& reason) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
      out += text[++i] == '1' ? port : reason;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

TComPort::TComPort(Inventory inventory)
    : errorBox_(PrintError), frame_(TV24Write_Thread::kTxBufferSize) {
  if (inventory == Inventory::Take) Check_AllV24();
}

TComPort::~TComPort() {
  Close();
}

void TComPort::SetErrorBox(ErrorBox box) {
  errorBox_ = box ? std::move(box) : PrintError;
}

void TComPort::ShowError(const std::string& text) {
  errorBox_(errorTexts_.caption, text);
}

bool TComPort::DeviceLost() const {
  return reader_ && reader_->DeviceLost();
}

bool TComPort::Aktiv() const {
  return reader_ && reader_->Aktiv();
}

uint64_t TComPort::ReceivePasses() const {
  return reader_ ? reader_->Passes() : 0;
}

uint64_t TComPort::DirectReceivePasses() const {
  return reader_ ? reader_->DirectPasses() : 0;
}

bool TComPort::BeginDirectReceive() {
  return opened_ && reader_->BeginDirect();
}

void TComPort::EndDirectReceive() {
  if (opened_) reader_->EndDirect();
}

bool TComPort::DirectReceive() const {
  return reader_ && reader_->Direct();
}

bool TComPort::OpenDevice(int32_t port) {
  // AutoSearch goes on through the other ports of the inventory.
  std::vector<int32_t> candidates{port};
  if (AutoSearch) {
    for (int i = 0; i < inventory_.DeviceCount; ++i) {
      if (inventory_.DeviceList[i] != port) candidates.push_back(inventory_.DeviceList[i]);
    }
  }
  for (int32_t candidate : candidates) {
    comIndex_ = candidate;
    const std::optional<PortDevice> device = PortDeviceOf(candidate);
    if (!device) continue;
    os::OpenResult result = os::OpenExclusive(*device);
    if (result.outcome == os::OpenOutcome::Opened) {
      line_ = std::move(result.line);
      return true;
    }
  }
  return false;
}

PortHandle TComPort::Open(core::WindowSystem* ownerWindow, int32_t port, bool showError) {
  if (opened_) return kNullHandle;
  V24ParameterTag copy = *V24.GetParameter(StreamOn, Datei);
  if (port != -1) copy.Schnittstelle = static_cast<ComTag>(port);
  if (AutoSearch) copy.Schnittstelle = Com__1;
  ownerWindow_ = ownerWindow;
  if (!OpenDevice(copy.Schnittstelle)) {
    if (showError) {
      ShowError(Filled(errorTexts_.notOpened, PortDisplayName(comIndex_), ""));
    }
    return kInvalidHandle;
  }
  copy.Schnittstelle = static_cast<ComTag>(comIndex_);
  V24.SetParameter(&copy);  // stores the port that opened when persisting
  opened_ = true;
  handle_ = line_->Handle();
  activeHandshake_ = IsValid(copy.Handshake) ? copy.Handshake : NoHandshake;
  noTerminator_ = copy.KeinString != 0;
  rxTimeOut_ = copy.RXTimeOut;
  txTimeOut_ = copy.TXTimeOut;
  lastSaved_ = false;
  rx_.Clear();

  line_->SaveOriginal();
  ApplyLine(BuildLineConfig(copy));

  const int comNumber = comIndex_ + 1;
  reader_ = std::make_unique<TV24Read_Thread>(ownerWindow_, *line_, rx_, comNumber, discardNull_);
  reader_->SetCharacterTime(CharacterTimeUs(current_));
  writer_ = std::make_unique<TV24Write_Thread>(*line_, comNumber, txTimeOut_);
  reader_->Start();
  return handle_;
}

bool TComPort::OpenDialog(const SettingsDialog& dialog) {
  Check_AllV24();
  V24ParameterTag copy = *V24.GetParameter(StreamOn, Datei);
  if (!dialog || dialog(V24Dialog, copy, inventory_, Language) != 1) return false;
  V24.SetParameter(&copy);
  if (opened_) {
    core::WindowSystem* owner = ownerWindow_;
    Close();
    Open(owner, copy.Schnittstelle, true);
  }
  return true;
}

void TComPort::Close() {
  if (!opened_) return;
  reader_->Stop();
  writer_->Stop();  // finishes a write it holds
  discardNull_ = false;
  line_->RestoreOriginal();
  reader_.reset();
  writer_.reset();
  line_.reset();
  handle_ = kInvalidHandle;
  opened_ = false;
}

int32_t TComPort::Read(void* buffer, uint32_t count) {
  if (!opened_) return kNotOpen;
  reader_->ClearAktiv();
  count = std::min<uint32_t>(count, INT32_MAX);
  const int64_t totalMs = int64_t{count} + std::max<int64_t>(0, rxTimeOut_);
  const auto deadline = RxQueue::Clock::now() + std::chrono::milliseconds(totalMs);
  auto* bytes = static_cast<uint8_t*>(buffer);
  const size_t got =
      reader_->Direct() ? ReadDirect(bytes, count, deadline) : rx_.Take(bytes, count, deadline);
  if (rx_.WasFull()) reader_->WakeForRoom();
  if (!noTerminator_) bytes[got] = 0;
  return static_cast<int32_t>(got);
}

size_t TComPort::ReadDirect(uint8_t* bytes, size_t count, RxQueue::Clock::time_point deadline) {
  size_t got = rx_.TakeArrived(bytes, count);
  while (got < count && !rx_.Gone()) {
    const RxQueue::Clock::time_point now = RxQueue::Clock::now();
    RxQueue::Clock::time_point until = deadline;
    // Once a byte has come, the gap since the latest arrival bounds the wait.
    if (got > 0) until = std::min(until, rx_.LastArrival() + RxQueue::kInterval);
    if (now >= until) break;
    reader_->WaitDirect(until);
    got += rx_.TakeArrived(bytes + got, count - got);
  }
  return got;
}

int32_t TComPort::ReadReceived(void* buffer, uint32_t count) {
  if (!opened_) return kNotOpen;
  reader_->ClearAktiv();
  auto* bytes = static_cast<uint8_t*>(buffer);
  const size_t got = rx_.TakeArrived(bytes, std::min<uint32_t>(count, INT32_MAX));
  if (rx_.WasFull()) reader_->WakeForRoom();
  if (rx_.Count() > 0) reader_->AnnounceUnread();
  if (!noTerminator_) bytes[got] = 0;
  return static_cast<int32_t>(got);
}

void TComPort::AnnounceAt(uint32_t count) {
  if (opened_) reader_->AnnounceAt(count);
}

int32_t TComPort::Write(const void* data, int32_t length, bool async) {
  if (!opened_) return kNotOpen;
  const bool framed = activeHandshake_ == Qolmar_XonXoff;
  // XOFF, XON and a terminating NUL share the buffer with framed data.
  const size_t limit =
      framed ? TV24Write_Thread::kTxBufferSize - 3 : TV24Write_Thread::kTxBufferSize;
  if (length < -1 || (data == nullptr && length != 0)) return kWriteRefused;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t n = length == -1 ? strnlen(static_cast<const char*>(data), limit + 1)
                                : static_cast<size_t>(length);
  if (n > limit) return kWriteRefused;
  // A write starts a new exchange: what was asked of the answer to the last one no longer holds.
  reader_->AnnounceAt(1);
  size_t frameLength = 0;
  if (framed) frame_[frameLength++] = kXoff;
  if (n > 0) std::memcpy(frame_.data() + frameLength, bytes, n);
  frameLength += n;
  if (framed) {
    frame_[frameLength++] = kXon;
    frame_[frameLength] = 0;  // not sent
  }
  return writer_->Queue(frame_.data(), static_cast<uint32_t>(frameLength), async);
}

int TComPort::GetWriteStatus() {
  if (!opened_) return 0;
  writer_->ClearTxError();
  return 1;
}

void TComPort::Reset_SetAktiv() {
  if (reader_) reader_->ClearAktiv();
}

bool TComPort::ApplyLine(const LineConfig& config) {
  const os::LineStatus status = line_->Apply(config);
  // Another line setting ends the exchange under way (a boot loader's run ends with one).
  if (reader_) {
    // A refused setting may have left the line at another speed: its pace is not known then.
    reader_->SetCharacterTime(status.Ok() ? CharacterTimeUs(config) : 0);
    reader_->AnnounceAt(1);
  }
  current_ = config;
  discardNull_ = config.DiscardNull;
  if (status.Ok()) return true;
  const std::string cause = std::string(status.step) + ": " + os::OsErrorText(status.error);
  ShowError(Filled(errorTexts_.lineRefused, PortDisplayName(comIndex_), cause));
  return false;
}

bool TComPort::ChangeV24Parameter(BaudTag baud, StopBitTag stopBits, ParitaetTag parity,
                                  bool discardNull) {
  if (!opened_ || !IsValid(baud) || !IsValid(stopBits) || !IsValid(parity)) return false;
  LineConfig config = current_;
  SetBaud(config, baud);
  SetStopBits(config, stopBits);
  SetParity(config, parity);
  config.DiscardNull = discardNull;
  return ApplyLine(config);
}

bool TComPort::ChangeBaudrate(BaudTag baud) {
  if (!opened_ || !IsValid(baud)) return false;
  LineConfig config = current_;
  SetBaud(config, baud);
  return ApplyLine(config);
}

bool TComPort::ChangeHandShake(HandshakeTag handshake) {
  if (!opened_ || !IsValid(handshake)) return false;
  activeHandshake_ = handshake;
  LineConfig config = current_;
  SetHandshake(config, handshake);
  return ApplyLine(config);
}

LineConfig TComPort::LoadV24Parameter() {
  return current_;
}

bool TComPort::SaveV24Parameter(const LineConfig* config) {
  if (!opened_ || config == nullptr) return false;
  return ApplyLine(*config);
}

void TComPort::SaveLastV24Parameter() {
  if (!opened_) return;
  last_ = current_;
  lastSaved_ = true;
}

void TComPort::LoadLastV24Parameter() {
  if (opened_ && lastSaved_) ApplyLine(last_);
}

void TComPort::InitParameter(const V24ParameterTag* record, bool autoSearch) {
  V24.SetParameter(record);
  AutoSearch = autoSearch;
}

V24ParameterTag* TComPort::GetV24Parameter() {
  return V24.GetParameter(false, Datei);
}

void TComPort::SetV24(TV24Parameter* other) {
  const V24ParameterTag* source = other->GetParameter(false, other->DateiName);
  std::memcpy(V24.GetParameter(false, Datei), source, sizeof(V24ParameterTag));
}

}  // namespace serial
