// Programming and verifying a 60 KiB image with the simulated instrument pacing every byte at
// its wire time (38400 baud after the speed change), on the virtual clock: the line time of a
// run against its floor (the bytes on the wire at 38400 baud plus the waits the sequence
// prescribes), and the CPU time the loader and the simulator take for it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "serial/window_messages.h"
#include "sim/instrument.h"
#include "tests/support/sim_port.h"
#include "update/event_codes.h"
#include "update/update_view.h"

namespace {

struct QuietView : update::UpdateView {
  void AppendLog(std::string_view) override {}
  void ClearLog() override {}
  void SetDeviceField(update::DeviceField, std::string_view) override {}
  void SetStatusPanel(int, std::string_view) override {}
  void RepaintStatusBar() override {}
  void SetApplicationTitle(std::string_view) override {}
  void SetProgress(int32_t value) override { position = value; }
  int32_t Progress() const override { return position; }
  void SetProgressMax(int32_t value) override { maximum = value; }
  int32_t ProgressMax() const override { return maximum; }
  update::BoxAnswer ShowMessage(update::BoxIcon, update::BoxButtons, std::string_view,
                                std::string_view text) override {
    std::fprintf(stderr, "box: %.*s\n", static_cast<int>(text.size()), text.data());
    ++boxes;
    return update::BoxAnswer::Ok;
  }
  void SetOkEnabled(bool) override {}
  void SetWaitPanelVisible(bool) override {}
  void SetSecTimerRunning(bool) override {}
  void EnableProgrammingMenu() override {}
  void CloseWindow() override {}
  int32_t position = 0, maximum = 0, boxes = 0;
};

struct Section {
  uint32_t address;
  size_t size;
};

std::string TiTxt(const std::vector<Section>& sections, uint16_t resetVector) {
  std::string text;
  char buffer[16];
  auto row = [&](uint32_t address, size_t count, auto byteAt) {
    std::snprintf(buffer, sizeof buffer, "@%04X\r\n", address);
    text += buffer;
    for (size_t i = 0; i < count; ++i) {
      std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned>(byteAt(i)));
      text += buffer;
      text += (i % 16 == 15 || i + 1 == count) ? "\r\n" : " ";
    }
  };
  for (const Section& s : sections) row(s.address, s.size, [](size_t i) { return (i * 7) & 0xFF; });
  row(0xFFE0, 32, [resetVector](size_t i) {
    return i >= 28 ? (i % 2 ? resetVector >> 8 : resetVector & 0xFF) : 0xFF;
  });
  return text + "q\r\n";
}

void ProgramImage(benchmark::State& state, bool f5xx) {
  const uint16_t reset = f5xx ? 0x5C00 : 0x1100;
  // 60 KiB below the vector table; the F5xx part carries 20 KiB of it above 0x10000.
  const std::vector<Section> sections =
      f5xx ? std::vector<Section>{{0x5C00, 40960}, {0x10000, 20480}}
           : std::vector<Section>{{0x1100, 0xFC00 - 0x1100}};
  char folder[] = "/tmp/loader-bench-XXXXXX";
  const std::string file = std::string(mkdtemp(folder)) + "/image.txt";
  std::ofstream(file, std::ios::binary) << TiTxt(sections, reset);
  // The waits the sequence prescribes: restart into the boot loader, around the speed change,
  // before the start, after the run.
  const double waits = f5xx ? 4 + 1 + 3 + 1.5 : 8 + 2 + 1 + 1.5;

  double line = 0, floor = 0;
  for (auto _ : state) {
    core::VirtualWindowSystem windows;
    core::EventCore events(windows);
    QuietView view;
    update::DownloadContext context;
    context.BenchMode = true;  // waiting in its boot loader; the password word is known
    context.BslPasswordKnown = true;
    context.BslPasswordWord = reset;
    context.FlashErase2 = f5xx ? 0x15000 : 0;
    std::vector<std::string> errors;
    const sim::Profile profile = sim::ParseProfile(
        std::string("[line]\npace = 1\n[bootloader]\nstart_in_bootloader = 1\ntarget = ") +
            (f5xx ? "f5xx\nflash_end = 0x25BFF\n" : "classic\n"),
        errors);
    sim::Instrument instrument(profile, [&] { return int64_t{windows.TickCount()}; });
    size_t bytes = 0;
    instrument.SetTraceSink([&bytes](const sim::TraceEvent& event) {
      if (event.kind != sim::TraceEvent::Kind::Note) bytes += event.bytes.size();
    });
    test::SimPort port(windows, &instrument, 1);
    port.Open(nullptr, 0, false);
    windows.SetMessageHandler([&events](uint32_t message, uintptr_t wParam) {
      if (message != serial::WM_V24_RECEIVED) return;
      events.queue.PostEvent(update::ev::kReceived, core::PortNumber{static_cast<int32_t>(wParam)});
      events.pump.PumpEvents();
    });
    const loaders::LoaderHost host{events, port, context, view, 0, {}, {}, {}};
    std::unique_ptr<msp430::Msp430Loader> loader;
    if (f5xx) {
      loader = std::make_unique<msp430::T_BSL_54XX_430>(host);
    } else {
      loader = std::make_unique<msp430::T_BSL430>(host);
    }
    const uint32_t start = windows.TickCount();
    if (!loader->Execute(0, file, true, false).programmed) state.SkipWithError("the run failed");
    line += (windows.TickCount() - start) / 1000.0;
    floor += bytes * 11.0 / 38400 + waits;
  }
  std::filesystem::remove_all(folder);
  state.counters["line_s"] = line / state.iterations();
  state.counters["floor_s"] = floor / state.iterations();
  state.counters["ratio"] = line / floor;
}

BENCHMARK_CAPTURE(ProgramImage, classic_60KiB_38400, false)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ProgramImage, f5xx_60KiB_38400, true)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
