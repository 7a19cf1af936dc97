#include "sim/classic_bsl.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr int64_t kAnswerUs = 1000;  // the boot loader's own reaction time
constexpr int64_t kEraseUs = 15000;  // one segment erase
constexpr int64_t kMassEraseUs = 100000;
constexpr int64_t kWriteByteUs = 35;      // programming time of one byte
constexpr int64_t kBaudSwitchUs = 10000;  // from the acknowledgement to the new speed
constexpr size_t kMaxData = 250;

const char* CommandName(uint8_t command) {
  switch (command) {
    case 0x10:
      return "rx_password";
    case 0x12:
      return "rx_data_block";
    case 0x14:
      return "tx_data_block";
    case 0x16:
      return "erase_segment";
    case 0x18:
      return "mass_erase";
    case 0x1A:
      return "load_pc";
    case 0x1C:
      return "erase_check";
    case 0x1E:
      return "tx_bsl_version";
    case 0x20:
      return "change_baud_rate";
    case 0x21:
      return "set_mem_offset";
    default:
      return "unknown";
  }
}

std::string HexWord(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

}  // namespace

uint16_t ClassicChecksum(const std::vector<uint8_t>& bytes) {
  uint8_t lo = 0, hi = 0;
  for (size_t i = 0; i < bytes.size(); ++i) (i % 2 ? hi : lo) ^= bytes[i];
  return static_cast<uint16_t>(static_cast<uint8_t>(~lo) | static_cast<uint8_t>(~hi) << 8);
}

ClassicBsl::ClassicBsl(Machine& machine, int64_t nowUs)
    : m_(machine), p_(machine.profile.bootLoader), memory_(*machine.memory) {
  m_.link.Listen({9600, Parity::Even, 8, 1}, nowUs);
  char text[64];
  std::snprintf(text, sizeof text, "classic boot loader %X.%02X, chip %04X", p_.version >> 8,
                p_.version & 0xFF, p_.chipId);
  m_.link.Note(text, nowUs);
}

void ClassicBsl::Answer1(uint8_t byte, int64_t atUs) {
  SendAnswer(m_.link, m_.profile.bootLoaderFaults, faults_, {byte}, atUs);
}

void ClassicBsl::AnswerSync(int64_t atUs) {
  faults_ = {};
  faults_.late = m_.profile.bootLoaderFaults.lateSync.count(++syncs_) > 0;
  if (faults_.late) m_.link.Note("fault: synchronisation answered late", atUs);
  Answer1(kAck, atUs);
}

void ClassicBsl::OnByte(uint8_t byte, int64_t nowUs) {
  if (started_) return;
  lastByteUs_ = nowUs;
  if (state_ == State::Sync) {
    if (byte != kSync) return;
    AnswerSync(nowUs + kAnswerUs);
    state_ = State::Frame;
    return;
  }
  if (frame_.empty() && byte != kSync) return;  // stray bytes before a header
  frame_.push_back(byte);
  if (frame_.size() == 4 && frame_[2] != frame_[3]) {
    ++m_.record.badFrames;
    m_.link.Note("frame refused: L1 and L2 differ", nowUs);
    frame_.clear();
    state_ = State::Sync;
    faults_ = {};
    Answer1(kNak, nowUs + kAnswerUs);
    return;
  }
  if (frame_.size() >= 4 && frame_.size() == size_t{frame_[2]} + 6u) {
    OnFrame(nowUs);
    return;
  }
  WatchStall(nowUs);
}

void ClassicBsl::WatchStall(int64_t nowUs) {
  if (stallWatched_) return;
  stallWatched_ = true;
  std::weak_ptr<bool> alive = alive_;
  m_.link.At(nowUs + int64_t{p_.frameTimeoutMs} * 1000, [this, alive](int64_t t) {
    if (alive.lock()) OnStall(t);
  });
}

void ClassicBsl::OnStall(int64_t nowUs) {
  stallWatched_ = false;
  if (frame_.empty() || state_ != State::Frame) return;
  int64_t due = lastByteUs_ + int64_t{p_.frameTimeoutMs} * 1000;
  if (due > nowUs) return WatchStall(lastByteUs_);
  if (frame_.size() == 1) {
    // A lone 0x80 that nothing followed was a synchronisation character (its answer was lost).
    frame_.clear();
    AnswerSync(nowUs + kAnswerUs);
    return;
  }
  ++m_.record.badFrames;
  m_.link.Note("incomplete frame dropped", nowUs);
  frame_.clear();
  state_ = State::Sync;
}

