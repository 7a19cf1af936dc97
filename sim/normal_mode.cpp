#include "sim/normal_mode.h"

#include "sim/basic_loader.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr size_t kMaxLine = 1024;
constexpr size_t kMaxFile = 64u << 20;
constexpr const char* kPacketHead = "A.12010#";

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

}  // namespace

std::string SafeRelativePath(const std::string& name) {
  std::string path, part;
  auto flush = [&]() {
    if (part == "..") return false;
    if (!part.empty() && part != ".") path += (path.empty() ? "" : "/") + part;
    part.clear();
    return true;
  };
  for (unsigned char c : name) {
    if (c == '\\' || c == '/') {
      if (!flush()) return "";
    } else if (c < 0x20 || c >= 0x7F || c == ':') {
      return "";
    } else {
      part += static_cast<char>(c);
    }
  }
  return flush() ? path : "";
}

NormalMode::NormalMode(Machine& machine, bool restarted, int64_t nowUs)
    : m_(machine), listenLine_(machine.profile.line) {
  if (m_.profile.wince.receiver) wince_ = std::make_unique<WinCeReceiver>(m_);
  // The new firmware a Basic-Loader started talks at the normal line, or, by choice, keeps the
  // loader's speed.
  if (restarted && m_.profile.bootLoader.target == TargetKind::Basic &&
      m_.profile.bootLoader.greetAtLoaderSpeed)
    listenLine_.baud = BasicLoader::kBaud;
  m_.link.Listen(listenLine_, nowUs);
  if (restarted) {
    awaitingHostLine_ = true;
    OnHostLine(nowUs);
  }
}

void NormalMode::OnHostLine(int64_t nowUs) {
  if (!awaitingHostLine_ || !Matches(listenLine_, m_.link.HostLine(), m_.profile.checkFormat))
    return;
  awaitingHostLine_ = false;
  m_.link.Note("host line back at " + Describe(m_.link.HostLine()), nowUs);
  ++m_.record.promptsAfterProgram;
  Send(ReplyLines(m_.profile.afterProgram), nowUs + int64_t{m_.profile.restartPromptMs} * 1000);
}

void NormalMode::OnByte(uint8_t byte, int64_t nowUs) {
  if (entered_) return;
  switch (rx_) {
    case Rx::PacketCount:
      packetSize_ = byte;
      packet_.clear();
      rx_ = Rx::PacketData;
      if (packetSize_ == 0) HandlePacket(nowUs);
      return;
    case Rx::PacketData:
      packet_.push_back(byte);
      if (packet_.size() == packetSize_) HandlePacket(nowUs);
      return;
    case Rx::WinCeBlock:
      if (auto answer = wince_->FrameByte(byte)) {
        rx_ = Rx::Line;
        faults_ = {};
        SendWinCe(*answer, nowUs);
      }
      return;
    case Rx::Line:
      break;
  }
  if (byte == '\n') {
    std::string line = overlong_ ? std::string(1, '\x7F') : line_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line_.clear();
    overlong_ = false;
    HandleLine(line, nowUs);
    return;
  }
  if (line_.size() >= kMaxLine) {
    overlong_ = true;  // answered as unknown once the line ends
    return;
  }
  line_ += static_cast<char>(byte);
  if (line_ == kPacketHead) {
    line_.clear();
    rx_ = Rx::PacketCount;
  } else if (wince_ && line_ == "D.") {
    line_.clear();  // a block of the WinCE transfer: binary data, no line end
    rx_ = Rx::WinCeBlock;
  }
}

void NormalMode::HandlePacket(int64_t nowUs) {
  rx_ = Rx::Line;
  ++unit_;
  faults_ = FaultsFor(m_.profile.faults, unit_);
  m_.record.commands.push_back(std::string(kPacketHead) + "<" + std::to_string(packet_.size()) +
                               " bytes>");
  if (faults_.silent) return;
  Lines answer;
  if (!openFile_ || m_.record.files[*openFile_].data.size() + packet_.size() > kMaxFile) {
    answer = {{"?"}};
  } else {
    auto& data = m_.record.files[*openFile_].data;
    data.insert(data.end(), packet_.begin(), packet_.end());
    answer = {{m_.profile.prompt}};
  }
  Send(answer, nowUs + int64_t{m_.profile.answerDelayMs} * 1000);
}

