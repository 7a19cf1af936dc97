// What a loader object uses of the run it programs for, taken from the run's host for one run on
// one port. The loader owns none of it: the event core, the port, the run's record and the
// window stay the run's. Tests build it from parts of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/event_core.h"
#include "package/device_file.h"
#include "serial/com_port.h"
#include "update/download_context.h"
#include "update/run_host.h"
#include "update/update_view.h"

namespace loaders {

struct LoaderHost {
  core::EventCore& events;
  serial::TComPort& port;
  const update::DownloadContext& context;
  update::UpdateView& view;
  int32_t languageIndex = 0;
  // StartMode of the device description: a sensor instrument's line stays at 9600 baud 8N2
  // after a success.
  package::StartVariant startMode = package::StartVariant::kOpenDialogue;
  // Commands sent in the dialogue, for the debug log; may be empty.
  std::function<void(const std::string&)> logLine;
  // The firmware file of the device entry for a processor type (classic image reload once the
  // chip is known); may be empty.
  std::function<std::string(int32_t processorType)> defaultFileForProcessor;
  // What the loader reports back to the run; empty where nobody keeps it.
  update::RunHost* run = nullptr;

  void RememberPasswordWord(int32_t word) const {
    if (run) run->RememberPasswordWord(word);
  }
  void MarkSecondFile() const {
    if (run) run->MarkSecondFile();
  }
};

// The host of a loader that programs for run on port.
LoaderHost HostFor(update::RunHost& run, serial::TComPort& port);
// The run's port to the instrument; null, after the log has said so in the run's language, when
// the run has none. loader names the loader in that line.
serial::TComPort* InstrumentPort(update::RunHost& run, std::string_view loader);

}  // namespace loaders
