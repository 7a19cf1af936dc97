#include "sim/wince_receiver.h"

#include <algorithm>
#include <cstdlib>

#include "sim/normal_mode.h"

namespace sim {
namespace {

constexpr size_t kMaxBlock = 2000;
constexpr size_t kMaxFile = 3000000;

bool ParseDecimal(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 12 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value <= limit;
}

}  // namespace

uint8_t WinCeCheck(const std::vector<uint8_t>& data) {
  unsigned crc = 0xFF;
  for (uint8_t byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool top = ((crc >> 7) ^ (byte >> bit)) & 1;
      crc = (crc << 1) & 0xFF;
      if (top) crc ^= 0x1D;
    }
  }
  if (crc == 0) crc = 1;
  if (crc == 'D' || crc == ',' || crc == '#') ++crc;
  return static_cast<uint8_t>(crc);
}

WinCeReceiver::Answer WinCeReceiver::Ack() const {
  return {m_.profile.prompt, 0};
}

std::optional<WinCeReceiver::Answer> WinCeReceiver::Command(const std::string& command,
                                                            const std::string& argument) {
  if (command == "A.1300") {
    uint64_t baud = 0;
    if (!ParseDecimal(argument, 4000000, baud) || baud < 50) return Answer{"?", 0};
    return Answer{m_.profile.prompt, static_cast<int>(baud)};
  }
  if (command == "A.1201" || command == "A.1205") return Announce(argument);
  if (command == "A.1202") return Close();
  if (command == "A.1203") {
    if (open_) {
      m_.record.files.push_back(file_);  // an unclosed file is kept as incomplete
      open_ = false;
    }
    return Ack();
  }
  return std::nullopt;
}

WinCeReceiver::Answer WinCeReceiver::Announce(const std::string& argument) {
  // name,stamp,size: the name may hold commas, the two numbers never.
  const size_t sizeComma = argument.rfind(',');
  const size_t stampComma = sizeComma == std::string::npos || sizeComma == 0
                                ? std::string::npos
                                : argument.rfind(',', sizeComma - 1);
  uint64_t stamp = 0, size = 0;
  if (stampComma == std::string::npos ||
      !ParseDecimal(argument.substr(stampComma + 1, sizeComma - stampComma - 1), 0xFFFFFFFF,
                    stamp) ||
      !ParseDecimal(argument.substr(sizeComma + 1), kMaxFile, size))
    return {"?", 0};
  const std::string name = argument.substr(0, stampComma);
  const std::string path = SafeRelativePath(name);
  if (path.empty() || name.size() > 255) return {"?", 0};
  const auto& holds = m_.profile.wince.holds;
  if (std::find(holds.begin(), holds.end(), name) != holds.end())
    return {m_.profile.marker + "260", 0};
  if (open_) m_.record.files.push_back(file_);  // announced anew: the old one stays incomplete
  file_ = ReceivedFile{name, path, {}, false, static_cast<uint32_t>(stamp)};
  announcedSize_ = static_cast<size_t>(size);
  open_ = true;
  return Ack();
}

WinCeReceiver::Answer WinCeReceiver::Close() {
  if (!open_) return {"?", 0};
  open_ = false;
  file_.complete = file_.data.size() == announcedSize_;
  m_.record.files.push_back(file_);
  if (file_.complete && m_.fileDone) m_.fileDone(file_);
  return file_.complete ? Ack() : Answer{"?", 0};
}

std::optional<WinCeReceiver::Answer> WinCeReceiver::FrameByte(uint8_t byte) {
  switch (part_) {
    case Part::Count:
      if (byte == ',') {
        uint64_t n = 0;
        if (!ParseDecimal(count_, kMaxBlock, n)) break;
        size_ = static_cast<size_t>(n);
        part_ = Part::Check;
        return std::nullopt;
      }
      if (count_.size() > 8) break;
      count_ += static_cast<char>(byte);
      return std::nullopt;
    case Part::Check:
      check_ = byte;
      part_ = Part::Hash;
      return std::nullopt;
    case Part::Hash:
      if (byte != '#') break;
      part_ = Part::Data;
      block_.clear();
      if (size_ == 0) return BlockDone();
      return std::nullopt;
    case Part::Data:
      block_.push_back(byte);
      if (block_.size() == size_) return BlockDone();
      return std::nullopt;
  }
  // Not a block after all: refused, and the line starts afresh.
  part_ = Part::Count;
  count_.clear();
  return Answer{"?", 0};
}

WinCeReceiver::Answer WinCeReceiver::BlockDone() {
  part_ = Part::Count;
  count_.clear();
  m_.record.commands.push_back("D.<" + std::to_string(block_.size()) + " bytes>");
  // A listed block arrives damaged the first time only: its repetition is taken.
  const bool damaged = damagedLeft_.erase(blocks_ + 1) > 0;
  if (damaged || WinCeCheck(block_) != check_) {
    m_.record.badFrames++;
    return {m_.profile.marker + "261#" + m_.profile.wince.badBlockAnswer, 0};
  }
  if (!open_ || file_.data.size() + block_.size() > announcedSize_) return {"?", 0};
  file_.data.insert(file_.data.end(), block_.begin(), block_.end());
  ++blocks_;
  return Ack();
}

}  // namespace sim
