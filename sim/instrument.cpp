#include "sim/instrument.h"

#include <algorithm>

#include "sim/normal_mode.h"
#include "sim/targets.h"

namespace sim {
namespace {

// An instrument whose program does not run (its reset vector is erased): it hears nothing.
class DeadMode : public Mode {
 public:
  DeadMode(Link& link, int64_t nowUs) { link.Listen(LineSettings{}, nowUs); }
  const char* Name() const override { return "no program"; }
  void OnByte(uint8_t, int64_t) override {}
};

}  // namespace

Instrument::Instrument(const Profile& profile, Clock clock)
    : profile_(profile),
      clock_(std::move(clock)),
      memory_(MakeTargetMemory(profile_.bootLoader)),
      machine_{profile_,
               *this,
               record_,
               memory_.get(),
               [this](int64_t us) { EnterBootLoader(us); },
               [this](int64_t us) { StartProgram(us); },
               [this](const ReceivedFile& f) {
                 if (fileSink_) fileSink_(f);
               }} {
  nowUs_ = NowUs();
  if (profile_.bootLoader.startInBootLoader) mode_ = sim::MakeTarget(machine_, nowUs_);
  if (mode_) StartBootLoaderNoise(nowUs_);
  if (mode_) BeginBootLoaderTime(nowUs_);
  if (!mode_) mode_ = std::make_unique<NormalMode>(machine_, false, nowUs_);
}

Instrument::~Instrument() = default;

const char* Instrument::ModeName() const {
  return mode_->Name();
}

std::string Instrument::StateJson() const {
  Record record = record_;
  record.bootLoaderTime = TimeOfBootLoader();
  return ToJson(record, ModeName(), memory_.get());
}

BootLoaderTime Instrument::TimeOfBootLoader() const {
  BootLoaderTime time = record_.bootLoaderTime;
  CloseSpan(time);
  return time;
}

void Instrument::SetHostLine(int baud, Parity parity, int dataBits, int stopBits) {
  host_ = {baud, parity, dataBits, stopBits};
  int64_t now = std::max(NowUs(), nowUs_);
  AdvanceTo(now);
  mode_->OnHostLine(now);
}

void Instrument::Receive(std::span<const uint8_t> bytes) {
  int64_t now = std::max(NowUs(), nowUs_);
  AdvanceTo(now);
  for (uint8_t byte : bytes) {
    int64_t at = now;
    const int64_t start = std::max(now, rxFreeUs_);
    if (profile_.pace) at = rxFreeUs_ = start + CharTimeUs(host_.baud);
    AdvanceTo(at);
    if (disconnected_) break;
    const LineSettings& listen = ListeningAt(at);
    bool heard = Matches(listen, host_, profile_.checkFormat);
    auto kind = heard ? TraceEvent::Kind::ToInstrument : TraceEvent::Kind::Ignored;
    if (kind != pendingIn_.kind) {
      FlushTrace();
      pendingIn_ = {
          kind, at, {}, heard ? "" : "host " + Describe(host_) + ", listening " + Describe(listen)};
    }
    pendingIn_.bytes.push_back(byte);
    if (!heard) {
      ++record_.ignoredBytes;
      continue;
    }
    HostByteTime(profile_.pace ? start : at, at);
    mode_->OnByte(byte, at);
  }
  FlushTrace();
}

void Instrument::FlushTrace() {
  if (!pendingIn_.bytes.empty() && trace_) trace_(pendingIn_);
  pendingIn_.bytes.clear();
  pendingIn_.kind = TraceEvent::Kind::Note;
}

std::vector<uint8_t> Instrument::TakeOutput(int64_t untilMs) {
  return TakeOutputUs(untilMs * 1000);
}

std::vector<uint8_t> Instrument::TakeOutputUs(int64_t until) {
  AdvanceTo(until);
  std::vector<uint8_t> bytes;
  int64_t first = out_.empty() ? 0 : out_.front().us;
  while (!out_.empty() && out_.front().us <= until) {
    bytes.push_back(out_.front().byte);
    out_.pop_front();
  }
  if (!bytes.empty() && trace_) trace_({TraceEvent::Kind::ToHost, first, bytes, ""});
  return bytes;
}

std::optional<int64_t> Instrument::NextEventMs() const {
  std::optional<int64_t> next = NextEventUs();
  if (next) *next = (*next + 999) / 1000;
  return next;
}

std::optional<int64_t> Instrument::NextEventUs() const {
  std::optional<int64_t> next;
  if (!out_.empty()) next = out_.front().us;
  if (!actions_.empty()) next = std::min(next.value_or(INT64_MAX), actions_.begin()->first);
  return next;
}

void Instrument::Delivered(int64_t atUs) {
  if (inBootLoader_ && spanStartUs_ >= 0 && out_.empty()) spanEndUs_ = std::max(spanEndUs_, atUs);
}

void Instrument::BeginBootLoaderTime(int64_t us) {
  BootLoaderTime& time = record_.bootLoaderTime;
  if (!time.seen) time.startUs = time.endUs = us;
  time.seen = inBootLoader_ = true;
  spanStartUs_ = -1;
  spanEndUs_ = us;
}

void Instrument::EndBootLoaderTime() {
  if (!inBootLoader_) return;
  CloseSpan(record_.bootLoaderTime);
  spanStartUs_ = -1;
  inBootLoader_ = false;
}

void Instrument::CloseSpan(BootLoaderTime& time) const {
  if (!inBootLoader_ || spanStartUs_ < 0) return;
  time.ownUs += spanEndUs_ - spanStartUs_;
  time.endUs = spanEndUs_;
}

void Instrument::HostByteTime(int64_t startUs, int64_t endUs) {
  if (!inBootLoader_) return;
  BootLoaderTime& time = record_.bootLoaderTime;
  if (spanStartUs_ < 0 || startUs > spanEndUs_) {
    // The instrument was idle: the time since its last answer was the host's.
    CloseSpan(time);
    const int64_t gap = std::max<int64_t>(0, startUs - spanEndUs_);
    if (gap >= BootLoaderTime::kWaitUs) {
      time.waitUs += gap;
      ++time.waits;
    } else {
      time.gapUs += gap;
      ++time.gaps;
      time.gapList.push_back(gap);
    }
    spanStartUs_ = startUs;
  }
  spanEndUs_ = std::max(spanEndUs_, endUs);
  time.wireUs += endUs - startUs;
}

void Instrument::AnswerTime(int64_t startUs, int64_t endUs, int64_t wireUs) {
  if (!inBootLoader_) return;
  if (spanStartUs_ < 0) spanStartUs_ = startUs;  // sent on its own (noise)
  spanEndUs_ = std::max(spanEndUs_, endUs);
  record_.bootLoaderTime.wireUs += wireUs;
}

bool Instrument::WaitsForHostLine() const {
  return mode_->WaitsForHostLine();
}

void Instrument::Send(const std::vector<uint8_t>& bytes, int64_t atUs) {
  if (disconnected_) return;
  int64_t t = std::max({atUs, outEndUs_, nowUs_});
  int baud = ListeningAt(t).baud ? ListeningAt(t).baud : profile_.line.baud;
  int64_t step = profile_.pace ? CharTimeUs(baud) : 0;
  const int64_t first = t;
  for (uint8_t b : bytes) {
    t += step;
    out_.push_back({t, b});
  }
  outEndUs_ = t;
  AnswerTime(first, t, t - first);
}

void Instrument::Listen(const LineSettings& line, int64_t atUs) {
  listen_[atUs] = line;
  At(atUs, [this, line](int64_t us) {
    Note(line.baud ? "listening at " + Describe(line) : "not listening", us);
  });
}

const LineSettings& Instrument::ListeningAt(int64_t us) const {
  static const LineSettings deaf;
  auto it = listen_.upper_bound(us);
  return it == listen_.begin() ? deaf : std::prev(it)->second;
}

void Instrument::At(int64_t atUs, std::function<void(int64_t)> action) {
  actions_.emplace(atUs, std::move(action));
}

int64_t Instrument::OutputEndUs() const {
  return std::max(outEndUs_, nowUs_);
}

void Instrument::Disconnect(int64_t atUs) {
  At(atUs, [this](int64_t us) {
    disconnected_ = record_.disconnected = true;
    while (!out_.empty() && out_.back().us > us) out_.pop_back();
    Note("line disconnected", us);
  });
}

void Instrument::Note(const std::string& text, int64_t atUs) {
  FlushTrace();  // the bytes that led to the note come first
  if (trace_) trace_({TraceEvent::Kind::Note, atUs, {}, text});
}

void Instrument::AdvanceTo(int64_t us) {
  while (!actions_.empty() && actions_.begin()->first <= us) {
    auto node = actions_.extract(actions_.begin());
    nowUs_ = std::max(nowUs_, node.key());
    node.mapped()(node.key());
  }
  nowUs_ = std::max(nowUs_, us);
  // Settings older than the one in force now are no longer needed.
  auto current = listen_.upper_bound(nowUs_);
  if (current != listen_.begin()) listen_.erase(listen_.begin(), std::prev(current));
}

void Instrument::Switch(std::unique_ptr<Mode> mode, int64_t us) {
  EndBootLoaderTime();
  ++noiseGeneration_;
  mode_ = std::move(mode);
  Note(std::string("mode: ") + mode_->Name(), us);
}

void Instrument::EnterBootLoader(int64_t us) {
  At(us, [this](int64_t t) {
    listen_.erase(listen_.upper_bound(t), listen_.end());  // the old mode's plans are void
    auto target = sim::MakeTarget(machine_, t);
    if (target) {
      Switch(std::move(target), t);
      BeginBootLoaderTime(t);
      StartBootLoaderNoise(t);
    } else {
      Switch(std::make_unique<DeadMode>(static_cast<Link&>(*this), t), t);
    }
  });
}

void Instrument::StartProgram(int64_t us) {
  At(us, [this](int64_t t) {
    listen_.erase(listen_.upper_bound(t), listen_.end());  // the old mode's plans are void
    ++record_.programStarts;
    // An MSP430 without its reset vector does not run; the Basic-Loader's parts have none there.
    const bool msp430 = profile_.bootLoader.target != TargetKind::Basic;
    if (memory_ && msp430 && memory_->Word(0xFFFE) == 0xFFFF) {
      Note("reset vector erased: the program does not run", t);
      Switch(std::make_unique<DeadMode>(static_cast<Link&>(*this), t), t);
      return;
    }
    Switch(std::make_unique<NormalMode>(machine_, true, t), t);
  });
}

void Instrument::StartBootLoaderNoise(int64_t us) {
  if (profile_.bootLoader.noiseEveryMs <= 0) return;
  NoiseAt(us + int64_t{profile_.bootLoader.noiseEveryMs} * 1000, noiseGeneration_);
}

void Instrument::NoiseAt(int64_t us, int generation) {
  At(us, [this, generation](int64_t t) {
    if (generation != noiseGeneration_) return;  // the boot loader has ended
    Send(profile_.bootLoaderFaults.noiseBytes, t);
    NoiseAt(t + int64_t{profile_.bootLoader.noiseEveryMs} * 1000, generation);
  });
}

}  // namespace sim
