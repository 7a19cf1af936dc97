// One run of an MSP430 loader against a scripted boot loader whose behaviour the fuzz input
// decides write by write: answer as a willing boot loader would, lose the frame or the answer,
// deliver the answer byte by byte or with one byte spoilt, or send bytes the input makes up.
// Every run must end (libFuzzer's time-out catches one that does not), leave no handler, timer
// or changed line behind, and report success only with the flash as the image says, unless
// the input made up answers (a boot loader that lies cannot be caught).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "fuzz/support.h"
#include "loaders/run/loader_host.h"
#include "serial/window_messages.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/firmware_image.h"
#include "tests/msp430/script_port.h"
#include "update/download_context.h"
#include "update/event_codes.h"

namespace fuzz {

using msp430_test::Chunk;

enum class Behaviour : uint8_t {
  Answer,         // the willing boot loader's answer
  LoseFrame,      // the frame never reached it: no answer
  LoseAnswer,     // it acted on the frame, its answer was lost
  ByteWise,       // the answer one byte per read
  Spoilt,         // the answer with one byte changed on the line
  MadeUp,         // the frame lost, bytes from the input instead
  AnswerAndMore,  // the answer, then bytes from the input
  kCount
};

// Turns the willing boot loader's answer to one write into what the line delivers.
template <typename Willing>
class FaultyBootLoader {
 public:
  FaultyBootLoader(Willing& willing, Input& input) : willing_(willing), input_(input) {}

  std::vector<Chunk> Answer(const std::vector<uint8_t>& written) {
    // An input that has run out answers everything.
    const auto behaviour = static_cast<Behaviour>(input_.Byte() % uint8_t(Behaviour::kCount));
    if (behaviour == Behaviour::LoseFrame) return {};
    if (behaviour == Behaviour::MadeUp) {
      madeUp = true;
      return {MadeUpBytes()};
    }
    Chunk answer = willing_.Answer(written);
    switch (behaviour) {
      case Behaviour::LoseAnswer:
        return {};
      case Behaviour::ByteWise: {
        std::vector<Chunk> bytes;
        for (uint8_t b : answer) bytes.push_back({b});
        return bytes;
      }
      case Behaviour::Spoilt:
        if (!answer.empty()) {
          const uint8_t change = input_.Byte();
          answer[input_.Byte() % answer.size()] ^= change ? change : 1;
        }
        return {answer};
      case Behaviour::AnswerAndMore:
        madeUp = true;
        return {answer, MadeUpBytes()};
      default:
        return {answer};
    }
  }

  bool madeUp = false;

 private:
  Chunk MadeUpBytes() {
    const std::string_view bytes = input_.Bytes(input_.Byte() % 24);
    return Chunk(bytes.begin(), bytes.end());
  }

  Willing& willing_;
  Input& input_;
};

// The event core on the virtual clock with the bridge from port arrivals to received events, as
// the engine has it while a loader runs.
struct LoaderBench {
  LoaderBench() : events(windows) {
    windows.SetMessageHandler([this](uint32_t message, uintptr_t port) {
      if (message != serial::WM_V24_RECEIVED) return;
      events.queue.PostEvent(update::ev::kReceived, core::PortNumber{static_cast<int32_t>(port)});
      events.pump.PumpEvents();
    });
    context.BenchMode = true;  // the boot loader is waiting: no dialogue
  }

  core::VirtualWindowSystem windows;
  core::EventCore events;
  NullView view;
  update::DownloadContext context;
};

// Runs Loader over the image against the faulty boot loader and checks the run's end.
template <typename Loader, typename Willing>
void RunLoader(Input& input, const std::vector<msp430_test::Section>& image) {
  static const std::string file = Scratch().Write("image.txt", msp430_test::TiTxt(image)).string();
  LoaderBench bench;
  Willing willing;
  FaultyBootLoader<Willing> bootLoader(willing, input);
  msp430_test::ScriptPort port(bench.windows, [&](size_t, const std::vector<uint8_t>& written) {
    return bootLoader.Answer(written);
  });
  const serial::BaudTag lineBefore = port.Baud();
  int32_t result = 0;
  {
    Loader loader(loaders::LoaderHost{bench.events,
                                      port,
                                      bench.context,
                                      bench.view,
                                      0,
                                      package::StartVariant::kOpenDialogue,
                                      {},
                                      {}});
    result = loader.Execute(0, file, true, false).programmed ? 1 : 0;
  }
  // FUZZ_VERBOSE=1 tells how a run ended, for replaying a single input.
  if (std::getenv("FUZZ_VERBOSE")) {
    std::fprintf(stderr, "result %d, %zu writes, answers made up: %d, boxes: %d\n", result,
                 port.writes.size(), bootLoader.madeUp ? 1 : 0, bench.view.boxes);
  }
  if (result != 0 && result != 1) Fail();
  if (result == 0 && bench.view.boxes == 0) Fail();  // a failure the user never hears of
  if (bench.events.queue.HandlerCount() != 0) Fail();
  for (int id = 1; id <= bench.events.timers.Count(); ++id) {
    if (bench.events.timers.InUse(id)) Fail();
  }
  if (port.Baud() != lineBefore) Fail();
  if (result != 1 || bootLoader.madeUp) return;
  for (const auto& [address, value] : msp430_test::ImageBytes(image)) {
    if (willing.memory.Read(address, 1).at(0) != value) Fail();
  }
}

}  // namespace fuzz
