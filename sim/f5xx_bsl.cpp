#include "sim/f5xx_bsl.h"

#include <array>
#include <cstdio>

namespace sim {
namespace {

constexpr int64_t kAnswerUs = 1000;
constexpr int64_t kEraseUs = 15000;
constexpr int64_t kMassEraseUs = 100000;
constexpr int64_t kWriteByteUs = 35;
constexpr int64_t kBaudSwitchUs = 10000;
constexpr size_t kBuffer = 260;   // the boot loader's receive buffer: the largest core
constexpr size_t kMaxRead = 254;  // data of one response: its length must fit NL
constexpr uint32_t kInfoA = 0x1980;

const std::array<uint16_t, 256>& CrcTable() {
  static const std::array<uint16_t, 256> table = [] {
    std::array<uint16_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      uint16_t c = static_cast<uint16_t>(i << 8);
      for (int b = 0; b < 8; ++b) c = static_cast<uint16_t>(c & 0x8000 ? c << 1 ^ 0x1021 : c << 1);
      t[i] = c;
    }
    return t;
  }();
  return table;
}

const char* CommandName(uint8_t command) {
  switch (command) {
    case 0x10:
      return "rx_data_block";
    case 0x11:
      return "rx_password";
    case 0x12:
      return "erase_segment";
    case 0x13:
      return "toggle_info_lock";
    case 0x15:
      return "mass_erase";
    case 0x16:
      return "crc_check";
    case 0x17:
      return "load_pc";
    case 0x18:
      return "tx_data_block";
    case 0x19:
      return "tx_bsl_version";
    case 0x52:
      return "change_baud_rate";
    default:
      return "unknown";
  }
}

uint32_t Address3(const std::vector<uint8_t>& core) {
  return core[1] | core[2] << 8 | core[3] << 16;
}

}  // namespace

uint16_t Crc16Ccitt(const uint8_t* data, size_t size, uint16_t crc) {
  for (size_t i = 0; i < size; ++i)
    crc = static_cast<uint16_t>(crc << 8 ^ CrcTable()[(crc >> 8 ^ data[i]) & 0xFF]);
  return crc;
}

F5xxBsl::F5xxBsl(Machine& machine, int64_t nowUs)
    : m_(machine), p_(machine.profile.bootLoader), memory_(*machine.memory) {
  m_.link.Listen({9600, Parity::Even, 8, 1}, nowUs);
  m_.link.Note("F5xx boot loader", nowUs);
}

void F5xxBsl::OnByte(uint8_t byte, int64_t nowUs) {
  if (started_) return;
  lastByteUs_ = nowUs;
  if (discarding_) return WatchStall(nowUs);
  if (frame_.empty() && byte != 0x80) {
    faults_ = {};
    Reply({kHeaderError, false, {}, 0}, nowUs + kAnswerUs);
    return;
  }
  frame_.push_back(byte);
  if (frame_.size() == 3) {
    size_t n = frame_[1] | frame_[2] << 8;
    if (n == 0 || n > kBuffer) {
      ++m_.record.badFrames;
      faults_ = {};
      Reply({n == 0 ? kSizeZero : kTooLong, false, {}, 0}, nowUs + kAnswerUs);
      frame_.clear();
      discarding_ = n != 0;
      if (discarding_) WatchStall(nowUs);
      return;
    }
  }
  if (frame_.size() >= 3 && frame_.size() == size_t(frame_[1] | frame_[2] << 8) + 5u) {
    OnFrame(nowUs);
    return;
  }
  WatchStall(nowUs);
}

void F5xxBsl::WatchStall(int64_t nowUs) {
  if (stallWatched_) return;
  stallWatched_ = true;
  std::weak_ptr<bool> alive = alive_;
  m_.link.At(nowUs + int64_t{p_.frameTimeoutMs} * 1000, [this, alive](int64_t t) {
    if (alive.lock()) OnStall(t);
  });
}

void F5xxBsl::OnStall(int64_t nowUs) {
  stallWatched_ = false;
  if (frame_.empty() && !discarding_) return;
  if (lastByteUs_ + int64_t{p_.frameTimeoutMs} * 1000 > nowUs) return WatchStall(lastByteUs_);
  if (!frame_.empty()) {
    ++m_.record.badFrames;
    m_.link.Note("incomplete frame dropped", nowUs);
  }
  frame_.clear();
  discarding_ = false;
}

