// The MSP430 loaders against the in-process simulated instrument, on the virtual clock: the
// real engine (reply parser, window-message bridge, programming path), the port double wired to
// the simulator, and a firmware package in a temporary working folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "loaders/msp430/msp430_paths.h"
#include "package/messages.h"
#include "sim/instrument.h"
#include "sim/profile.h"
#include "sim/trace.h"
#include "tests/msp430/firmware_image.h"
#include "tests/support/recording_view.h"
#include "tests/support/run_state_access.h"
#include "tests/support/sim_port.h"
#include "tests/support/stand_in_paths.h"
#include "tests/support/temp_folder.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace msp430_test {

class LoaderRig : public ::testing::Test {
 protected:
  static constexpr int kComNumber = 3;

  LoaderRig() : events(windows) {
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    devices.DeviceKind = package::DeviceKindId::kMsp430;
    devices.AbortText = {"Abbruch", "Abort"};
  }
  ~LoaderRig() override { std::filesystem::current_path(previous_); }

  // The instrument from profile text on COM3 at 9600 baud 8N2; the engine installed with the
  // MSP430 path and the instrument as its answering port.
  void Start(const std::string& profileText) {
    std::vector<std::string> errors;
    profile = sim::ParseProfile(profileText, errors);
    ASSERT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(
        profile, [this] { return static_cast<int64_t>(windows.TickCount()); });
    // LOADER_TRACE=1 prints every byte each way, for a failing run.
    if (std::getenv("LOADER_TRACE")) {
      instrument->SetTraceSink([](const sim::TraceEvent& event) {
        std::printf("%s\n", sim::FormatTrace(event).c_str());
      });
    }
    auto simPort = std::make_unique<test::SimPort>(windows, instrument.get(), kComNumber);
    serial::V24ParameterTag& record = simPort->V24.Parameter;
    record.DatenBits = serial::D_8;
    record.StopBits = serial::S_2;
    record.Baudrate = serial::B__9600;
    port = simPort.get();
    std::vector<std::unique_ptr<serial::TComPort>> table;
    table.push_back(std::move(simPort));
    ports.AdoptPorts(std::move(table), {kComNumber});
    engine = std::make_unique<update::UpdateEngine>(events, view, settings, devices, ports,
                                                    firmwareFiles);
    engine->SetPaths(&paths);
    engine->Install();
    Run().ActivePort = 0;
    Run().ActiveComIndex = kComNumber - 1;
    windows.SetMessageHandler(
        [this](uint32_t message, uintptr_t wParam) { engine->OnWindowMessage(message, wParam); });
    normalLine = port->Line();
    if (instrument->Flash()) oldFlash = std::make_unique<sim::Memory>(*instrument->Flash());
  }

  void WriteImage(const std::string& name, const std::vector<Section>& sections) {
    folder.Write(name, TiTxt(sections));
  }

  // The identification's outcome for a main firmware that is older than the offered one.
  void Identified(const std::string& mainFile, int32_t prozTyp) {
    update::DownloadContext& context = update::RunStateAccess::Record(*engine);
    context.MainFile = mainFile;
    context.ProzTyp = prozTyp;
    context.CurVer = 100;
    context.NewVer = 200;
    Run().SensorPresent = true;
  }

  // ev::kProgramMsp430 as the state machine gets it after the identification; then the run goes on
  // until it has ended (success text) or time runs out.
  void ProgramMainFirmware() {
    events.queue.PostEvent(update::ev::kProgramMsp430);
    events.pump.PumpEvents();
    RunUntil([this] { return view.finished > 0 || !view.boxes.empty(); }, 30000);
  }

  loaders::LoaderHost Host() {
    return loaders::LoaderHost{
        events,
        *port,
        engine->Record(),
        view,
        settings.LanguageIndex,
        devices.StartMode,
        {},
        [this](int32_t type) { return package::DefaultFileForProcessor(devices, type); }};
  }

  // The engine's run, to be put where a test needs it.
  update::RunState& Run() { return update::RunStateAccess::Of(*engine); }

