// The instrument's normal-mode command protocol: lines "X.nnnn[#argument]\r\n" from the host,
// prompts and numbered answers back, the multi-file transfer and the boot-loader entry.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/mode.h"
#include "sim/wince_receiver.h"

namespace sim {

class NormalMode : public Mode {
 public:
  // restarted: the boot loader has just started the new program, which greets the host once its
  // line is back at the normal settings.
  NormalMode(Machine& machine, bool restarted, int64_t nowUs);

  const char* Name() const override { return "normal"; }
  void OnByte(uint8_t byte, int64_t nowUs) override;
  void OnHostLine(int64_t nowUs) override;
  bool WaitsForHostLine() const override { return awaitingHostLine_; }

 private:
  struct Out {
    std::string text;
    bool apart = false;  // must arrive apart from the line before (its own read on the host)
  };
  using Lines = std::vector<Out>;

  void HandleLine(const std::string& line, int64_t nowUs);
  void HandlePacket(int64_t nowUs);
  // The answer lines for one command; empty for none.
  Lines Answer(const std::string& command, const std::string& argument, bool hasArgument,
               int64_t nowUs);
  Lines ReplyLines(const Reply& reply) const;
  Lines Identification(const std::string& command);
  Lines Entry(const std::string& command, const std::string& argument, bool hasArgument,
              int64_t nowUs);
  Lines PasswordWord() const;
  // "A.2005" with a Basic-Loader: the prompt, then the loader takes over.
  Lines BasicEntry(int64_t nowUs);
  Lines FileCommand(const std::string& command, const std::string& argument);
  void AppendExtras(const std::string& command, Lines& lines) const;
  void Send(const Lines& lines, int64_t atUs);
  void CloseFile(bool complete);
  void SendWinCe(const WinCeReceiver::Answer& answer, int64_t nowUs);

  Machine& m_;
  enum class Rx { Line, PacketCount, PacketData, WinCeBlock } rx_ = Rx::Line;
  std::string line_;
  bool overlong_ = false;
  std::vector<uint8_t> packet_;
  size_t packetSize_ = 0;
  int unit_ = 0;
  UnitFaults faults_;
  bool entered_ = false;  // an entry command was taken: deaf until the boot loader runs
  bool awaitingHostLine_ = false;
  std::optional<size_t> openFile_;        // index into the record's files
  std::unique_ptr<WinCeReceiver> wince_;  // with the profile's WinCE receiver switched on
  // The speed it listens and answers at: the profile's, or after the Basic-Loader the loader's.
  LineSettings listenLine_;
};

// A relative path made of the name's parts (separated by "\" or "/"); empty when the name has
// no usable part, a ".." part, or characters outside printable ASCII.
std::string SafeRelativePath(const std::string& name);

}  // namespace sim
