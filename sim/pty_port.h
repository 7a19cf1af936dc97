// A pseudo-terminal published as COMn: every operating-system call of the program's serial side.
#pragma once

#include <sys/types.h>
#include <cstddef>
#include <memory>
#include <string>

#include "sim/line.h"

namespace sim {

class PtyPort {
 public:
  // A raw pty whose slave the program itself keeps open, so the master never reads a hang-up
  // while no host has the port open.
  static std::unique_ptr<PtyPort> Create(std::string& error);
  ~PtyPort();

  // Links path to the slave device; an existing link is replaced only when it is dangling.
  bool Publish(const std::string& path, std::string& error);
  // Closes both ends and removes the link: the host sees the device go away.
  void Close();

  bool IsOpen() const { return master_ >= 0; }
  int Fd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  // The host's line settings as set on the slave (a pty keeps no parity: Unknown).
  LineSettings HostLine() const;
  // Non-blocking; -1 when nothing is there (or on error).
  ssize_t Read(void* buffer, size_t size);
  ssize_t Write(const void* data, size_t size);

 private:
  PtyPort() = default;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string link_;
};

}  // namespace sim
