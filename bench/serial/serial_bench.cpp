// Latency of the serial path on a pty, and the CPU an open idle port costs.
//   received: a byte written at the pty master until event 10000 is dispatched on the window
//             thread (reader thread, posted message, bridge, handler chain);
//   write:    TComPort::Write until the bytes are readable at the master.
// Median and 99th percentile are reported as counters (target: median below 1 ms).
#include <benchmark/benchmark.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "core/event_codes.h"
#include "core/event_core.h"
#include "serial/com_port.h"
#include "serial/window_messages.h"
#include "shell/qt_window_system.h"
#include "tests/serial/pty_fixture.h"
#include "update/event_codes.h"

namespace {

using Clock = std::chrono::steady_clock;

void ReportLatencies(benchmark::State& state, std::vector<double>& micros) {
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

double MicrosSince(Clock::time_point start, Clock::time_point end = Clock::now()) {
  return std::chrono::duration<double, std::micro>(end - start).count();
}

void WaitReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  poll(&p, 1, 1000);
}

struct Dispatched {
  serial::TComPort* port = nullptr;
  Clock::time_point at;
  bool seen = false;
  core::EventRecord Handle(core::EventQueue&, core::EventRecord record) {
    if (record.kind != core::EVK_EVENT || record.code != update::ev::kReceived) return record;
    at = Clock::now();
    seen = true;
    char byte[2];
    port->Read(byte, 1);  // answers the notification, as the reply parser does
    return core::ConsumedEvent;
  }
};

void BM_ReceivedToEvent(benchmark::State& state) {
  ptytest::PortDir dir;
  ptytest::Pty& pty = dir.Add(1);
  shell::QtWindowSystem windows;
  core::EventCore events(windows);
  windows.SetMessageHandler([&](uint32_t message, uintptr_t wParam) {
    if (message != serial::WM_V24_RECEIVED) return;
    events.queue.PostEvent(update::ev::kReceived, core::PortNumber{static_cast<int32_t>(wParam)});
    events.pump.PumpEvents();
  });
  serial::TComPort port(serial::TComPort::Inventory::Skip);
  port.Open(&windows, 0, true);
  Dispatched dispatched;
  dispatched.port = &port;
  events.queue.AddHandler(core::MakeHandler<&Dispatched::Handle>(&dispatched));

  std::vector<double> micros;
  for (auto _ : state) {
    dispatched.seen = false;
    const Clock::time_point start = Clock::now();
    pty.Send("x");
    while (!dispatched.seen) windows.WaitMessages(windows.TickCount() + 100);
    const double latency = MicrosSince(start, dispatched.at);
    micros.push_back(latency);
    state.SetIterationTime(latency / 1e6);
  }
  ReportLatencies(state, micros);
  port.Close();
  windows.SetMessageHandler(nullptr);
}
BENCHMARK(BM_ReceivedToEvent)->UseManualTime()->Iterations(2000);

void BM_WriteToMaster(benchmark::State& state) {
  const bool async = state.range(0) != 0;
  ptytest::PortDir dir;
  ptytest::Pty& pty = dir.Add(1);
  serial::TComPort port(serial::TComPort::Inventory::Skip);
  port.Open(nullptr, 0, true);
  const std::string command = "A.2000\r\n";
  std::vector<double> micros;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    while (port.Write(command.c_str(), -1, async) == serial::kTransmitterBusy) {
      std::this_thread::yield();
    }
    WaitReadable(pty.Master());
    const double latency = MicrosSince(start);
    micros.push_back(latency);
    state.SetIterationTime(latency / 1e6);
    pty.Receive(command.size(), 100);
  }
  ReportLatencies(state, micros);
}
BENCHMARK(BM_WriteToMaster)->Arg(0)->Arg(1)->UseManualTime()->Iterations(2000);

// CPU time of the whole process (reader and writer threads included) over three seconds in
// which nothing arrives, with one port open (range 1) and, for the noise floor, none (range 0).
void BM_IdleOpenPortCpu(benchmark::State& state) {
  ptytest::PortDir dir;
  dir.Add(1);
  serial::TComPort port(serial::TComPort::Inventory::Skip);
  if (state.range(0) != 0) port.Open(nullptr, 0, true);
  for (auto _ : state) {
    const auto cpuBefore = ptytest::ProcessCpuTime();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto cpu = ptytest::ProcessCpuTime() - cpuBefore;
    state.counters["cpu_us_per_s"] = static_cast<double>(cpu.count()) / 3.0;
  }
}
BENCHMARK(BM_IdleOpenPortCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
