#include "tests/sim/ti_txt.h"

#include <sstream>

namespace simtest {

bool ParseTiTxt(const std::string& text, std::map<uint32_t, uint8_t>& bytes) {
  std::stringstream in(text);
  std::string token;
  uint32_t address = 0;
  bool started = false;
  while (in >> token) {
    if (token == "q") return started;
    if (token[0] == '@') {
      address = static_cast<uint32_t>(std::stoul(token.substr(1), nullptr, 16));
      started = true;
    } else if (token.size() == 2 && started) {
      bytes[address++] = static_cast<uint8_t>(std::stoul(token, nullptr, 16));
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace simtest
