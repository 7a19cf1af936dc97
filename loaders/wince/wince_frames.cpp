#include "loaders/wince/wince_frames.h"

#include <algorithm>

#include "loaders/wince/block_check.h"

namespace loaders {
namespace {

constexpr int32_t kFirstShortHeaderVersion = 106;
constexpr int kDosFirstYear = 1980;
constexpr int kDosLastYear = kDosFirstYear + 127;

}  // namespace

std::string BaudCommand(uint32_t bitsPerSecond) {
  return "A.1300#" + std::to_string(bitsPerSecond) + "\r\n";
}

std::string HeaderCommand(bool forced, int32_t instrumentVersion, const std::string& name,
                          uint32_t timeStamp, uint32_t size) {
  const char* command =
      !forced && instrumentVersion >= kFirstShortHeaderVersion ? "A.1201#" : "A.1205#";
  return command + name + "," + std::to_string(timeStamp) + "," + std::to_string(size) + "\r\n";
}

std::string DataFrame(std::span<const uint8_t> data) {
  std::string frame = "D." + std::to_string(data.size()) + ",";
  frame += static_cast<char>(BlockCheckChar(data));
  frame += '#';
  frame.append(data.begin(), data.end());
  return frame;
}

uint32_t DosTimeStamp(std::time_t time) {
  std::tm local{};
  if (!localtime_r(&time, &local)) return 0;
  const int year = local.tm_year + 1900;
  if (year < kDosFirstYear) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (year > kDosLastYear) return 0xFF9FBF7Du;               // 2107-12-31 23:59:58
  const auto field = [](int value, int shift) { return static_cast<uint32_t>(value) << shift; };
  return field(year - kDosFirstYear, 25) | field(local.tm_mon + 1, 21) | field(local.tm_mday, 16) |
         field(local.tm_hour, 11) | field(local.tm_min, 5) |
         field(std::min(local.tm_sec, 59) / 2, 0);
}

}  // namespace loaders
