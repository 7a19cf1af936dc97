// A port double wired to the in-process simulated instrument on the virtual clock: what the
// code under test writes reaches the instrument at the current virtual time, the instrument's
// answers become due as the clock moves, and each arrival is announced with WM_V24_RECEIVED as
// the real port's reader thread does. The line settings the code sets are the instrument's
// view of the host's line, so a wrong baud rate gets no answer.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/virtual_window_system.h"
#include "serial/com_port.h"
#include "serial/line_config.h"
#include "serial/window_messages.h"
#include "sim/instrument.h"

namespace test {

class SimPort : public serial::TComPort {
 public:
  // instrument may be null: a silent port (present, nobody answers).
  SimPort(core::VirtualWindowSystem& windows, sim::Instrument* instrument, int comNumber)
      : serial::TComPort(Inventory::Skip),
        windows_(windows),
        instrument_(instrument),
        comNumber_(comNumber),
        poll_(windows.CreateTimer()) {
    poll_->SetHandler([this](core::WindowTimer&) { Poll(); });
    line_ = serial::BuildLineConfig(*GetV24Parameter());
  }

  serial::PortHandle Open(core::WindowSystem*, int32_t, bool) override {
    if (opened_) return serial::kNullHandle;
    opened_ = true;
    line_ = serial::BuildLineConfig(*GetV24Parameter());
    ApplyLine();
    return comNumber_;
  }
  void Close() override {
    opened_ = false;
    poll_->SetEnabled(false);
  }
  bool Opened() const override { return opened_; }

  int32_t Read(void* buffer, uint32_t count) override {
    if (!opened_) return serial::kNotOpen;
    Poll();
    const size_t n = std::min<size_t>(count, pending_.size());
    std::copy_n(pending_.begin(), n, static_cast<uint8_t*>(buffer));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
    static_cast<uint8_t*>(buffer)[n] = 0;
    announced_ = !pending_.empty();
    if (announced_)
      windows_.PostMessage(serial::WM_V24_RECEIVED, static_cast<uintptr_t>(comNumber_));
    return static_cast<int32_t>(n);
  }

  // The double never waits: what is due has arrived.
  int32_t ReadReceived(void* buffer, uint32_t count) override { return Read(buffer, count); }

  int32_t Write(const void* data, int32_t length, bool) override {
    if (!opened_) return serial::kNotOpen;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t n =
        length < 0 ? std::strlen(static_cast<const char*>(data)) : static_cast<size_t>(length);
    written_.insert(written_.end(), bytes, bytes + n);
    if (instrument_) {
      instrument_->Receive(std::span<const uint8_t>(bytes, n));
      Arm();
    }
    return static_cast<int32_t>(n);
  }
  int GetWriteStatus() override { return opened_ ? 1 : 0; }

  bool ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag stopBits,
                          serial::ParitaetTag parity, bool discardNull) override {
    serial::SetBaud(line_, baud);
    serial::SetStopBits(line_, stopBits);
    serial::SetParity(line_, parity);
    line_.DiscardNull = discardNull;
    ApplyLine();
    return opened_;
  }
  bool ChangeBaudrate(serial::BaudTag baud) override {
    serial::SetBaud(line_, baud);
    ApplyLine();
    return opened_;
  }
  serial::LineConfig LoadV24Parameter() override { return line_; }
  bool SaveV24Parameter(const serial::LineConfig* config) override {
    line_ = *config;
    ApplyLine();
    return opened_;
  }
  void SaveLastV24Parameter() override { last_ = line_; }
  void LoadLastV24Parameter() override {
    line_ = last_;
    ApplyLine();
  }

  // Everything the code under test wrote to this port.
  std::string Written() const { return std::string(written_.begin(), written_.end()); }
  const serial::LineConfig& Line() const { return line_; }

 private:
  void ApplyLine() {
    if (!instrument_) return;
    const sim::Parity parity = line_.Parity == 2   ? sim::Parity::Even
                               : line_.Parity == 1 ? sim::Parity::Odd
                                                   : sim::Parity::None;
    instrument_->SetHostLine(static_cast<int>(line_.BaudRate), parity, line_.ByteSize,
                             line_.StopBits == 2 ? 2 : 1);
    Arm();
  }
  // Wakes up when the instrument's next output is due.
  void Arm() {
    if (!instrument_ || !opened_) return;
    const std::optional<int64_t> next = instrument_->NextEventMs();
    if (!next) {
      poll_->SetEnabled(false);
      return;
    }
    const int64_t now = windows_.TickCount();
    poll_->SetEnabled(false);
    poll_->SetInterval(static_cast<uint32_t>(std::max<int64_t>(1, *next - now)));
    poll_->SetEnabled(true);
  }
  void Poll() {
    if (!instrument_ || !opened_) return;
    const std::vector<uint8_t> bytes = instrument_->TakeOutput(windows_.TickCount());
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (!pending_.empty() && !announced_) {
      announced_ = true;
      windows_.PostMessage(serial::WM_V24_RECEIVED, static_cast<uintptr_t>(comNumber_));
    }
    Arm();
  }

  core::VirtualWindowSystem& windows_;
  sim::Instrument* instrument_;
  int comNumber_;
  std::unique_ptr<core::WindowTimer> poll_;
  bool opened_ = false;
  bool announced_ = false;
  serial::LineConfig line_;
  serial::LineConfig last_;
  std::deque<uint8_t> pending_;
  std::vector<uint8_t> written_;
};

}  // namespace test
