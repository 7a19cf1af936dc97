// Event core figures: the CPU share of waiting (DelayTime with message processing, and a window
// idling with two running timers) and the post-fetch-dispatch throughput of the event queue.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <chrono>

#include "core/event_core.h"
#include "shell/qt_window_system.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  static auto* app = new QCoreApplication(argc, argv);
  return *app;
}

// Reports CPU time / wall time of body as the counter "cpu_share_%".
template <typename Body>
void MeasureShare(benchmark::State& state, Body body) {
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    body();
    cpu += CpuSeconds() - cpuStart;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["cpu_share_%"] = 100.0 * cpu / wall;
}

void BM_DelayTimeProcessingMessages(benchmark::State& state) {
  App();
  shell::QtWindowSystem windows;
  core::EventCore events(windows);
  MeasureShare(state, [&] { events.wait.DelayTime(2000, true); });
}
BENCHMARK(BM_DelayTimeProcessingMessages)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IdleWithTwoTimers(benchmark::State& state) {
  App();
  shell::QtWindowSystem windows;
  core::EventCore events(windows);
  events.timers.TimerStart(5000);  // an answer time-out
  events.timers.TimerStart(500);   // a progress tick
  MeasureShare(state, [&] {
    const uint32_t end = windows.TickCount() + 3000;
    while (!core::TickReached(windows.TickCount(), end)) windows.WaitMessages(end);
  });
}
BENCHMARK(BM_IdleWithTwoTimers)->Iterations(1)->Unit(benchmark::kMillisecond);

struct Sink {
  int64_t seen = 0;
  core::EventRecord Handle(core::EventQueue&, core::EventRecord record) {
    seen += record.code;
    return record.code == 10000 ? core::ConsumedEvent : record;
  }
};

void BM_PostFetchDispatch(benchmark::State& state) {
  core::EventQueue queue;
  Sink base, loader;
  queue.AddHandler(core::MakeHandler<&Sink::Handle>(&base));
  queue.AddHandler(core::MakeHandler<&Sink::Handle>(&loader));
  for (auto _ : state) {
    queue.PostEvent(10000, core::PortNumber{1});
    queue.PostTimer(3);
    benchmark::DoNotOptimize(queue.Dispatch(queue.Fetch()));
    benchmark::DoNotOptimize(queue.Dispatch(queue.Fetch()));
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_PostFetchDispatch);

}  // namespace

BENCHMARK_MAIN();
