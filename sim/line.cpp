#include "sim/line.h"

namespace sim {

bool Matches(const LineSettings& listen, const LineSettings& host, bool checkFormat) {
  if (listen.baud <= 0 || listen.baud != host.baud) return false;
  if (!checkFormat) return true;
  if (listen.parity != Parity::Unknown && host.parity != Parity::Unknown &&
      listen.parity != host.parity)
    return false;
  if (listen.dataBits != 0 && host.dataBits != 0 && listen.dataBits != host.dataBits) return false;
  return true;
}

int64_t CharTimeUs(int baud) {
  return baud > 0 ? (11 * 1000000LL + baud - 1) / baud : 0;
}

std::string Describe(const LineSettings& line) {
  std::string s = std::to_string(line.baud);
  if (line.dataBits) s += " " + std::to_string(line.dataBits);
  switch (line.parity) {
    case Parity::None:
      s += "N";
      break;
    case Parity::Even:
      s += "E";
      break;
    case Parity::Odd:
      s += "O";
      break;
    case Parity::Unknown:
      s += "?";
      break;
  }
  if (line.stopBits) s += std::to_string(line.stopBits);
  return s;
}

}  // namespace sim
