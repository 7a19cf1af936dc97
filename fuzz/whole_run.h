// One whole update run, from OK through the port search, the identification and the
// programming, against the simulated instrument on the virtual clock, while the fuzz input
// decides what the line makes of each of the instrument's answers: deliver it, lose it, split it
// in two, spoil one byte, send it twice or add bytes to it. The first input byte chooses the
// package and the instrument (modulo the number of scenarios, in the order of Scenarios()).
// Then each answer of the instrument takes one byte (an input that has run out delivers):
//   0 deliver, 1 lose, 2 split (then: where, and how many ms later the rest comes),
//   3 spoil (then: which byte, and what it is xor-ed with), 4 twice,
//   5 add (then: how many bytes, and the bytes), 6 and up deliver.
// An answer is what the instrument sends until it has nothing more due for 20 ms or the host
// writes. FUZZ_VERBOSE=1 prints every answer with its number, the host's short writes and the
// log, which is how a kept input is made by hand.
//
// RunWhole returns what went wrong, empty when the run ended soundly. Wrong is:
//   - the run waits with nothing that could end the wait: no event queued, no timer claimed,
//     nothing under way on the line, the run not over and OK disabled (or, as a last resort,
//     still not over after kBoundMs of virtual time);
//   - the success message without the package's firmware in the instrument;
//   - a failure, or another programming, after the success message.
// A lying boot loader cannot be caught: answers made up or doubled while the instrument is in a
// boot loader exempt a run from the firmware check (never from the others).
//
// The external loader programs run as processes; here a stand-in takes their place (see
// HarnessPaths). It cannot program the simulated instrument, so for the package kinds that use
// one a success needs the stand-in started with the package's file instead of a flash check.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "fuzz/support.h"
#include "loaders/loader_paths.h"
#include "package/messages.h"
#include "sim/instrument.h"
#include "sim/profile.h"
#include "tests/msp430/firmware_image.h"
#include "tests/support/sim_port.h"
#include "update/engine.h"

namespace fuzz {

// What the line does to one answer of the instrument (the input byte; 6 and up deliver it).
enum class LineFault : uint8_t { Deliver, Lose, Split, Spoil, Double, Add };

// The simulated instrument's port with the line in between: bytes of one answer are gathered
// until the instrument has nothing more under way, then the input decides their fate.
class FaultyLinePort : public test::SimPort {
 public:
  FaultyLinePort(core::VirtualWindowSystem& windows, sim::Instrument* instrument, int comNumber,
                 Input& input, bool verbose)
      : test::SimPort(windows, instrument, comNumber),
        windows_(windows),
        instrument_(instrument),
        comNumber_(comNumber),
        input_(input),
        verbose_(verbose),
        later_(windows.CreateTimer()),
        settle_(windows.CreateTimer()),
        extraTimer_(windows.CreateTimer()) {
    extraTimer_->SetHandler([this](core::WindowTimer& timer) {
      timer.SetEnabled(false);
      Gather();
      gathered_.insert(gathered_.end(), extra_.begin(), extra_.end());
      Settle();
      Announce();
    });
    settle_->SetHandler([this](core::WindowTimer& timer) {
      timer.SetEnabled(false);
      Settle();
      Announce();
    });
    later_->SetHandler([this](core::WindowTimer& timer) {
      timer.SetEnabled(false);
      ready_.insert(ready_.end(), held_.begin(), held_.end());
      held_.clear();
      Announce();
    });
  }

  int32_t Read(void* buffer, uint32_t count) override {
    if (!Opened()) return serial::kNotOpen;
    Settle();
    const size_t n = std::min<size_t>(count, ready_.size());
    std::copy_n(ready_.begin(), n, static_cast<uint8_t*>(buffer));
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<long>(n));
    static_cast<uint8_t*>(buffer)[n] = 0;
    if (!ready_.empty()) Announce();
    return static_cast<int32_t>(n);
  }
  int32_t ReadReceived(void* buffer, uint32_t count) override { return Read(buffer, count); }

  int32_t Write(const void* data, int32_t length, bool async) override {
    // What arrived before this write is a whole answer.
    Gather();
    if (!gathered_.empty()) {
      Shape();
      Announce();
    }
    const size_t n = length < 0 ? std::strlen(static_cast<const char*>(data)) : size_t(length);
    if (verbose_ && n < 40) {
      std::fprintf(stderr, "[%u ms] host: %s\n", windows_.TickCount(),
                   Printable(static_cast<const uint8_t*>(data), n).c_str());
    }
    return test::SimPort::Write(data, length, async);
  }