void F5xxBsl::OnFrame(int64_t nowUs) {
  std::vector<uint8_t> bytes;
  bytes.swap(frame_);
  size_t n = bytes.size() - 5;
  std::vector<uint8_t> core(bytes.begin() + 3, bytes.end() - 2);
  uint16_t crc = static_cast<uint16_t>(bytes[n + 3] | bytes[n + 4] << 8);
  faults_ = FaultsFor(m_.profile.bootLoaderFaults, ++unit_);
  int64_t at = nowUs + kAnswerUs;
  if (Crc16Ccitt(core.data(), core.size()) != crc) {
    ++m_.record.badFrames;
    m_.link.Note("frame refused: CRC", nowUs);
    return Reply({kCrcError, false, {}, 0}, at);
  }
  ++m_.record.frames[CommandName(core[0])];
  if (faults_.silent) return m_.link.Note("fault: frame not answered", nowUs);
  if (faults_.nak) {
    m_.link.Note("fault: frame refused", nowUs);
    return Reply({kCrcError, false, {}, 0}, at);
  }
  Reply(Execute(core, nowUs), at);
}

// A repeated answer repeats the acknowledgement together with its response.
void F5xxBsl::Reply(const Result& r, int64_t atUs) {
  UnitFaults once = faults_;
  once.duplicate = false;
  if (faults_.duplicate) {
    UnitFaults first = once;
    first.disconnect = false;
    SendReply(r, atUs, first);
    once.noise = false;
  }
  SendReply(r, atUs, once);
}

void F5xxBsl::SendReply(const Result& r, int64_t atUs, const UnitFaults& faults) {
  UnitFaults first = faults, last = faults;
  first.disconnect = first.disconnect && !r.respond;
  last.noise = false;
  SendAnswer(m_.link, m_.profile.bootLoaderFaults, first, {r.ack}, atUs);
  if (!r.respond || r.ack != kAck) return;
  std::vector<uint8_t> out(3 + r.core.size());
  out[0] = 0x80;
  out[1] = static_cast<uint8_t>(r.core.size());
  out[2] = static_cast<uint8_t>(r.core.size() >> 8);
  std::copy(r.core.begin(), r.core.end(), out.begin() + 3);
  uint16_t crc = Crc16Ccitt(r.core.data(), r.core.size());
  if (faults.badChecksum) crc ^= 0x0001;
  out.push_back(static_cast<uint8_t>(crc));
  out.push_back(static_cast<uint8_t>(crc >> 8));
  SendAnswer(m_.link, m_.profile.bootLoaderFaults, last, out, atUs + r.busyUs);
}

F5xxBsl::Result F5xxBsl::Status(uint8_t status, int64_t busyUs) {
  return {kAck, true, {0x3B, status}, busyUs};
}

F5xxBsl::Result F5xxBsl::Execute(const std::vector<uint8_t>& core, int64_t nowUs) {
  uint8_t command = core[0];
  size_t n = core.size();
  bool withAddress =
      command == 0x10 || command == 0x12 || command == 0x16 || command == 0x17 || command == 0x18;
  if (withAddress && n < 4) return Status(kUnknownCommand);
  uint32_t address = withAddress ? Address3(core) : 0;
  bool locked = !unlocked_;
  switch (command) {
    case 0x10:
      if (locked) return Status(kLocked);
      return WriteBlock(address, std::vector<uint8_t>(core.begin() + 4, core.end()));
    case 0x11:
      return Password(std::vector<uint8_t>(core.begin() + 1, core.end()));
    case 0x12:
      return locked ? Status(kLocked) : Erase(address);
    case 0x13:
      if (locked) return Status(kLocked);
      infoALocked_ = !infoALocked_;
      return Status(kOk);
    case 0x15:
      memory_.EraseAll(Region::Kind::MainFlash);
      return Status(kOk, kMassEraseUs);
    case 0x16: {
      if (locked) return Status(kLocked);
      if (n != 6) return Status(kUnknownCommand);
      std::vector<uint8_t> bytes;
      for (uint32_t a = address; a < address + (core[4] | core[5] << 8); ++a)
        bytes.push_back(memory_.Read(a));
      uint16_t crc = Crc16Ccitt(bytes.data(), bytes.size());
      return {kAck, true, {0x3A, static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)}, 0};
    }
    case 0x17:
      return locked ? Status(kLocked) : LoadPc(address, nowUs);
    case 0x18:
      if (locked) return Status(kLocked);
      if (n != 6) return Status(kUnknownCommand);
      return ReadBlock(address, core[4] | core[5] << 8);
    case 0x19: {
      Result r{kAck, true, {0x3A}, 0};
      r.core.insert(r.core.end(), p_.versionBytes.begin(), p_.versionBytes.end());
      return r;
    }
    case 0x52:
      return n == 2 ? ChangeBaud(core[1], nowUs) : Status(kUnknownCommand);
    default:
      return Status(kUnknownCommand);
  }
}

