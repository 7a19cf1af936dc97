// A scripted boot loader for frame-layer tests: every write the loader makes is logged with its
// time, and a script answers it with chunks of bytes. Each chunk arrives after the one before it
// as a read of its own, so tests control exactly which bytes one read returns (a frame split in
// two, an acknowledgement and a rejection together). Each arrival is announced through the window
// system, as the real port's reader thread does, on the virtual clock.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/virtual_window_system.h"
#include "serial/com_port.h"
#include "serial/window_messages.h"

namespace msp430_test {

using Chunk = std::vector<uint8_t>;

class ScriptPort : public serial::TComPort {
 public:
  static constexpr uint32_t kChunkGapMs = 2;
  struct WriteRecord {
    uint32_t tick;
    std::vector<uint8_t> bytes;
    size_t unread;  // chunks scripted before this write and not read yet when it was made
  };
  // Answers the index-th write (from 0); an empty result answers nothing.
  using Script = std::function<std::vector<Chunk>(size_t index, const std::vector<uint8_t>&)>;

  ScriptPort(core::VirtualWindowSystem& windows, Script script)
      : serial::TComPort(Inventory::Skip),
        windows_(windows),
        script_(std::move(script)),
        poll_(windows.CreateTimer()) {
    poll_->SetHandler([this](core::WindowTimer&) { Deliver(); });
  }

  bool Opened() const override { return true; }
  int32_t Read(void* buffer, uint32_t count) override {
    Deliver();  // what is due has arrived, also while the code under test was not looking
    auto* out = static_cast<uint8_t*>(buffer);
    size_t n = 0;
    if (!arrived_.empty()) {
      Chunk& chunk = arrived_.front();
      n = std::min<size_t>(count, chunk.size());
      std::copy_n(chunk.begin(), n, out);
      chunk.erase(chunk.begin(), chunk.begin() + static_cast<long>(n));
      if (chunk.empty()) arrived_.pop_front();
    }
    out[n] = 0;
    return static_cast<int32_t>(n);
  }
  // Each chunk is a read of its own, waited for or not.
  int32_t ReadReceived(void* buffer, uint32_t count) override { return Read(buffer, count); }
  int32_t Write(const void* data, int32_t length, bool) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t n = length < 0 ? std::strlen(static_cast<const char*>(data)) : size_t(length);
    writes.push_back({windows_.TickCount(), std::vector<uint8_t>(bytes, bytes + n),
                      pending_.size() + arrived_.size()});
    uint32_t due = windows_.TickCount();
    for (Chunk& chunk : script_(writes.size() - 1, writes.back().bytes)) {
      due += kChunkGapMs;
      pending_.push_back({due, std::move(chunk)});
    }
    Arm();
    return static_cast<int32_t>(n);
  }
  bool ChangeV24Parameter(serial::BaudTag baud, serial::StopBitTag, serial::ParitaetTag,
                          bool) override {
    baud_ = baud;
    return true;
  }
  void SaveLastV24Parameter() override { saved_ = baud_; }
  void LoadLastV24Parameter() override {
    baud_ = saved_;
    ++restores;
  }
  serial::BaudTag Baud() const { return baud_; }

  std::vector<WriteRecord> writes;
  int restores = 0;

 private:
  static constexpr uintptr_t kPortNumber = 1;
  struct Pending {
    uint32_t due;
    Chunk bytes;
  };

  void Arm() {
    poll_->SetEnabled(false);
    if (pending_.empty()) return;
    const uint32_t now = windows_.TickCount();
    poll_->SetInterval(pending_.front().due > now ? pending_.front().due - now : 1);
    poll_->SetEnabled(true);
  }
  void Deliver() {
    const uint32_t now = windows_.TickCount();
    while (!pending_.empty() && core::TickReached(now, pending_.front().due)) {
      arrived_.push_back(std::move(pending_.front().bytes));
      pending_.pop_front();
      windows_.PostMessage(serial::WM_V24_RECEIVED, kPortNumber);
    }
    Arm();
  }

  core::VirtualWindowSystem& windows_;
  Script script_;
  std::unique_ptr<core::WindowTimer> poll_;
  std::deque<Pending> pending_;
  std::deque<Chunk> arrived_;
  serial::BaudTag baud_ = serial::B__9600;
  serial::BaudTag saved_ = serial::B__9600;
};

}  // namespace msp430_test
