// The line under a test-side boot-loader client: the in-process instrument on a hand-moved
// clock, or the program's pseudo-terminal.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/instrument.h"
#include "tests/sim/serial_client.h"

namespace simtest {

class Transport {
 public:
  virtual ~Transport() = default;
  virtual void Write(const std::vector<uint8_t>& bytes) = 0;
  // Up to count bytes; fewer when timeoutMs passes first.
  virtual std::vector<uint8_t> Read(size_t count, int timeoutMs) = 0;
  virtual void SetBaud(int baud) = 0;
};

// Moves the clock straight to the instrument's next event, so waits cost no real time.
class InProcess : public Transport {
 public:
  InProcess(sim::Instrument& instrument, int64_t& now) : instrument_(instrument), now_(now) {}
  void Write(const std::vector<uint8_t>& bytes) override {
    instrument_.Receive(std::span<const uint8_t>(bytes));
  }
  std::vector<uint8_t> Read(size_t count, int timeoutMs) override {
    int64_t deadline = now_ + timeoutMs;
    while (buffer_.size() < count) {
      auto due = instrument_.TakeOutput(now_);
      buffer_.insert(buffer_.end(), due.begin(), due.end());
      if (buffer_.size() >= count) break;
      auto next = instrument_.NextEventMs();
      if (!next || *next > deadline) {
        now_ = deadline;
        break;
      }
      now_ = std::max(now_, *next);
    }
    size_t take = std::min(count, buffer_.size());
    std::vector<uint8_t> out(buffer_.begin(), buffer_.begin() + static_cast<long>(take));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(take));
    return out;
  }
  void SetBaud(int baud) override { instrument_.SetHostLine(baud, sim::Parity::Even, 8, 1); }
  void Wait(int ms) { now_ += ms; }

 private:
  sim::Instrument& instrument_;
  int64_t& now_;
  std::vector<uint8_t> buffer_;
};

class OverPty : public Transport {
 public:
  explicit OverPty(SerialClient& line) : line_(line) {}
  void Write(const std::vector<uint8_t>& bytes) override { line_.Write(bytes); }
  std::vector<uint8_t> Read(size_t count, int timeoutMs) override {
    return line_.Read(count, timeoutMs);
  }
  void SetBaud(int baud) override { line_.SetBaud(baud); }

 private:
  SerialClient& line_;
};

}  // namespace simtest
