#include "sim/basic_loader.h"

#include <cctype>
#include <cstdio>

namespace sim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Address bytes by record type; 0 for a type that does not exist (S4).
int AddressBytes(int type) {
  static constexpr int kBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  return type >= 0 && type <= 9 ? kBytes[type] : 0;
}

bool IsData(int type) {
  return type >= 1 && type <= 3;
}

bool IsEnd(int type) {
  return type >= 7 && type <= 9;
}

constexpr int64_t kLineGapUs = 20000;        // between two announcement lines
constexpr int64_t kBankEraseUs = 300000;     // erasing one flash bank
constexpr int64_t kProgramStartUs = 100000;  // from the last text to the new firmware

}  // namespace

std::optional<SRecord> ParseSRecord(const std::string& line) {
  if (line.size() < 4 || (line[0] != 'S' && line[0] != 's') || !std::isdigit(line[1]))
    return std::nullopt;
  SRecord record;
  record.type = line[1] - '0';
  const int addressBytes = AddressBytes(record.type);
  if (addressBytes == 0 || line.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 2; i < line.size(); i += 2) {
    const int high = HexValue(line[i]);
    const int low = HexValue(line[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  // The count covers address, data and checksum.
  if (bytes[0] + 1u != bytes.size() || bytes[0] < addressBytes + 1) return std::nullopt;
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
  if (static_cast<uint8_t>(~sum) != bytes.back()) return std::nullopt;
  for (int i = 0; i < addressBytes; ++i) record.address = record.address << 8 | bytes[1 + i];
  record.data.assign(bytes.begin() + 1 + addressBytes, bytes.end() - 1);
  return record;
}

BasicLoader::BasicLoader(Machine& machine, int64_t nowUs)
    : m_(machine), p_(machine.profile.bootLoader) {
  m_.link.Listen(LineSettings{kBaud, Parity::None, 8, 1}, nowUs);
  OnHostLine(nowUs);
}

void BasicLoader::OnHostLine(int64_t nowUs) {
  if (state_ != State::WaitHost || m_.link.HostLine().baud != kBaud) return;
  state_ = State::Records;
  m_.link.Note("host line at " + std::to_string(kBaud) + ": announcing", nowUs);
  Announce(nowUs + int64_t{p_.startMs} * 1000);
}

void BasicLoader::SendLine(const std::string& text, int64_t atUs) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back('\r');
  bytes.push_back('\n');
  m_.link.Send(bytes, atUs);
}

void BasicLoader::Announce(int64_t atUs) {
  SendLine("Basic-Loader / " + p_.basicVersion, atUs);
  // The flash is erased while the texts say so; the old firmware is gone afterwards.
  m_.memory->EraseAll(Region::Kind::MainFlash);
  int64_t t = atUs + kLineGapUs;
  for (int bank = 1; bank <= p_.flashBanks; ++bank) {
    SendLine("Erasing Flash-Memory (" + std::to_string(bank) + ") !", t);
    t += kBankEraseUs;
    const bool last = bank == p_.flashBanks;
    SendLine(last ? "Flash-Memory erased !" : "Flash-Memory (1/2) erased !", t);
    t += kLineGapUs;
  }
  SendLine("Waiting for S-Record !", t);
}

void BasicLoader::OnByte(uint8_t byte, int64_t nowUs) {
  if (state_ != State::Records) return;
  if (byte == '\n' || byte == '\r') {
    const std::string line = line_;
    line_.clear();
    if (!line.empty()) OnLine(line, nowUs);
    return;
  }
  if (line_.size() >= kMaxLine) {
    Defect(nowUs);
    return;
  }
  line_ += static_cast<char>(byte);
}

void BasicLoader::OnLine(const std::string& line, int64_t nowUs) {
  const std::optional<SRecord> record = ParseSRecord(line);
  if (!record || !Store(*record)) {
    Defect(nowUs);
    return;
  }
  ++m_.record.frames["S" + std::to_string(record->type)];
  if (!IsEnd(record->type)) return;
  state_ = State::Stopped;
  const int64_t at = nowUs + int64_t{m_.profile.answerDelayMs} * 1000;
  if (p_.programmedBytes) {
    m_.link.Send({0xA1, 0x48, 0x20, 0x14}, at);
  } else {
    SendLine("Flash-Memory programmed", at);
  }
  char address[16];
  std::snprintf(address, sizeof address, "0x%X", static_cast<unsigned>(record->address));
  m_.record.startAddress = address;
  m_.startProgram(m_.link.OutputEndUs() + kProgramStartUs);
}

bool BasicLoader::Store(const SRecord& record) {
  if (!IsData(record.type)) return true;
  for (size_t i = 0; i < record.data.size(); ++i) {
    if (!m_.memory->IsFlash(record.address + static_cast<uint32_t>(i))) return false;
  }
  for (size_t i = 0; i < record.data.size(); ++i)
    m_.memory->Write(record.address + static_cast<uint32_t>(i), record.data[i]);
  return true;
}

void BasicLoader::Defect(int64_t nowUs) {
  state_ = State::Stopped;
  ++m_.record.badFrames;
  m_.link.Note("defective record: the loader stops", nowUs);
  SendLine(p_.defectText, nowUs + int64_t{m_.profile.answerDelayMs} * 1000);
}

}  // namespace sim
