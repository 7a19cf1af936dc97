// The test's side of the line: opens a COMn link like any serial program, sets its speed and
// exchanges bytes with deadlines. Its own small code, independent of the product's port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

class SerialClient {
 public:
  explicit SerialClient(const std::string& path, int baud = 9600);
  ~SerialClient();

  bool IsOpen() const { return fd_ >= 0; }
  bool SetBaud(int baud);
  void Write(const std::string& bytes);
  void Write(const std::vector<uint8_t>& bytes);
  // One line up to and including "\r\n" (returned without it); "" after timeoutMs.
  std::string ReadLine(int timeoutMs = 3000);
  // Exactly count bytes, or fewer when timeoutMs passes.
  std::vector<uint8_t> Read(size_t count, int timeoutMs = 3000);
  // Whatever arrives within ms.
  std::vector<uint8_t> ReadFor(int ms);

 private:
  int fd_ = -1;
  std::vector<uint8_t> buffer_;
};

// Inline: the in-process tests use it without the client.
inline std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

}  // namespace simtest
