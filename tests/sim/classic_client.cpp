#include "tests/sim/classic_client.h"

namespace simtest {

uint16_t ClassicClient::Checksum(const std::vector<uint8_t>& frame) {
  uint16_t x = 0;
  for (size_t i = 0; i < frame.size(); i += 2)
    x ^= static_cast<uint16_t>(frame[i] | (i + 1 < frame.size() ? frame[i + 1] << 8 : 0));
  return static_cast<uint16_t>(~x);
}

std::vector<uint8_t> ClassicClient::Frame(uint8_t command, uint16_t address, uint8_t ll, uint8_t lh,
                                          const std::vector<uint8_t>& payload) {
  auto l = static_cast<uint8_t>(4 + payload.size());
  std::vector<uint8_t> f;
  f.reserve(10 + payload.size());
  for (uint8_t b : {uint8_t{0x80}, command, l, l, static_cast<uint8_t>(address),
                    static_cast<uint8_t>(address >> 8), ll, lh})
    f.push_back(b);
  f.insert(f.end(), payload.begin(), payload.end());
  uint16_t ck = Checksum(f);
  f.push_back(static_cast<uint8_t>(ck));
  f.push_back(static_cast<uint8_t>(ck >> 8));
  return f;
}

int ClassicClient::Sync() {
  line_.Write({0x80});
  auto b = line_.Read(1, timeoutMs_);
  return b.empty() ? kNone : b[0];
}

int ClassicClient::Command(uint8_t command, uint16_t address, uint8_t ll, uint8_t lh,
                           const std::vector<uint8_t>& payload, std::vector<uint8_t>* reply) {
  int sync = Sync();
  if (sync != kAck) return sync;
  line_.Write(Frame(command, address, ll, lh, payload));
  return Answer(reply);
}

int ClassicClient::Answer(std::vector<uint8_t>* reply) {
  auto first = line_.Read(1, timeoutMs_);
  if (first.empty()) return kNone;
  if (first[0] != 0x80) return first[0];
  auto head = line_.Read(3, timeoutMs_);
  if (head.size() != 3 || head[1] != head[2]) return kBadFrame;
  auto rest = line_.Read(size_t{head[1]} + 2, timeoutMs_);
  if (rest.size() != size_t{head[1]} + 2) return kBadFrame;
  std::vector<uint8_t> frame{0x80, head[0], head[1], head[2]};
  frame.insert(frame.end(), rest.begin(), rest.end() - 2);
  uint16_t ck = static_cast<uint16_t>(rest[rest.size() - 2] | rest.back() << 8);
  if (Checksum(frame) != ck) return kBadFrame;
  if (reply) reply->assign(frame.begin() + 4, frame.end());
  return kFrame;
}

std::vector<uint8_t> VectorsWithReset(uint16_t resetVector) {
  std::vector<uint8_t> v(32, 0xFF);
  v[30] = static_cast<uint8_t>(resetVector);
  v[31] = static_cast<uint8_t>(resetVector >> 8);
  return v;
}

}  // namespace simtest
