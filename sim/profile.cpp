#include "sim/profile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <functional>
#include <sstream>

namespace sim {
namespace {

constexpr size_t kMaxText = 200;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitList(const std::string& s) {
  std::vector<std::string> out;
  std::stringstream in(s);
  std::string item;
  while (std::getline(in, item, ',')) {
    item = Trim(item);
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

// Decimal, or hexadecimal with a 0x prefix; the whole text must be the number.
bool ParseNumber(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty()) return false;
  size_t used = 0;
  try {
    bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    out = std::stoll(hex ? s.substr(2) : s, &used, hex ? 16 : 10);
    used += hex ? 2 : 0;
  } catch (...) {
    return false;
  }
  return used == s.size() && out >= lo && out <= hi;
}

bool ParseHexBytes(const std::string& s, std::vector<uint8_t>& out) {
  out.clear();
  std::stringstream in(s);
  std::string tok;
  while (in >> tok) {
    if (tok.size() != 2 || !std::isxdigit(static_cast<unsigned char>(tok[0])) ||
        !std::isxdigit(static_cast<unsigned char>(tok[1])))
      return false;
    out.push_back(static_cast<uint8_t>(std::stoi(tok, nullptr, 16)));
  }
  return true;
}

bool ParseBool(const std::string& s, bool& out) {
  std::string v = Lower(s);
  if (v == "1" || v == "yes" || v == "true" || v == "on") return out = true, true;
  if (v == "0" || v == "no" || v == "false" || v == "off") return out = false, true;
  return false;
}

bool ParseUnits(const std::string& s, std::set<int>& out) {
  out.clear();
  for (const auto& item : SplitList(s)) {
    long long n;
    if (!ParseNumber(item, 1, 1000000, n)) return false;
    out.insert(static_cast<int>(n));
  }
  return true;
}

bool ParseReply(const std::string& s, Reply& out) {
  std::string v = Lower(s);
  long long n;
  if (v == "prompt")
    out = {Reply::Kind::Prompt, 0, ""};
  else if (v == "none")
    out = {Reply::Kind::None, 0, ""};
  else if (v == "?")
    out = {Reply::Kind::Refuse, 0, ""};
  else if (v == "?+prompt")
    out = {Reply::Kind::RefuseAndPrompt, 0, ""};
  else if (ParseNumber(s, 1, 99999, n))
    out = {Reply::Kind::Numbered, static_cast<int>(n), ""};
  else if (!s.empty() && s.size() <= kMaxText)
    out = {Reply::Kind::Line, 0, s};
  else
    return false;
  return true;
}

// "1.60" -> 0x0160: the version as the boot loader reports it, two hexadecimal bytes.
bool ParseBslVersion(const std::string& s, uint16_t& out) {
  size_t dot = s.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 2 || s.size() - dot - 1 != 2) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (i != dot && !std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  out = static_cast<uint16_t>(std::stoi(s.substr(0, dot), nullptr, 16) << 8 |
                              std::stoi(s.substr(dot + 1), nullptr, 16));
  return true;
}

using Setter = std::function<bool(const std::string&, Profile&)>;

Setter Text(std::string Profile::*field, bool allowEmpty = true) {
  return [=](const std::string& v, Profile& p) {
    if ((!allowEmpty && v.empty()) || v.size() > kMaxText) return false;
    p.*field = v;
    return true;
  };
}

Setter Int(int Profile::*field, long long lo, long long hi) {
  return [=](const std::string& v, Profile& p) {
    long long n;
    if (!ParseNumber(v, lo, hi, n)) return false;
    p.*field = static_cast<int>(n);
    return true;
  };
}

Setter Flag(bool Profile::*field) {
  return [=](const std::string& v, Profile& p) { return ParseBool(v, p.*field); };
}

template <typename T>
Setter BlInt(T BootLoaderProfile::*field, long long lo, long long hi) {
  return [=](const std::string& v, Profile& p) {
    long long n;
    if (!ParseNumber(v, lo, hi, n)) return false;
    p.bootLoader.*field = static_cast<T>(n);
    return true;
  };
}

Setter Faults(FaultPlan Profile::*plan, std::set<int> FaultPlan::*units) {
  return [=](const std::string& v, Profile& p) { return ParseUnits(v, (p.*plan).*units); };
}

void AddFaultKeys(std::map<std::string, Setter>& keys, const std::string& section,
                  FaultPlan Profile::*plan) {
  keys[section + ".silent"] = Faults(plan, &FaultPlan::silent);
  keys[section + ".nak"] = Faults(plan, &FaultPlan::nak);
  keys[section + ".bad_checksum"] = Faults(plan, &FaultPlan::badChecksum);
  keys[section + ".noise"] = Faults(plan, &FaultPlan::noise);
  keys[section + ".late"] = Faults(plan, &FaultPlan::late);
  keys[section + ".duplicate"] = Faults(plan, &FaultPlan::duplicate);
  keys[section + ".lost"] = Faults(plan, &FaultPlan::lost);
  keys[section + ".late_sync"] = Faults(plan, &FaultPlan::lateSync);
  keys[section + ".noise_bytes"] = [=](const std::string& v, Profile& p) {
    return ParseHexBytes(v, (p.*plan).noiseBytes) && !(p.*plan).noiseBytes.empty();
  };
  keys[section + ".fail_sessions"] = [=](const std::string& v, Profile& p) {
    long long n;
    if (!ParseNumber(v, 0, 1000, n)) return false;
    (p.*plan).failSessions = static_cast<int>(n);
    return true;
  };
  keys[section + ".late_ms"] = [=](const std::string& v, Profile& p) {
    long long n;
    if (!ParseNumber(v, 0, 600000, n)) return false;
    (p.*plan).lateMs = static_cast<int>(n);
    return true;
  };
  keys[section + ".disconnect"] = [=](const std::string& v, Profile& p) {
    long long n;
    if (!ParseNumber(v, 0, 1000000, n)) return false;
    (p.*plan).disconnect = static_cast<int>(n);
    return true;
  };
}

const std::map<std::string, Setter>& Keys() {
  static const std::map<std::string, Setter> keys = [] {
    std::map<std::string, Setter> k;
    k["identity.pcb"] = Text(&Profile::pcb);
    k["identity.device"] = Text(&Profile::device);
    k["identity.version"] = Text(&Profile::version);
    k["identity.serial"] = Text(&Profile::serial);
    k["identity.startup_version"] = Text(&Profile::startupVersion);
    k["identity.variant"] = [](const std::string& v, Profile& p) {
      if (v.size() > 1) return false;
      p.variant = v;
      return true;
    };
    k["identity.variant_after"] = Text(&Profile::variantAfter);
    k["identity.send_262_after"] = Text(&Profile::send262After);
    k["identity.send_920_after"] = Text(&Profile::send920After);
    k["identity.marker"] = [](const std::string& v, Profile& p) {
      if (v != "I." && v != "B.") return false;
      p.marker = v;
      return true;
    };
    k["identity.code_pcb"] = Int(&Profile::codePcb, 1, 99999);
    k["identity.code_device"] = Int(&Profile::codeDevice, 1, 99999);
    k["identity.code_version"] = Int(&Profile::codeVersion, 1, 99999);
    k["identity.code_serial"] = Int(&Profile::codeSerial, 1, 99999);
    k["identity.code_startup"] = Int(&Profile::codeStartup, 1, 99999);
    k["identity.code_password"] = Int(&Profile::codePassword, 1, 99999);
    k["line.baud"] = [](const std::string& v, Profile& p) {
      long long n;
      if (!ParseNumber(v, 50, 4000000, n)) return false;
      p.line.baud = static_cast<int>(n);
      return true;
    };
    k["line.data_bits"] = [](const std::string& v, Profile& p) {
      long long n;
      if (!ParseNumber(v, 5, 8, n)) return false;
      p.line.dataBits = static_cast<int>(n);
      return true;
    };
    k["line.parity"] = [](const std::string& v, Profile& p) {
      std::string s = Lower(v);
      if (s == "n")
        p.line.parity = Parity::None;
      else if (s == "e")
        p.line.parity = Parity::Even;
      else if (s == "o")
        p.line.parity = Parity::Odd;
      else
        return false;
      return true;
    };
    k["line.stop_bits"] = [](const std::string& v, Profile& p) {
      long long n;
      if (!ParseNumber(v, 1, 2, n)) return false;
      p.line.stopBits = static_cast<int>(n);
      return true;
    };
    k["line.check_format"] = Flag(&Profile::checkFormat);
    k["line.pace"] = Flag(&Profile::pace);
    k["line.answer_delay_ms"] = Int(&Profile::answerDelayMs, 0, 600000);
    k["protocol.prompt"] = [](const std::string& v, Profile& p) {
      if (v.find('!') == std::string::npos || v.size() > kMaxText) return false;
      p.prompt = v;
      return true;
    };
    k["protocol.access_code"] = Text(&Profile::accessCode, false);
    k["protocol.entry_commands"] = [](const std::string& v, Profile& p) {
      p.entryCommands = SplitList(v);
      return true;
    };
    k["protocol.alt_commands"] = [](const std::string& v, Profile& p) {
      p.altCommands = SplitList(v);
      return true;
    };
    k["protocol.entry_answer"] = Text(&Profile::entryAnswer);
    k["protocol.password_word"] = [](const std::string& v, Profile& p) {
      long long n;
      if (v.empty()) return p.passwordWord.reset(), true;
      if (!ParseNumber(v, 0, 0xFFFF, n)) return false;
      p.passwordWord = static_cast<uint16_t>(n);
      return true;
    };
    k["protocol.password_groups"] = Int(&Profile::passwordGroups, 1, 16);
    k["protocol.restart_prompt_ms"] = Int(&Profile::restartPromptMs, 0, 600000);
    k["protocol.after_program"] = [](const std::string& v, Profile& p) {
      return ParseReply(v, p.afterProgram);
    };
    k["bootloader.target"] = [](const std::string& v, Profile& p) {
      std::string s = Lower(v);
      if (s == "none")
        p.bootLoader.target = TargetKind::None;
      else if (s == "classic")
        p.bootLoader.target = TargetKind::Classic;
      else if (s == "f5xx")
        p.bootLoader.target = TargetKind::F5xx;
      else if (s == "basic")
        p.bootLoader.target = TargetKind::Basic;
      else if (s == "frame")
        p.bootLoader.target = TargetKind::Frame;
      else
        return false;
      return true;
    };
    k["bootloader.start_in_bootloader"] = [](const std::string& v, Profile& p) {
      return ParseBool(v, p.bootLoader.startInBootLoader);
    };
    k["bootloader.start_ms"] = BlInt(&BootLoaderProfile::startMs, 0, 60000);
    k["bootloader.frame_timeout_ms"] = BlInt(&BootLoaderProfile::frameTimeoutMs, 1, 60000);
    k["bootloader.reset_vector"] = BlInt(&BootLoaderProfile::resetVector, 0, 0xFFFF);
    k["bootloader.initial_flash"] = [](const std::string& v, Profile& p) {
      std::string s = Lower(v);
      if (s == "old_firmware")
        p.bootLoader.initialFlash = InitialFlash::OldFirmware;
      else if (s == "code_only")
        p.bootLoader.initialFlash = InitialFlash::CodeOnly;
      else
        return false;
      return true;
    };
    k["bootloader.frame_variant"] = BlInt(&BootLoaderProfile::frameVariant, 0, 2);
    k["bootloader.frame_id"] = [](const std::string& v, Profile& p) {
      for (char c : v)
        if (c == 0x16 || c == 0x0C || c == 0x0A || static_cast<unsigned char>(c) < 0x20)
          return false;
      p.bootLoader.frameId = v;
      return !v.empty() && v.size() <= 60;
    };
    k["bootloader.noise_every_ms"] = BlInt(&BootLoaderProfile::noiseEveryMs, 0, 60000);
    k["bootloader.chip_id"] = BlInt(&BootLoaderProfile::chipId, 0, 0xFFFF);
    k["bootloader.version"] = [](const std::string& v, Profile& p) {
      return ParseBslVersion(v, p.bootLoader.version);
    };
    k["bootloader.ram"] = [](const std::string& v, Profile& p) {
      size_t dash = v.find('-');
      long long a, b;
      if (dash == std::string::npos || !ParseNumber(Trim(v.substr(0, dash)), 0, 0x1FFFF, a) ||
          !ParseNumber(Trim(v.substr(dash + 1)), a, 0x1FFFF, b))
        return false;
      p.bootLoader.ramStart = static_cast<uint32_t>(a);
      p.bootLoader.ramEnd = static_cast<uint32_t>(b);
      return true;
    };
    k["bootloader.flash_end"] = BlInt(&BootLoaderProfile::flashEnd, 0xFFFF, 0xFFFFF);
    k["bootloader.wrong_password"] = [](const std::string& v, Profile& p) {
      std::string s = Lower(v);
      if (s == "nak_later")
        p.bootLoader.wrongPassword = WrongPassword::NakLater;
      else if (s == "mass_erase")
        p.bootLoader.wrongPassword = WrongPassword::MassErase;
      else
        return false;
      return true;
    };
    k["bootloader.patch_address"] = BlInt(&BootLoaderProfile::patchAddress, 0, 0xFFFF);
    k["bootloader.baud_clock"] = [](const std::string& v, Profile& p) {
      long long n;
      if (v.empty()) return p.bootLoader.baudClock.reset(), true;
      if (!ParseNumber(v, 0, 0xFFFF, n)) return false;
      p.bootLoader.baudClock = static_cast<uint16_t>(n);
      return true;
    };
    k["bootloader.password_bytes"] = [](const std::string& v, Profile& p) {
      long long n;
      if (!ParseNumber(v, 16, 32, n) || (n != 16 && n != 32)) return false;
      p.bootLoader.passwordBytes = static_cast<int>(n);
      return true;
    };
    k["bootloader.version_bytes"] = [](const std::string& v, Profile& p) {
      return ParseHexBytes(v, p.bootLoader.versionBytes) && p.bootLoader.versionBytes.size() == 4;
    };
    k["bootloader.device_id"] = [](const std::string& v, Profile& p) {
      auto& id = p.bootLoader.deviceId;
      return ParseHexBytes(v, id) && !id.empty() && id.size() <= 16;
    };
    k["wince.receiver"] = [](const std::string& v, Profile& p) {
      return ParseBool(v, p.wince.receiver);
    };
    k["wince.holds"] = [](const std::string& v, Profile& p) {
      p.wince.holds = SplitList(v);
      return true;
    };
    k["wince.bad_blocks"] = [](const std::string& v, Profile& p) {
      return ParseUnits(v, p.wince.badBlocks);
    };
    k["wince.bad_block_answer"] = [](const std::string& v, Profile& p) {
      if (v.empty() || v.size() > kMaxText) return false;
      p.wince.badBlockAnswer = v;
      return true;
    };
    k["bootloader.basic_version"] = [](const std::string& v, Profile& p) {
      if (v != "1.01" && v != "1.02") return false;
      p.bootLoader.basicVersion = v;
      return true;
    };
    k["bootloader.flash_banks"] = BlInt(&BootLoaderProfile::flashBanks, 1, 2);
    k["bootloader.defect_text"] = [](const std::string& v, Profile& p) {
      if (v != "S-Record defect!" && v != "Record defekt!") return false;
      p.bootLoader.defectText = v;
      return true;
    };
    k["bootloader.programmed"] = [](const std::string& v, Profile& p) {
      const std::string s = Lower(v);
      if (s != "text" && s != "bytes") return false;
      p.bootLoader.programmedBytes = s == "bytes";
      return true;
    };
    k["bootloader.greet_at_loader_speed"] = [](const std::string& v, Profile& p) {
      return ParseBool(v, p.bootLoader.greetAtLoaderSpeed);
    };
    k["bootloader.flash_start"] = BlInt(&BootLoaderProfile::flashStart, 0, 0xFFFFF);
    AddFaultKeys(k, "faults", &Profile::faults);
    AddFaultKeys(k, "bootloader_faults", &Profile::bootLoaderFaults);
    return k;
  }();
  return keys;
}

}  // namespace

std::map<std::string, Reply> DefaultReplies() {
  using K = Reply::Kind;
  return {{"A.1111", {K::Prompt, 0, ""}}, {"A.1000", {K::Prompt, 0, ""}},
          {"A.1121", {K::Prompt, 0, ""}}, {"A.1600", {K::Prompt, 0, ""}},
          {"A.6162", {K::Prompt, 0, ""}}, {"A.2005", {K::None, 0, ""}},
          {"A.1500", {K::None, 0, ""}},   {"A.1220", {K::None, 0, ""}},
          {"A.2100", {K::None, 0, ""}},   {"U.606", {K::None, 0, ""}}};
}

Profile ParseProfile(const std::string& text, std::vector<std::string>& errors) {
  Profile p;
  p.replies = DefaultReplies();
  std::stringstream in(text);
  std::string raw, section;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    std::string line = Trim(raw);
    auto where = "line " + std::to_string(lineNo) + ": ";
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        errors.push_back(where + "section without ']'");
        continue;
      }
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      errors.push_back(where + "no '=' in '" + line + "'");
      continue;
    }
    std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (section == "replies") {
      Reply r;
      if (key.empty() || !ParseReply(value, r))
        errors.push_back(where + "bad reply '" + value + "'");
      else
        p.replies[key] = r;
      continue;
    }
    auto it = Keys().find(section + "." + Lower(key));
    if (it == Keys().end())
      errors.push_back(where + "unknown key '" + key + "' in [" + section + "]");
    else if (!it->second(value, p))
      errors.push_back(where + "bad value '" + value + "' for " + key);
  }
  return p;
}

bool LoadProfile(const std::string& path, Profile& profile, std::string& message) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    message = "cannot read profile " + path;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (text.str().size() > 1000000) {
    message = path + ": profile larger than 1 MB";
    return false;
  }
  std::vector<std::string> errors;
  profile = ParseProfile(text.str(), errors);
  if (errors.empty()) return true;
  message = path + ": " + errors.front();
  for (size_t i = 1; i < errors.size(); ++i) message += "\n" + path + ": " + errors[i];
  return false;
}

}  // namespace sim