void ClassicBsl::OnFrame(int64_t nowUs) {
  std::vector<uint8_t> bytes;
  bytes.swap(frame_);
  state_ = State::Sync;
  size_t n = bytes.size();
  uint16_t sum = ClassicChecksum(std::vector<uint8_t>(bytes.begin(), bytes.end() - 2));
  faults_ = FaultsFor(m_.profile.bootLoaderFaults, ++unit_);
  int64_t at = nowUs + kAnswerUs;
  if (sum != (bytes[n - 2] | bytes[n - 1] << 8) || bytes[2] < 4) {
    patchArmed_ = false;
    ++m_.record.badFrames;
    m_.link.Note("frame refused: bad checksum or length", nowUs);
    Answer1(kNak, at);
    return;
  }
  Command f{bytes[1],
            static_cast<uint32_t>(offset_ * 0x10000 + (bytes[4] | bytes[5] << 8)),
            static_cast<uint16_t>(bytes[4] | bytes[5] << 8),
            bytes[6],
            bytes[7],
            std::vector<uint8_t>(bytes.begin() + 8, bytes.end() - 2)};
  ++m_.record.frames[CommandName(f.command)];
  // The patch covers the one command that follows it, also when that one goes unanswered or
  // is refused: a retry needs the patch again.
  armedForThis_ = patchArmed_;
  patchArmed_ = false;
  if (faults_.silent) return m_.link.Note("fault: frame not answered", nowUs);
  if (faults_.nak) {
    m_.link.Note("fault: frame refused", nowUs);
    return Answer1(kNak, at);
  }
  std::vector<uint8_t> reply;
  int64_t busy = 0;
  Answer answer = Execute(f, nowUs, reply, busy);
  at += busy;
  if (answer == Answer::Ack || answer == Answer::Nak) {
    Answer1(answer == Answer::Ack ? kAck : kNak, at);
  } else if (answer == Answer::Frame) {
    auto size = static_cast<uint8_t>(reply.size());
    std::vector<uint8_t> out(4 + reply.size());
    out[0] = 0x80;
    out[2] = out[3] = size;
    std::copy(reply.begin(), reply.end(), out.begin() + 4);
    uint16_t ck = ClassicChecksum(out);
    if (faults_.badChecksum) ck ^= 0x0001;
    out.push_back(static_cast<uint8_t>(ck));
    out.push_back(static_cast<uint8_t>(ck >> 8));
    SendAnswer(m_.link, m_.profile.bootLoaderFaults, faults_, out, at);
  }
}

ClassicBsl::Answer ClassicBsl::Execute(const Command& f, int64_t nowUs, std::vector<uint8_t>& reply,
                                       int64_t& busyUs) {
  bool locked = !unlocked_;
  switch (f.command) {
    case 0x10:
      return Password(f);
    case 0x12:
      return locked ? Answer::Nak : WriteBlock(f, busyUs);
    case 0x14:
      return locked ? Answer::Nak : ReadBlock(f, reply);
    case 0x16:
      return locked ? Answer::Nak : Erase(f, busyUs);
    case 0x18:
      return MassErase(f, busyUs);
    case 0x1A:
      return locked ? Answer::Nak : LoadPc(f, nowUs);
    case 0x1C: {
      uint16_t count = static_cast<uint16_t>(f.ll | f.lh << 8);
      return !locked && memory_.IsErased(f.address, count) ? Answer::Ack : Answer::Nak;
    }
    case 0x1E:
      if (p_.version < 0x0150) return Answer::Nak;  // older boot loaders: read 0x0FF0 instead
      for (uint32_t a = 0x0FF0; a < 0x1000; ++a) reply.push_back(memory_.Read(a));
      return Answer::Frame;
    case 0x20:
      // A failing session keeps 9600 baud, so that the next session can start there.
      return FailingSession() ? Answer::Nak : ChangeBaud(f, nowUs);
    case 0x21:
      if (p_.version < 0x0212 || f.low != 0 || f.ll > 1) return Answer::Nak;
      offset_ = f.ll;
      return Answer::Ack;
    default:
      return Answer::Nak;
  }
}

ClassicBsl::Answer ClassicBsl::Password(const Command& f) {
  ++m_.record.passwordFrames;
  if (f.data.size() != 32) return Answer::Nak;
  bool right = true;
  for (size_t i = 0; i < 32; ++i) right = right && f.data[i] == memory_.Read(0xFFE0 + i);
  if (right) {
    unlocked_ = m_.record.passwordAccepted = true;
    return Answer::Ack;
  }
  ++m_.record.wrongPasswords;
  if (p_.wrongPassword == WrongPassword::MassErase) {
    memory_.EraseAll(Region::Kind::InfoFlash);
    memory_.EraseAll(Region::Kind::MainFlash);
  }
  // Acknowledged all the same: the protected commands stay refused.
  return Answer::Ack;
}