  // Bytes from the instrument that the simulation does not send itself, due after delayMs.
  void SendLater(const std::string& bytes, uint32_t delayMs) {
    extra_ = bytes;
    extraTimer_->SetEnabled(false);
    extraTimer_->SetInterval(delayMs);
    extraTimer_->SetEnabled(true);
  }

  // Nothing of an answer is on its way to the reader.
  bool Idle() const {
    return gathered_.empty() && ready_.empty() && held_.empty() && !later_->Enabled() &&
           !extraTimer_->Enabled() && (!instrument_ || !Opened() || !instrument_->NextEventMs());
  }
  // Bytes were made up or doubled while the instrument was in a boot loader.
  bool liedInBootLoader = false;

 private:
  static std::string Printable(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", bytes[i]);
      text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? std::string(1, char(bytes[i])) : hex;
    }
    return text;
  }
  void Gather() {
    uint8_t chunk[513];
    int32_t n;
    while ((n = test::SimPort::Read(chunk, 512)) > 0)
      gathered_.insert(gathered_.end(), chunk, chunk + n);
  }
  // An answer is whole when the instrument has nothing more due within a few byte times;
  // until then the port looks again when the next thing is due.
  void Settle() {
    Gather();
    if (gathered_.empty()) return;
    const std::optional<int64_t> next = instrument_ ? instrument_->NextEventMs() : std::nullopt;
    const int64_t now = windows_.TickCount();
    if (next && *next <= now + 20) {
      settle_->SetEnabled(false);
      settle_->SetInterval(static_cast<uint32_t>(std::max<int64_t>(1, *next - now)));
      settle_->SetEnabled(true);
      return;
    }
    Shape();
  }
  void Shape() {
    std::vector<uint8_t> answer(gathered_.begin(), gathered_.end());
    gathered_.clear();
    const uint8_t choice = input_.Byte();
    const auto fault = choice < 6 ? static_cast<LineFault>(choice) : LineFault::Deliver;
    const bool inBootLoader = instrument_ && std::strcmp(instrument_->ModeName(), "normal") != 0;
    if (verbose_) {
      std::fprintf(stderr, "[%u ms] answer %d (%s, fault %d): %s\n", windows_.TickCount(), answers_,
                   instrument_ ? instrument_->ModeName() : "-", static_cast<int>(fault),
                   Printable(answer.data(), answer.size()).c_str());
    }
    ++answers_;
    switch (fault) {
      case LineFault::Lose:
        return;
      case LineFault::Split: {
        const size_t cut = answer.empty() ? 0 : input_.Byte() % answer.size();
        ready_.insert(ready_.end(), answer.begin(), answer.begin() + static_cast<long>(cut));
        held_.insert(held_.end(), answer.begin() + static_cast<long>(cut), answer.end());
        later_->SetInterval(1 + input_.Byte() % 100u);
        later_->SetEnabled(true);
        return;
      }
      case LineFault::Spoil:
        if (!answer.empty()) {
          const size_t at = input_.Byte() % answer.size();
          const uint8_t change = input_.Byte();
          answer[at] ^= change ? change : 1;
        }
        break;
      case LineFault::Double:
        liedInBootLoader |= inBootLoader;
        ready_.insert(ready_.end(), answer.begin(), answer.end());
        break;
      case LineFault::Add: {
        liedInBootLoader |= inBootLoader;
        const std::string_view more = input_.Bytes(input_.Byte() % 32u);
        answer.insert(answer.end(), more.begin(), more.end());
        break;
      }
      case LineFault::Deliver:
        break;
    }
    ready_.insert(ready_.end(), answer.begin(), answer.end());
  }
  void Announce() {
    if (!ready_.empty()) windows_.PostMessage(serial::WM_V24_RECEIVED, uintptr_t(comNumber_));
  }

  core::VirtualWindowSystem& windows_;
  sim::Instrument* instrument_;
  int comNumber_;
  Input& input_;
  bool verbose_;
  std::unique_ptr<core::WindowTimer> later_;   // the second part of a split answer
  std::unique_ptr<core::WindowTimer> settle_;  // looks again whether an answer is whole
  std::unique_ptr<core::WindowTimer> extraTimer_;
  std::string extra_;
  std::deque<uint8_t> gathered_, ready_, held_;
  int answers_ = 0;
};

// The window as the run sees it: whether OK is free, the log, and whether the run finished.
class RunView : public NullView {
 public:
  void AppendLog(std::string_view text) override {
    log.emplace_back(text);
    if (verbose) std::fprintf(stderr, "  log: %.*s\n", int(text.size()), text.data());
  }
  update::BoxAnswer ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                std::string_view caption, std::string_view text) override {
    if (verbose) std::fprintf(stderr, "  box: %.*s\n", int(text.size()), text.data());
    return NullView::ShowMessage(icon, buttons, caption, text);
  }
  void SetOkEnabled(bool enabled) override { okEnabled = enabled; }
  void CloseWindow() override { closed = true; }

  std::vector<std::string> log;
  bool okEnabled = true;
  bool closed = false;
  bool verbose = false;
};

