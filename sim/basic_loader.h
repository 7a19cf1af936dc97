// The text-mode "Basic-Loader" on the target side: announces itself and its erasing as lines of
// text at 19200 baud, takes the firmware as a stream of Motorola S-records, checks every record
// (layout, count, checksum, addresses inside its flash), writes the data and, after the end
// record, reports the programming and starts the new firmware. A defective record is reported
// and the loader stops.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/mode.h"

namespace sim {

// One S-record line (without its line end), read and checked. Nothing when it is defective.
struct SRecord {
  int type = 0;
  uint32_t address = 0;
  std::vector<uint8_t> data;
};
std::optional<SRecord> ParseSRecord(const std::string& line);

class BasicLoader : public Mode {
 public:
  static constexpr int kBaud = 19200;
  // The longest line the loader takes: an S3 record of 255 count bytes.
  static constexpr size_t kMaxLine = 2 + 2 * 256;

  BasicLoader(Machine& machine, int64_t nowUs);

  const char* Name() const override { return "Basic-Loader"; }
  void OnByte(uint8_t byte, int64_t nowUs) override;
  void OnHostLine(int64_t nowUs) override;
  bool WaitsForHostLine() const override { return state_ == State::WaitHost; }

 private:
  enum class State { WaitHost, Records, Stopped };

  void Announce(int64_t nowUs);
  void OnLine(const std::string& line, int64_t nowUs);
  bool Store(const SRecord& record);
  void Defect(int64_t nowUs);
  void SendLine(const std::string& text, int64_t atUs);

  Machine& m_;
  const BootLoaderProfile& p_;
  State state_ = State::WaitHost;
  std::string line_;
};

}  // namespace sim
