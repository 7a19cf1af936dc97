// An engine on the virtual clock with simulator-backed ports: a firmware package in a temporary
// working folder, the recording view, and an instrument on one of the ports.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "sim/instrument.h"
#include "sim/profile.h"
#include "tests/support/recording_view.h"
#include "tests/support/run_state_access.h"
#include "tests/support/sim_port.h"
#include "tests/support/stand_in_paths.h"
#include "tests/support/temp_folder.h"
#include "update/engine.h"

namespace test {

// A TI-TXT firmware file whose version text (pattern "@F000\r\n") is version.
inline std::string FirmwareText(const std::string& version) {
  std::string hex;
  for (char c : version) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(c));
    hex += pair;
  }
  return "@F000\r\n" + hex + "00\r\n@FFFE\r\n00 11\r\nq\r\n";
}

// Records the programming paths the engine reaches and answers them as told.
struct RecordingPaths : WithoutOtherLoaders<update::ProgrammingPaths> {
  std::vector<update::Msp430Call> msp430;
  // Non-zero: the loader programs.
  int32_t result = 1;
  update::LoaderResult RunMsp430(update::RunHost&, const update::Msp430Call& call) override {
    msp430.push_back(call);
    return result != 0 ? update::LoaderResult::Programmed() : update::LoaderResult::Failed();
  }
};

class EngineFixture : public ::testing::Test {
 protected:
  EngineFixture() : events(windows) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    settings.BaudSearchList = {3};
    settings.BaudCount = 1;
    package::DeviceEntry entry;
    entry.DeviceNrDef = "20363.000";
    entry.DeviceNr = "20363.000";
    entry.DeviceName = "pH 3310";
    entry.ProgFile2 = "pH3310.txt";
    entry.SWKenn2 = "@F000\r\n";
    entry.ProzTyp = 0x149;
    devices.DeviceTable.push_back(entry);
    devices.DeviceKind = package::DeviceKindId::kMsp430;
    devices.StartMode = devices.SavedStartMode = package::StartVariant::kDirectIdent;
    devices.AbortText = {"Abbruch\r\nGerät aus- und einschalten\r\nEnde", "Abort\r\nCycle\r\nEnd"};
    folder.Write("pH3310.txt", FirmwareText("1.30"));
  }
  ~EngineFixture() override { std::filesystem::current_path(previous_); }

  // Builds the instrument from profile text (empty: no instrument) and ports COM1..COMn with
  // the instrument on COM instrumentPort; installs the engine.
  void Start(const std::string& profileText, int ports = 1, int instrumentPort = 1) {
    if (!profileText.empty()) {
      std::vector<std::string> errors;
      profile = sim::ParseProfile(profileText, errors);
      ASSERT_TRUE(errors.empty()) << errors.front();
      instrument = std::make_unique<sim::Instrument>(
          profile, [this] { return static_cast<int64_t>(windows.TickCount()); });
    }
    std::vector<std::unique_ptr<serial::TComPort>> table;
    std::vector<int> numbers;
    for (int n = 1; n <= ports; ++n) {
      std::unique_ptr<SimPort> port = MakePort(n == instrumentPort ? instrument.get() : nullptr, n);
      simPorts.push_back(port.get());
      table.push_back(std::move(port));
      numbers.push_back(n);
    }
    portTable.AdoptPorts(std::move(table), numbers);
    engine = std::make_unique<update::UpdateEngine>(events, view, settings, devices, portTable,
                                                    std::vector<std::string>{"pH3310.txt"});
    engine->SetPaths(&paths);
    engine->Install();
    windows.SetMessageHandler(
        [this](uint32_t message, uintptr_t wParam) { engine->OnWindowMessage(message, wParam); });
  }

  // The port double of COM n (instrument may be null: nobody answers there).
  virtual std::unique_ptr<SimPort> MakePort(sim::Instrument* instrument, int n) {
    return std::make_unique<SimPort>(windows, instrument, n);
  }

  // The engine's run, to be put where a test needs it.
  update::RunState& Run() { return update::RunStateAccess::Of(*engine); }

  void PressOk() {
    events.queue.PostKey(core::KEY_OK);
    events.pump.PumpEvents();
  }
  // Lets virtual time pass until done() or limitMs.
  bool RunUntil(const std::function<bool()>& done, uint32_t limitMs = 120000) {
    const uint32_t end = windows.TickCount() + limitMs;
    while (!done()) {
      if (core::TickReached(windows.TickCount(), end)) return false;
      windows.Advance(10);
    }
    return true;
  }
  std::vector<std::string> Commands() const { return instrument->Seen().commands; }
  bool Sent(const std::string& command) const {
    for (const std::string& seen : Commands()) {
      if (seen == command) return true;
    }
    return false;
  }

  TempFolder folder;
  core::VirtualWindowSystem windows;
  core::EventCore events;
  RecordingView view;
  package::Settings settings;
  package::DeviceDescription devices;
  update::PortTable portTable{windows};
  RecordingPaths paths;
  sim::Profile profile;
  std::unique_ptr<sim::Instrument> instrument;
  std::vector<SimPort*> simPorts;
  std::unique_ptr<update::UpdateEngine> engine;

 private:
  std::filesystem::path previous_;
};

}  // namespace test
