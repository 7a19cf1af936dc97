// What the instrument's modes (normal mode, boot-loader targets) may do with the line. The
// Instrument implements it; times are microseconds of the simulation clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/line.h"

namespace sim {

class Link {
 public:
  virtual ~Link() = default;
  // Queues bytes for the host; the first leaves at atUs or after what is queued already.
  virtual void Send(const std::vector<uint8_t>& bytes, int64_t atUs) = 0;
  // From atUs on the instrument listens with these settings (baud 0: deaf).
  virtual void Listen(const LineSettings& line, int64_t atUs) = 0;
  virtual const LineSettings& HostLine() const = 0;
  // Runs action once the simulation reaches atUs.
  virtual void At(int64_t atUs, std::function<void(int64_t nowUs)> action) = 0;
  // When the last queued byte has reached the host.
  virtual int64_t OutputEndUs() const = 0;
  // The line goes away at atUs (a pulled cable); nothing is sent or received after it.
  virtual void Disconnect(int64_t atUs) = 0;
  virtual void Note(const std::string& text, int64_t atUs) = 0;
};

}  // namespace sim
