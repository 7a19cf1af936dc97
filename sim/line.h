// Serial line settings as the simulated instrument sees them, and the wire time of a character.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

enum class Parity { Unknown, None, Even, Odd };

struct LineSettings {
  int baud = 0;
  Parity parity = Parity::Unknown;  // Unknown where the line cannot tell (a pty keeps no parity)
  int dataBits = 0;                 // 0 = unknown
  int stopBits = 0;                 // 0 = unknown; never compared (see Matches)
};

// Whether a receiver listening with `listen` takes characters sent with `host`. Stop bits are
// not compared: a receiver set for one stop bit takes characters sent with two. Parity and data
// bits are compared only when both sides know them and checkFormat is set.
bool Matches(const LineSettings& listen, const LineSettings& host, bool checkFormat);

// Microseconds one character takes on the wire: 11 bits (8E1 and 8N2 alike).
int64_t CharTimeUs(int baud);

std::string Describe(const LineSettings& line);

}  // namespace sim