  // Lets virtual time pass (the clock only ever moves forward) until done() or limitMs.
  bool RunUntil(const std::function<bool()>& done, uint32_t limitMs) {
    const uint32_t end = windows.TickCount() + limitMs;
    while (!done()) {
      if (core::TickReached(windows.TickCount(), end)) return false;
      windows.WaitMessages(windows.TickCount() + 10);
    }
    return true;
  }

  // Every flash byte reads as the image says; the rest of each segment the image touches reads
  // erased; every other byte reads erased or as the old firmware left it (nothing written there).
  void ExpectFlashEquals(const std::vector<Section>& sections) {
    const std::map<uint32_t, uint8_t> image = ImageBytes(sections);
    const sim::Memory& flash = *instrument->Flash();
    std::set<uint32_t> touched;
    for (const auto& entry : image) touched.insert(SegmentOf(flash, entry.first));
    int differences = 0;
    for (const sim::Region& region : flash.Regions()) {
      if (!IsFlash(region)) continue;
      for (uint32_t a = region.start; a <= region.end; ++a) {
        const auto it = image.find(a);
        const uint8_t actual = flash.Read(a);
        const bool erased = it == image.end() && touched.count(SegmentOf(flash, a)) > 0;
        const uint8_t expected = it != image.end() ? it->second : 0xFF;
        const bool ok =
            actual == expected || (!erased && it == image.end() && actual == oldFlash->Read(a));
        if (!ok && ++differences <= 5) {
          ADD_FAILURE() << std::hex << "flash at 0x" << a << " reads 0x" << int{actual}
                        << ", the image has 0x" << int{expected}
                        << (it == image.end() ? " (not in the image)" : "");
        }
      }
    }
    EXPECT_EQ(differences, 0);
  }

  // Every byte of main memory reads erased.
  void ExpectMainFlashErased() {
    const sim::Memory& flash = *instrument->Flash();
    for (const sim::Region& region : flash.Regions()) {
      if (region.kind == sim::Region::Kind::MainFlash) {
        EXPECT_TRUE(flash.IsErased(region.start, region.end - region.start + 1));
      }
    }
  }

  static bool IsFlash(const sim::Region& region) {
    return region.kind == sim::Region::Kind::MainFlash ||
           region.kind == sim::Region::Kind::InfoFlash;
  }
  // The first address of the flash segment that holds address.
  static uint32_t SegmentOf(const sim::Memory& flash, uint32_t address) {
    const sim::Region* region = flash.RegionOf(address);
    if (!region || !IsFlash(*region)) return address;
    return std::max(region->start, address / region->segment * region->segment);
  }

  // What every run leaves behind: the engine alone on the chain (and, after a failed
  // programming, the retry waiting for OK), no pool timer claimed, the instrument's line as it
  // was before the run.
  void ExpectCleanEnd() {
    const size_t retry = engine->Flows().failure.Active() ? 1 : 0;
    EXPECT_EQ(events.queue.HandlerCount(), 1u + retry);
    for (int id = 1; id <= events.timers.Count(); ++id) EXPECT_FALSE(events.timers.InUse(id)) << id;
    EXPECT_EQ(port->Line(), normalLine);
  }

  bool BoxShown(messages::MessageId id) const {
    const std::string text(messages::Text(id, settings.LanguageIndex));
    for (const auto& box : view.boxes)
      if (box.text == text) return true;
    return false;
  }

  test::TempFolder folder;
  core::VirtualWindowSystem windows;
  core::EventCore events;
  test::RecordingView view;
  package::Settings settings;
  package::DeviceDescription devices;
  update::PortTable ports{windows};
  test::WithoutOtherLoaders<msp430::Msp430Paths> paths;
  sim::Profile profile;
  std::unique_ptr<sim::Instrument> instrument;
  test::SimPort* port = nullptr;
  std::unique_ptr<update::UpdateEngine> engine;
  std::unique_ptr<sim::Memory> oldFlash;  // the flash as the run found it
  serial::LineConfig normalLine;
  std::vector<std::string> firmwareFiles;

 private:
  std::filesystem::path previous_;
};

}  // namespace msp430_test