void NormalMode::HandleLine(const std::string& line, int64_t nowUs) {
  if (line.empty()) return;
  ++unit_;
  faults_ = FaultsFor(m_.profile.faults, unit_);
  m_.record.commands.push_back(line);
  if (faults_.silent) {
    m_.link.Note("fault: command " + std::to_string(unit_) + " not answered", nowUs);
    return;
  }
  size_t hash = line.find('#');
  std::string command = line.substr(0, hash);
  std::string argument = hash == std::string::npos ? "" : line.substr(hash + 1);
  if (wince_ && !m_.profile.replies.count(command)) {
    if (auto answer = wince_->Command(command, argument)) {
      SendWinCe(*answer, nowUs);
      return;
    }
  }
  Lines lines = Answer(command, argument, hash != std::string::npos, nowUs);
  AppendExtras(command, lines);
  Send(lines, nowUs + int64_t{m_.profile.answerDelayMs} * 1000);
}

NormalMode::Lines NormalMode::Answer(const std::string& command, const std::string& argument,
                                     bool hasArgument, int64_t nowUs) {
  if (command == "A.1600") {
    m_.record.clock = argument;
    ++m_.record.clockSets;
  } else if (command == "A.6162") {
    m_.record.airPressure = argument;
  }
  if (command == "A.2005" && m_.profile.bootLoader.target == TargetKind::Basic && m_.memory)
    return BasicEntry(nowUs);
  auto reply = m_.profile.replies.find(command);
  if (reply != m_.profile.replies.end()) return ReplyLines(reply->second);
  if (Contains(m_.profile.entryCommands, command) || Contains(m_.profile.altCommands, command))
    return Entry(command, argument, hasArgument, nowUs);
  if (command == "A.12000" || command == "A.12030") return FileCommand(command, argument);
  Lines ident = Identification(command);
  return ident.empty() ? Lines{{"?"}} : ident;
}

NormalMode::Lines NormalMode::ReplyLines(const Reply& reply) const {
  switch (reply.kind) {
    case Reply::Kind::Prompt:
      return {{m_.profile.prompt}};
    case Reply::Kind::None:
      return {};
    case Reply::Kind::Refuse:
      return {{"?"}};
    case Reply::Kind::RefuseAndPrompt:
      return {{"?"}, {m_.profile.prompt}};  // in one write: the host reads both at once
    case Reply::Kind::Numbered:
      return {{m_.profile.marker + std::to_string(reply.code)}};
    case Reply::Kind::Line:
      return {{reply.line}};
  }
  return {};
}

NormalMode::Lines NormalMode::Identification(const std::string& command) {
  const Profile& p = m_.profile;
  auto numbered = [&](int code, const std::string& text) {
    return p.marker + std::to_string(code) + "#" + text;
  };
  if (command == "A.2003") return {{numbered(p.codePcb, p.pcb)}};
  if (command == "A.2000") return {{numbered(p.codeDevice, p.device)}};
  if (command == "A.4001") return {{numbered(p.codeSerial, p.serial)}};
  if (command != "A.2001") return {};
  // The start-up program's version comes first, in a read of its own: the host keeps only the
  // text of the last answer of a read.
  if (!p.startupVersion.empty())
    return {{numbered(p.codeStartup, p.startupVersion)},
            {numbered(p.codeVersion, p.version), true}};
  return {{numbered(p.codeVersion, p.version)}};
}