// The external loader programs' stand-in: "programmed" at once, and the instrument's new
// firmware greets half a second later (through the line, which may disturb the greeting too).
// It cannot change what the simulated instrument runs: an instrument found in its boot loader
// stays there, so a second launch in one run fails as a real program would.
class HarnessPaths : public loaders::LoaderPaths {
 public:
  update::LoaderResult RunExternalLoader(update::RunHost&, const std::string& file) override {
    external.push_back(file);
    if (external.size() > 1) return update::LoaderResult::Failed(1);
    if (greet) greet();
    return update::LoaderResult::Programmed();
  }
  std::vector<std::string> external;
  std::function<void()> greet;
};

// A package with one instrument, and what the instrument must hold after a success.
struct Scenario {
  const char* name;
  std::vector<package::DeviceEntry> rows;
  int32_t startMode = 1;
  std::vector<int32_t> bauds = {3};
  std::vector<std::pair<std::string, std::string>> files;  // name, content
  std::string profile;
  std::function<bool(sim::Instrument&, const HarnessPaths&)> programmed;
};

inline package::DeviceEntry Row(const std::string& number, const std::string& file,
                                const std::string& pattern, int32_t processor) {
  package::DeviceEntry row;
  row.DeviceNrDef = row.DeviceNr = number;
  row.DeviceName = "Device " + number;
  row.ProgFile2 = file;
  row.SWKenn2 = pattern;
  row.ProzTyp = processor;
  return row;
}

inline bool FlashHolds(sim::Instrument& instrument,
                       const std::vector<msp430_test::Section>& image) {
  sim::Memory* flash = instrument.Flash();
  if (!flash) return false;
  for (const auto& [address, value] : msp430_test::ImageBytes(image)) {
    if (flash->Read(address) != value) return false;
  }
  return true;
}

// A program file whose resources end with the UTF-16 text "Version <version>".
inline std::string WinCeProgram(size_t size, const std::string& version) {
  std::string tail;
  for (char c : "Version " + version) tail += std::string{c, '\0'};
  tail += std::string(2, '\0');
  std::string data;
  for (size_t i = 0; data.size() + tail.size() < size; ++i) data += char(0x21 + (i * 7) % 90);
  if (data.size() % 2) data += '\0';
  return data + tail;
}

