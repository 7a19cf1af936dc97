#include "sim/record.h"

#include <algorithm>
#include <cstdio>

#include "sim/memory.h"

namespace sim {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\')
      out += '\\', out += static_cast<char>(c);
    else if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    }
  }
  return out + "\"";
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "\"0x%04X\"", v);
  return buf;
}

uint32_t Crc32(const std::vector<uint8_t>& data) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// The value below which the share q of values lies (0.5: the median, 1: the largest).
int64_t Quantile(std::vector<int64_t> values, double q) {
  if (values.empty()) return 0;
  const size_t at = std::min(values.size() - 1, static_cast<size_t>(q * values.size()));
  std::nth_element(values.begin(), values.begin() + at, values.end());
  return values[at];
}

std::string TimeJson(const BootLoaderTime& t) {
  return "{\"phase_us\": " + std::to_string(t.endUs - t.startUs) +
         ", \"own_us\": " + std::to_string(t.ownUs) + ", \"wire_us\": " + std::to_string(t.wireUs) +
         ", \"host_gap_us\": " + std::to_string(t.gapUs) +
         ", \"host_gaps\": " + std::to_string(t.gaps) +
         ", \"host_gap_median_us\": " + std::to_string(Quantile(t.gapList, 0.5)) +
         ", \"host_gap_p99_us\": " + std::to_string(Quantile(t.gapList, 0.99)) +
         ", \"host_gap_max_us\": " + std::to_string(Quantile(t.gapList, 1)) +
         ", \"wait_us\": " + std::to_string(t.waitUs) + ", \"waits\": " + std::to_string(t.waits) +
         "}";
}

}  // namespace

int Record::Count(const std::string& command) const {
  int n = 0;
  for (const auto& c : commands)
    if (c.substr(0, c.find('#')) == command) ++n;
  return n;
}

std::string ToJson(const Record& r, const std::string& mode, const Memory* memory) {
  std::string j = "{\n  \"mode\": " + Quote(mode) + ",\n  \"commands\": [";
  for (size_t i = 0; i < r.commands.size(); ++i) j += (i ? ", " : "") + Quote(r.commands[i]);
  j += "],\n  \"clock\": " + Quote(r.clock) + ",\n  \"clock_sets\": " + std::to_string(r.clockSets);
  j += ",\n  \"air_pressure\": " + Quote(r.airPressure) + ",\n  \"files\": [";
  for (size_t i = 0; i < r.files.size(); ++i) {
    const auto& f = r.files[i];
    char crc[16];
    std::snprintf(crc, sizeof crc, "\"%08X\"", Crc32(f.data));
    j += std::string(i ? ", " : "") + "{\"name\": " + Quote(f.name) +
         ", \"path\": " + Quote(f.path) + ", \"size\": " + std::to_string(f.data.size()) +
         ", \"crc32\": " + crc + ", \"complete\": " + (f.complete ? "true" : "false") +
         ", \"time_stamp\": " + std::to_string(f.timeStamp) + "}";
  }
  j += "],\n  \"ignored_bytes\": " + std::to_string(r.ignoredBytes);
  j += ",\n  \"bootloader_entries\": " + std::to_string(r.bootLoaderEntries);
  j += ",\n  \"program_starts\": " + std::to_string(r.programStarts);
  j += ",\n  \"prompts_after_program\": " + std::to_string(r.promptsAfterProgram);
  j += ",\n  \"start_address\": " + Quote(r.startAddress) + ",\n  \"frames\": {";
  bool first = true;
  for (const auto& [name, n] : r.frames) {
    j += (first ? "" : ", ") + Quote(name) + ": " + std::to_string(n);
    first = false;
  }
  j += "},\n  \"bad_frames\": " + std::to_string(r.badFrames);
  j += std::string(",\n  \"password_accepted\": ") + (r.passwordAccepted ? "true" : "false");
  j += ",\n  \"wrong_passwords\": " + std::to_string(r.wrongPasswords);
  j += std::string(",\n  \"disconnected\": ") + (r.disconnected ? "true" : "false");
  if (r.bootLoaderTime.seen) j += ",\n  \"boot_loader_time\": " + TimeJson(r.bootLoaderTime);
  if (memory) {
    j += ",\n  \"flash\": [";
    auto ranges = memory->ProgrammedRanges();
    for (size_t i = 0; i < ranges.size(); ++i)
      j += (i ? ", " : "") + std::string("[") + Hex(ranges[i].first) + ", " +
           Hex(ranges[i].second) + "]";
    j += "],\n  \"reset_vector\": " + Hex(memory->Word(0xFFFE));
  }
  return j + "\n}\n";
}

}  // namespace sim