NormalMode::Lines NormalMode::Entry(const std::string& command, const std::string& argument,
                                    bool hasArgument, int64_t nowUs) {
  if (m_.profile.bootLoader.target == TargetKind::None || !m_.memory) return {{"?"}};
  if (Contains(m_.profile.altCommands, command)) return hasArgument ? Lines{{"?"}} : PasswordWord();
  if (argument != m_.profile.accessCode) return {{"?"}};
  ++m_.record.bootLoaderEntries;
  entered_ = true;
  std::string answer = m_.profile.entryAnswer.empty() ? command : m_.profile.entryAnswer;
  int64_t at = nowUs + int64_t{m_.profile.answerDelayMs} * 1000;
  Send({{answer}}, at);
  m_.link.Listen(LineSettings{}, nowUs);
  m_.enterBootLoader(m_.link.OutputEndUs() + int64_t{m_.profile.bootLoader.startMs} * 1000);
  return {};
}

NormalMode::Lines NormalMode::BasicEntry(int64_t nowUs) {
  ++m_.record.bootLoaderEntries;
  entered_ = true;
  Send({{m_.profile.prompt}}, nowUs + int64_t{m_.profile.answerDelayMs} * 1000);
  m_.link.Listen(LineSettings{}, nowUs);
  m_.enterBootLoader(m_.link.OutputEndUs() + int64_t{m_.profile.bootLoader.startMs} * 1000);
  return {};
}

NormalMode::Lines NormalMode::PasswordWord() const {
  std::string text = m_.profile.marker + std::to_string(m_.profile.codePassword) + "#";
  char buf[8];
  for (int i = 0; i < m_.profile.passwordGroups; ++i) {
    uint16_t word = m_.memory->Word(0xFFFE - 2 * i);
    if (i == 0 && m_.profile.passwordWord) word = *m_.profile.passwordWord;
    std::snprintf(buf, sizeof buf, "0x%04X", word);
    text += buf;
  }
  return {{text}};
}

NormalMode::Lines NormalMode::FileCommand(const std::string& command, const std::string& argument) {
  if (command == "A.12030") {
    if (!openFile_) return {{"?"}};
    CloseFile(true);
    return {{m_.profile.prompt}};
  }
  std::string path = SafeRelativePath(argument);
  if (path.empty() || argument.size() > 255) return {{"?"}};
  if (openFile_) CloseFile(false);
  m_.record.files.push_back({argument, path, {}, false});
  openFile_ = m_.record.files.size() - 1;
  return {{m_.profile.prompt}};
}

void NormalMode::CloseFile(bool complete) {
  auto& file = m_.record.files[*openFile_];
  file.complete = complete;
  openFile_.reset();
  if (m_.fileDone) m_.fileDone(file);
}

void NormalMode::SendWinCe(const WinCeReceiver::Answer& answer, int64_t nowUs) {
  if (!answer.line.empty()) Send({{answer.line}}, nowUs + int64_t{m_.profile.answerDelayMs} * 1000);
  if (answer.switchToBaud == 0) return;
  // The acknowledgement still goes out at the old rate; the new one holds from its end on.
  LineSettings line = m_.profile.line;
  line.baud = answer.switchToBaud;
  m_.link.Listen(line, m_.link.OutputEndUs());
}

void NormalMode::AppendExtras(const std::string& command, Lines& lines) const {
  const Profile& p = m_.profile;
  if (!p.variant.empty() && command == p.variantAfter)
    lines.push_back({p.marker + "208#" + p.variant, true});
  if (command == p.send262After) lines.push_back({p.marker + "262", true});
  if (command == p.send920After) lines.push_back({p.marker + "920", true});
}

void NormalMode::Send(const Lines& lines, int64_t atUs) {
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string text = lines[i].text + "\r\n";
    // A line apart follows 100 ms after the one before, so the host reads it on its own.
    int64_t at = lines[i].apart ? std::max(atUs, m_.link.OutputEndUs()) + 100000 : atUs;
    UnitFaults f = faults_;
    f.noise = f.noise && i == 0;
    f.disconnect = f.disconnect && i + 1 == lines.size();
    SendAnswer(m_.link, m_.profile.faults, f, std::vector<uint8_t>(text.begin(), text.end()), at);
  }
}

}  // namespace sim
