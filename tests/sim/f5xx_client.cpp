#include "tests/sim/f5xx_client.h"

namespace simtest {

uint16_t F5xxClient::Crc(const std::vector<uint8_t>& core) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : core)
    for (int bit = 7; bit >= 0; --bit) {
      bool top = (crc >> 15) ^ ((byte >> bit) & 1);
      crc = static_cast<uint16_t>(crc << 1);
      if (top) crc ^= 0x1021;
    }
  return crc;
}

std::vector<uint8_t> F5xxClient::Frame(const std::vector<uint8_t>& core) {
  std::vector<uint8_t> f;
  f.reserve(core.size() + 5);
  f.push_back(0x80);
  f.push_back(static_cast<uint8_t>(core.size()));
  f.push_back(static_cast<uint8_t>(core.size() >> 8));
  f.insert(f.end(), core.begin(), core.end());
  uint16_t crc = Crc(core);
  f.push_back(static_cast<uint8_t>(crc));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

std::vector<uint8_t> F5xxClient::WithAddress(uint8_t command, uint32_t address) {
  return {command, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8),
          static_cast<uint8_t>(address >> 16)};
}

F5xxClient::Answer F5xxClient::Send(const std::vector<uint8_t>& core, bool response) {
  line_.Write(Frame(core));
  return ReadAnswer(response);
}

F5xxClient::Answer F5xxClient::ReadAnswer(bool response) {
  Answer a;
  auto ack = line_.Read(1, timeoutMs_);
  if (ack.empty()) return a;
  a.ack = ack[0];
  if (a.ack != 0 || !response) return a;
  auto head = line_.Read(3, timeoutMs_);
  if (head.size() != 3 || head[0] != 0x80) return a;
  size_t n = head[1] | head[2] << 8;
  auto rest = line_.Read(n + 2, timeoutMs_);
  if (rest.size() != n + 2 || n == 0) return a;
  std::vector<uint8_t> core(rest.begin(), rest.end() - 2);
  if (Crc(core) != (rest[n] | rest[n + 1] << 8)) {
    a.kind = -2;
    return a;
  }
  a.kind = core[0];
  a.data.assign(core.begin() + 1, core.end());
  return a;
}

F5xxClient::Answer F5xxClient::Password(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> core{0x11};
  core.insert(core.end(), bytes.begin(), bytes.end());
  return Send(core);
}

F5xxClient::Answer F5xxClient::Write(uint32_t address, const std::vector<uint8_t>& data) {
  auto core = WithAddress(0x10, address);
  core.insert(core.end(), data.begin(), data.end());
  return Send(core);
}

F5xxClient::Answer F5xxClient::Read(uint32_t address, uint16_t count) {
  auto core = WithAddress(0x18, address);
  core.push_back(static_cast<uint8_t>(count));
  core.push_back(static_cast<uint8_t>(count >> 8));
  return Send(core);
}

std::vector<uint8_t> F5xxPassword(uint16_t resetVector) {
  std::vector<uint8_t> v(32, 0xFF);
  v[30] = static_cast<uint8_t>(resetVector);
  v[31] = static_cast<uint8_t>(resetVector >> 8);
  return v;
}

}  // namespace simtest
