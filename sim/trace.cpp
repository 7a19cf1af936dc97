#include "sim/trace.h"

#include <cstdio>

namespace sim {

std::string FormatTrace(const TraceEvent& e) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%12.3f ms  ", static_cast<double>(e.us) / 1000.0);
  std::string line = buf;
  switch (e.kind) {
    case TraceEvent::Kind::ToInstrument:
      line += "host->sim ";
      break;
    case TraceEvent::Kind::Ignored:
      line += "ignored   ";
      break;
    case TraceEvent::Kind::ToHost:
      line += "sim->host ";
      break;
    case TraceEvent::Kind::Note:
      return line + "--        " + e.text + "\n";
  }
  std::string hex, text;
  for (uint8_t b : e.bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", b);
    hex += buf;
    if (b == '\r')
      text += "\\r";
    else if (b == '\n')
      text += "\\n";
    else if (b >= 0x20 && b < 0x7F)
      text += static_cast<char>(b);
    else
      text += '.';
  }
  line += hex + " |" + text + "|";
  if (!e.text.empty()) line += "  (" + e.text + ")";
  return line + "\n";
}

}  // namespace sim
