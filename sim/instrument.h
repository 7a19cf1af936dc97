// The simulated instrument as a byte-level model: bytes from the host in, bytes for the host out,
// the host's line settings and an injected millisecond clock. No threads, no operating system:
// instrument-sim wraps it with pseudo-terminals, and component tests run it in-process on a
// virtual clock behind a port double.
//
// In-process use (the clock is whatever the test's virtual clock says; it must not go back, so a
// wrapping 32-bit tick is widened by the caller):
//
//   std::vector<std::string> errors;
//   sim::Profile profile = sim::ParseProfile("[identity]\nversion = 1.20\n", errors);
//   uint32_t tick = 0;
//   sim::Instrument instrument(profile, [&] { return int64_t{tick}; });
//   instrument.SetHostLine(9600, sim::Parity::None, 8, 2);  // what the host's port is set to
//   const std::string probe = "A.1111\r\n";                 // the host wrote this
//   instrument.Receive(std::span(reinterpret_cast<const uint8_t*>(probe.data()), probe.size()));
//   tick += 20;                                             // (the port double waits)
//   std::vector<uint8_t> answer = instrument.TakeOutput(tick);  // "!\r\n": due by tick 20
//   std::optional<int64_t> next = instrument.NextEventMs();    // when to look again
//
// Bytes sent at settings the instrument does not listen at (another baud rate) are ignored, as
// a real receiver would garble them. Answers may be late (profile delays, wire pacing), so the
// double asks TakeOutput as its clock moves and NextEventMs for the next moment due.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/link.h"
#include "sim/memory.h"
#include "sim/mode.h"
#include "sim/profile.h"
#include "sim/record.h"

namespace sim {

struct TraceEvent {
  enum class Kind { ToInstrument, Ignored, ToHost, Note };
  Kind kind;
  int64_t us;
  std::vector<uint8_t> bytes;
  std::string text;  // notes; for Ignored the settings involved
};

class Instrument : private Link {
 public:
  using Clock = std::function<int64_t()>;  // milliseconds, never going back

  Instrument(const Profile& profile, Clock clock);
  ~Instrument() override;

  // What the host's port is set to now. Parity and data bits may be Unknown / 0.
  void SetHostLine(int baud, Parity parity = Parity::Unknown, int dataBits = 0, int stopBits = 0);
  // Bytes the host has written, at the clock's current time.
  void Receive(std::span<const uint8_t> bytes);
  // Every byte due at the host by untilMs (advances the instrument to untilMs).
  std::vector<uint8_t> TakeOutput(int64_t untilMs);
  std::vector<uint8_t> TakeOutput() { return TakeOutput(clock_()); }
  std::vector<uint8_t> TakeOutputUs(int64_t untilUs);
  // The next moment at which output becomes due or the instrument acts on its own.
  std::optional<int64_t> NextEventMs() const;
  std::optional<int64_t> NextEventUs() const;
  // A finer clock for a program on a real line (microseconds, never going back, the same
  // origin as the millisecond clock); without it the millisecond clock is used.
  void SetMicrosecondClock(Clock clockUs) { clockUs_ = std::move(clockUs); }
  // What was taken has reached the host now (a program that writes to a real line tells when),
  // so the boot loader's time ends with the real delivery of its answers.
  void Delivered(int64_t atUs);
  // The new firmware waits for the host's line to return to the normal settings; a program
  // that cannot see line changes as events polls the line meanwhile.
  bool WaitsForHostLine() const;
  bool Disconnected() const { return disconnected_; }

  const Record& Seen() const { return record_; }
  // The boot loader's time up to now (the answer under way included).
  BootLoaderTime TimeOfBootLoader() const;
  // Null without a boot-loader target.
  Memory* Flash() { return memory_.get(); }
  const char* ModeName() const;
  std::string StateJson() const;

  void SetTraceSink(std::function<void(const TraceEvent&)> sink) { trace_ = std::move(sink); }
  // Called when a multi-file transfer has closed a file.
  void SetFileSink(std::function<void(const ReceivedFile&)> sink) { fileSink_ = std::move(sink); }

 private:
  // Link
  void Send(const std::vector<uint8_t>& bytes, int64_t atUs) override;
  void Listen(const LineSettings& line, int64_t atUs) override;
  const LineSettings& HostLine() const override { return host_; }
  void At(int64_t atUs, std::function<void(int64_t)> action) override;
  int64_t OutputEndUs() const override;
  void Disconnect(int64_t atUs) override;
  void Note(const std::string& text, int64_t atUs) override;

  void AdvanceTo(int64_t us);
  void FlushTrace();
  const LineSettings& ListeningAt(int64_t us) const;
  void Switch(std::unique_ptr<Mode> mode, int64_t us);
  void EnterBootLoader(int64_t us);
  void StartProgram(int64_t us);
  // Noise bytes on the line every noise_every_ms while a boot-loader target runs.
  void StartBootLoaderNoise(int64_t us);
  void NoiseAt(int64_t us, int generation);
  int64_t NowUs() const { return clockUs_ ? clockUs_() : clock_() * 1000; }
  // The boot loader's own time against the host's (Record::bootLoaderTime).
  void BeginBootLoaderTime(int64_t us);
  void EndBootLoaderTime();
  void HostByteTime(int64_t startUs, int64_t endUs);
  void AnswerTime(int64_t startUs, int64_t endUs, int64_t wireUs);
  void CloseSpan(BootLoaderTime& time) const;

  Profile profile_;
  Clock clock_;
  Clock clockUs_;
  Record record_;
  std::unique_ptr<Memory> memory_;
  Machine machine_;
  std::unique_ptr<Mode> mode_;
  LineSettings host_;
  int64_t nowUs_ = 0;
  int64_t rxFreeUs_ = 0;  // with pacing: when the host's last byte has arrived
  struct Out {
    int64_t us;
    uint8_t byte;
  };
  std::deque<Out> out_;
  int64_t outEndUs_ = 0;
  std::map<int64_t, LineSettings> listen_;  // from time on
  std::multimap<int64_t, std::function<void(int64_t)>> actions_;
  bool disconnected_ = false;
  int noiseGeneration_ = 0;
  bool inBootLoader_ = false;
  int64_t spanStartUs_ = -1;  // the instrument's busy span under way; -1: idle
  int64_t spanEndUs_ = 0;     // a new mode stops the noise of the one before
  std::function<void(const TraceEvent&)> trace_;
  TraceEvent pendingIn_{TraceEvent::Kind::Note, 0, {}, ""};  // input run not yet traced
  std::function<void(const ReceivedFile&)> fileSink_;
};

}  // namespace sim