inline const std::vector<Scenario>& Scenarios() {
  using msp430_test::Pattern;
  using msp430_test::Section;
  using msp430_test::TiTxt;
  using msp430_test::VectorTable;
  static const Section version{0xF000, {'1', '.', '3', '0', 0x00, 0xFF}};
  static const std::vector<Section> classic = {
      version, {0x1100, Pattern(300, 3)}, {0xFFFE, {0x00, 0x11}}};
  static const std::vector<Section> f5xx = {
      version, {0x5C00, Pattern(300, 8)}, {0xFFFE, {0x00, 0x5C}}};
  static const std::vector<Section> benchImage = {
      version, {0x1100, Pattern(200, 21)}, VectorTable(0xFFE0, 0x1100)};
  static const std::string winceMain = WinCeProgram(1500, "1.30");
  static const std::string hexText = "@F000\r\n31 2E 33 30 00\r\n@FFFE\r\n00 11\r\nq\r\n";
  static const std::string kMeter = "[identity]\nversion = 1.20\n";
  auto flash = [](const std::vector<Section>& image) {
    return [image](sim::Instrument& instrument, const HarnessPaths&) {
      return FlashHolds(instrument, image);
    };
  };
  auto launched = [](const std::string& file) {
    return [file](sim::Instrument&, const HarnessPaths& paths) {
      return std::find(paths.external.begin(), paths.external.end(), file) != paths.external.end();
    };
  };
  package::DeviceEntry sensor = Row("30111.005", "sensor.txt", "@F000\r\n", 0x149);
  package::DeviceEntry menuRow = Row("20363.000", "menu.mot", "@F000\r\n", 0x149);
  menuRow.BootLoadKenn = "TG480E";
  menuRow.ProgDefFile = "row0.hex";
  package::DeviceEntry benchC = Row("31001.000", "BenchC.txt", "@F000\r\n", 0x149);
  benchC.ProgDefFile = "BenchC.txt";
  package::DeviceEntry benchF = Row("31002.000", "BenchF.txt", "@F000\r\n", 0x5438);
  benchF.ProgDefFile = "BenchF.txt";
  static const std::vector<Scenario> all = {
      {"classic",
       {Row("20363.000", "classic.txt", "@F000\r\n", 0x149)},
       1,
       {3},
       {{"classic.txt", TiTxt(classic)}},
       kMeter + "[bootloader]\ntarget = classic\n",
       flash(classic)},
      {"F5xx",
       {Row("20363.000", "f5xx.txt", "@F000\r\n", 0x5438)},
       1,
       {3},
       {{"f5xx.txt", TiTxt(f5xx)}},
       kMeter + "[bootloader]\ntarget = f5xx\n",
       flash(f5xx)},
      {"WinCE",
       {Row("20363.000", "Main.exe,helper.dll", "Version", 0)},
       1,
       {3},
       {{"Main.exe", winceMain}, {"helper.dll", WinCeProgram(300, "0.50")}},
       kMeter + "startup_version = 1.10\n[wince]\nreceiver = 1\n",
       [](sim::Instrument& instrument, const HarnessPaths&) {
         for (const sim::ReceivedFile& file : instrument.Seen().files) {
           if (file.name == "Main.exe" && file.complete &&
               std::string(file.data.begin(), file.data.end()) == winceMain)
             return true;
         }
         return false;
       }},
      {"Basic-Loader",
       {Row("20363.000", "Sonde.mot", "S1094000", 0x149)},
       1,
       {3},
       {{"Sonde.mot", "S0030000FC\nS1094000322E31300000F5\nS9030000FC\n"},
        {"L3_TermL.A37", "S2080E0000112233443F\r\nS8040E0000ED\r\n"}},
       "[identity]\nversion = 1.30,2.05\n[protocol]\nafter_program = 31\n"
       "restart_prompt_ms = 300\n[bootloader]\ntarget = basic\n",
       flash({{0xE0000, {0x11, 0x22, 0x33, 0x44}}})},
      {"menu boot loader",
       {menuRow},
       1,
       {3},
       {{"menu.mot", hexText}},
       "[bootloader]\ntarget = frame\nstart_in_bootloader = 1\n",
       launched("row0.hex")},
      {"bench boot loader",
       {benchC, benchF},
       1,
       {2, 3},
       {{"BenchC.txt", TiTxt(benchImage)}, {"BenchF.txt", TiTxt(benchImage)}},
       "[line]\nbaud = 4800\n[bootloader]\nstart_in_bootloader = 1\ntarget = classic\n"
       "reset_vector = 0x0E5A\n",
       flash(benchImage)},
      {"external program",
       {Row("20363.000", "ext.hex", "@F000\r\n", 0x149)},
       1,
       {3},
       {{"ext.hex", hexText}},
       kMeter + "[replies]\nA.1200 = prompt\n",
       launched("ext.hex")},
      {"sensor",
       {sensor},
       2,
       {3},
       {{"sensor.txt", TiTxt(classic)}},
       "[identity]\ndevice = 20363.000,30111.007\npcb = 41000.001,42000.005\n"
       "version = 1.23,1.20\nserial = 111,222\n[bootloader]\ntarget = classic\n",
       flash(classic)},
  };
  return all;
}

// The package folder of a scenario, written once per process.
inline const std::filesystem::path& PackageFolder(size_t index) {
  static std::vector<std::filesystem::path> folders(Scenarios().size());
  if (folders[index].empty()) {
    const Scenario& scenario = Scenarios()[index];
    folders[index] = Scratch().Path() / ("package" + std::to_string(index));
    std::filesystem::create_directories(folders[index]);
    for (const auto& [name, content] : scenario.files) {
      Scratch().Write("package" + std::to_string(index) + "/" + name, content);
    }
  }
  return folders[index];
}

// How long a run may take in virtual time: every wait of a run is bounded well below this.
inline constexpr uint32_t kBoundMs = 20 * 60 * 1000;
// After the run's end, how long nothing more may happen.
inline constexpr uint32_t kAfterEndMs = 60 * 1000;