bool ClassicBsl::FailingSession() const {
  const int session = m_.record.passwordFrames;
  return session >= 1 && session <= m_.profile.bootLoaderFaults.failSessions;
}

bool ClassicBsl::PatchNeeded(uint32_t address, size_t count) const {
  if (p_.version != 0x0110) return false;
  for (size_t i = 0; i < count; ++i)
    if (memory_.IsFlash(address + static_cast<uint32_t>(i))) return !armedForThis_;
  return false;
}

ClassicBsl::Answer ClassicBsl::WriteBlock(const Command& f, int64_t& busyUs) {
  size_t count = f.ll | f.lh << 8;
  if (count == 0 || count != f.data.size() || PatchNeeded(f.address, count)) return Answer::Nak;
  if (FailingSession()) return Answer::Nak;
  for (size_t i = 0; i < count; ++i) {
    const Region* r = memory_.RegionOf(f.address + static_cast<uint32_t>(i));
    if (!r || r->kind == Region::Kind::Rom) return Answer::Nak;
  }
  for (size_t i = 0; i < count; ++i) memory_.Write(f.address + static_cast<uint32_t>(i), f.data[i]);
  if (f.address <= p_.patchAddress && p_.patchAddress < f.address + count) patchLoaded_ = true;
  busyUs = kWriteByteUs * static_cast<int64_t>(count);
  return Answer::Ack;
}

ClassicBsl::Answer ClassicBsl::ReadBlock(const Command& f, std::vector<uint8_t>& reply) {
  size_t count = f.ll | f.lh << 8;
  if (count == 0 || count > kMaxData || PatchNeeded(f.address, count)) return Answer::Nak;
  for (size_t i = 0; i < count; ++i)
    reply.push_back(memory_.Read(f.address + static_cast<uint32_t>(i)));
  return Answer::Frame;
}

ClassicBsl::Answer ClassicBsl::Erase(const Command& f, int64_t& busyUs) {
  if (FailingSession()) return Answer::Nak;
  if (f.ll != 0x02 || f.lh != 0xA5 || !memory_.EraseSegment(f.address)) return Answer::Nak;
  busyUs = kEraseUs;
  return Answer::Ack;
}

ClassicBsl::Answer ClassicBsl::MassErase(const Command& f, int64_t& busyUs) {
  if (f.lh != 0xA5 || (f.ll != 0x06 && f.ll != 0x04)) return Answer::Nak;
  memory_.EraseAll(Region::Kind::MainFlash);
  if (f.ll == 0x06) memory_.EraseAll(Region::Kind::InfoFlash);
  busyUs = kMassEraseUs;
  return Answer::Ack;
}

ClassicBsl::Answer ClassicBsl::LoadPc(const Command& f, int64_t nowUs) {
  uint16_t pc = f.low;
  if (pc >= 0x0C00 && pc <= 0x0FFF) {
    // Into the boot loader's ROM: it starts again, locked, at its first speed.
    m_.link.Note("boot loader restarts at " + HexWord(pc), nowUs);
    unlocked_ = false;
    offset_ = 0;
    return Answer::Ack;
  }
  if (p_.version == 0x0110 && pc == p_.patchAddress && patchLoaded_) {
    patchArmed_ = true;  // the patch runs and returns to the boot loader
    return Answer::Ack;
  }
  started_ = true;
  m_.record.startAddress = HexWord(pc);
  m_.link.Note("program started at " + HexWord(pc), nowUs);
  m_.startProgram(nowUs + 2 * kAnswerUs);
  return Answer::Ack;
}

ClassicBsl::Answer ClassicBsl::ChangeBaud(const Command& f, int64_t nowUs) {
  static const int kBauds[] = {9600, 19200, 38400};
  if (p_.version < 0x0160 || f.ll > 2) return Answer::Nak;
  uint16_t clock = static_cast<uint16_t>(f.low & 0xFF) << 8 | f.low >> 8;  // D1 D2
  int baud = kBauds[f.ll];
  if (p_.baudClock && *p_.baudClock != clock) {
    m_.link.Note("clock settings " + HexWord(clock) + " do not fit this chip", nowUs);
    baud = 1;  // a speed no host uses: the boot loader is lost
  }
  m_.link.Listen({baud, Parity::Even, 8, 1}, nowUs + kAnswerUs + kBaudSwitchUs);
  return Answer::Ack;
}

}  // namespace sim