F5xxBsl::Result F5xxBsl::Password(const std::vector<uint8_t>& data) {
  ++m_.record.passwordFrames;
  size_t size = static_cast<size_t>(p_.passwordBytes);
  bool right = data.size() == size;
  for (size_t i = 0; right && i < size; ++i)
    right = data[i] == memory_.Read(static_cast<uint32_t>(0x10000 - size + i));
  if (right) {
    unlocked_ = m_.record.passwordAccepted = true;
    return Status(kOk);
  }
  ++m_.record.wrongPasswords;
  memory_.EraseAll(Region::Kind::MainFlash);
  return Status(kPasswordError, kMassEraseUs);
}

bool F5xxBsl::Protected(uint32_t address) const {
  return infoALocked_ && address >= kInfoA && address < kInfoA + 0x80;
}

F5xxBsl::Result F5xxBsl::WriteBlock(uint32_t address, const std::vector<uint8_t>& data) {
  if (m_.record.passwordFrames >= 1 &&
      m_.record.passwordFrames <= m_.profile.bootLoaderFaults.failSessions)
    return Status(kWriteCheck);
  for (size_t i = 0; i < data.size(); ++i) {
    auto a = address + static_cast<uint32_t>(i);
    const Region* r = memory_.RegionOf(a);
    if (!r || r->kind == Region::Kind::Rom || Protected(a)) return Status(kWriteCheck);
  }
  for (size_t i = 0; i < data.size(); ++i)
    memory_.Write(address + static_cast<uint32_t>(i), data[i]);
  return Status(kOk, kWriteByteUs * static_cast<int64_t>(data.size()));
}

F5xxBsl::Result F5xxBsl::Erase(uint32_t address) {
  if (m_.record.passwordFrames >= 1 &&
      m_.record.passwordFrames <= m_.profile.bootLoaderFaults.failSessions)
    return Status(kFailBit);
  if (Protected(address) || !memory_.EraseSegment(address)) return Status(kFailBit);
  return Status(kOk, kEraseUs);
}

F5xxBsl::Result F5xxBsl::ReadBlock(uint32_t address, size_t count) {
  if (count == 0 || count > kMaxRead) return Status(kPacketTooLong);
  Result r{kAck, true, {0x3A}, 0};
  for (size_t i = 0; i < count; ++i)
    r.core.push_back(memory_.Read(address + static_cast<uint32_t>(i)));
  return r;
}

F5xxBsl::Result F5xxBsl::LoadPc(uint32_t address, int64_t nowUs) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", address);
  started_ = true;
  m_.record.startAddress = text;
  m_.link.Note(std::string("program started at ") + text, nowUs);
  m_.startProgram(nowUs + 2 * kAnswerUs);
  return {kAck, false, {}, 0};
}

F5xxBsl::Result F5xxBsl::ChangeBaud(uint8_t code, int64_t nowUs) {
  static const int kBauds[] = {9600, 19200, 38400, 57600, 115200};
  if (code < 2 || code > 6) return {kBadBaud, false, {}, 0};
  m_.link.Listen({kBauds[code - 2], Parity::Even, 8, 1}, nowUs + kAnswerUs + kBaudSwitchUs);
  return {kAck, false, {}, 0};
}

}  // namespace sim