inline std::string RunWhole(const uint8_t* data, size_t size) {
  const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
  Input input(data, size);
  const size_t index = input.Byte() % Scenarios().size();
  const Scenario& scenario = Scenarios()[index];
  if (verbose) std::fprintf(stderr, "scenario %s\n", scenario.name);
  // The run works in the package's folder, as the program does; the caller's stays as it was.
  struct WorkingFolder {
    std::filesystem::path before = std::filesystem::current_path();
    explicit WorkingFolder(const std::filesystem::path& folder) {
      std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(before); }
  } workingFolder(PackageFolder(index));

  core::VirtualWindowSystem windows;
  core::EventCore events(windows);
  RunView view;
  view.verbose = verbose;
  package::Settings settings;
  settings.LanguageIndex = 0;
  settings.BaudCount = static_cast<int32_t>(scenario.bauds.size());
  std::copy(scenario.bauds.begin(), scenario.bauds.end(), settings.BaudSearchList.begin());
  package::DeviceDescription devices;
  devices.DeviceTable = scenario.rows;
  devices.StartMode = devices.SavedStartMode =
      static_cast<package::StartVariant>(scenario.startMode);
  const std::string& mainFile = scenario.rows.front().ProgFile2;
  devices.DeviceKind = package::DeviceKindOf(mainFile);
  devices.AbortText = {"Abbruch\r\nGerät aus- und einschalten", "Abort\r\nSwitch off and on"};

  std::vector<std::string> errors;
  const sim::Profile profile = sim::ParseProfile(scenario.profile, errors);
  if (!errors.empty()) return "scenario profile: " + errors.front();
  sim::Instrument instrument(profile, [&windows] { return int64_t{windows.TickCount()}; });

  update::PortTable ports(windows);
  std::vector<std::unique_ptr<serial::TComPort>> table;
  auto port = std::make_unique<FaultyLinePort>(windows, &instrument, 1, input, verbose);
  FaultyLinePort& line = *port;
  table.push_back(std::move(port));
  ports.AdoptPorts(std::move(table), {1});

  std::vector<std::string> firmware;
  for (const package::DeviceEntry& row : scenario.rows) {
    firmware.push_back(row.ProgFile2.substr(0, row.ProgFile2.find(',')));
  }
  HarnessPaths paths;
  paths.greet = [&line] { line.SendLater("!\r\n", 500); };
  update::UpdateEngine engine(events, view, settings, devices, ports, firmware);
  engine.SetPaths(&paths);
  engine.Install();
  windows.SetMessageHandler(
      [&engine](uint32_t message, uintptr_t wParam) { engine.OnWindowMessage(message, wParam); });

  // The success message up to its first placeholder.
  std::string success(messages::Text(messages::MSG_SUCCESS, 0));
  success.resize(std::min(success.size(), success.find("NAME")));
  auto succeeded = [&] {
    return view.finished > 0 ||
           std::any_of(view.log.begin(), view.log.end(),
                       [&](const std::string& l) { return l.find(success) != std::string::npos; });
  };
  auto claimsTimer = [&] {
    for (int id = 1; id <= events.timers.Count(); ++id) {
      if (events.timers.InUse(id)) return true;
    }
    return false;
  };
  auto ended = [&] { return view.finished > 0 || view.okEnabled || view.closed; };

  std::string fault;
  events.queue.PostKey(core::KEY_OK);
  events.pump.PumpEvents();
  uint32_t elapsed = 0;
  while (!ended()) {
    if (events.queue.Ring().Count() == 0 && !claimsTimer() && line.Idle()) {
      fault = "the run waits with no timer and nothing under way";
      break;
    }
    if (elapsed >= kBoundMs) {
      fault = "the run has not ended within its bound";
      break;
    }
    windows.Advance(50);
    elapsed += 50;
  }
  // Nothing the run left behind may act after its end.
  const size_t boxesAtEnd = static_cast<size_t>(view.boxes);
  const bool successAtEnd = succeeded();
  const size_t launchesAtEnd = paths.external.size();
  const int programStartsAtEnd = instrument.Seen().programStarts;
  if (fault.empty()) windows.Advance(kAfterEndMs);

  if (fault.empty() && successAtEnd &&
      (static_cast<size_t>(view.boxes) != boxesAtEnd || engine.State().Failed ||
       paths.external.size() != launchesAtEnd ||
       instrument.Seen().programStarts != programStartsAtEnd)) {
    fault = "the run went on after its success message";
  }
  if (fault.empty() && !successAtEnd && succeeded()) {
    fault = "the success message came after the run had ended";
  }
  if (fault.empty() && succeeded() && !line.liedInBootLoader &&
      !scenario.programmed(instrument, paths)) {
    fault = "success without the firmware in the instrument";
  }
  if (verbose) {
    std::fprintf(stderr, "%s: %s, %u ms, %zu log lines, %d boxes\n", scenario.name,
                 fault.empty() ? "sound" : fault.c_str(), windows.TickCount(), view.log.size(),
                 view.boxes);
  }
  windows.SetMessageHandler(nullptr);
  paths.StopTerminal();
  ports.CloseAll();
  return fault;
}

}  // namespace fuzz
