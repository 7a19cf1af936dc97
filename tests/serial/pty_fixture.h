// Pseudo-terminal pairs published as COMn in a temporary UPDATE_PORT_DIR: the serial layer opens
// the slave side as its port, the test plays the device on the master side.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace ptytest {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }
  // Writes at the master: the port receives these bytes.
  void Send(const std::string& bytes);
  // Collects what the port sent until count bytes came or timeoutMs passed without any.
  std::string Receive(size_t count, int timeoutMs = 1000);
  // Reads and drops everything waiting at the master.
  void Drain();
  // The line settings the port applied, as the device side sees them.
  termios LineSettings() const;
  speed_t Speed() const;
  // The device goes away.
  void CloseMaster();
  // Opens the slave on a descriptor of the test's own; call it before the port takes the
  // slave exclusively.
  void OpenSide();
  // Fills the master's buffer from that descriptor, so that the port's writes have to wait.
  void FillMasterBuffer();

 private:
  int master_ = -1;
  int side_ = -1;
  std::string slavePath_;
};

// A temporary port folder; UPDATE_PORT_DIR points at it while the object lives.
class PortDir {
 public:
  PortDir();
  ~PortDir();
  // A new pty published as COM<number>.
  Pty& Add(int comNumber);
  // A link COM<number> (or any name) to an arbitrary path.
  void Link(const std::string& name, const std::string& target);
  Pty& operator[](int comNumber) { return *ptys_.at(comNumber); }
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::map<int, std::unique_ptr<Pty>> ptys_;
};

// CPU time of the whole process, user + system.
std::chrono::microseconds ProcessCpuTime();

}  // namespace ptytest
