// What an MSP430 loader uses of the update engine for one run. The loader owns none of it: the
// event core, the instrument's port, the run's record and the window stay the engine's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/event_core.h"
#include "package/device_file.h"
#include "serial/com_port.h"
#include "update/download_context.h"
#include "update/update_view.h"

namespace msp430 {

struct LoaderHost {
  core::EventCore& events;
  serial::TComPort& port;
  update::DownloadContext& context;
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

  // The password word (reset vector) the instrument's boot loader takes; a later start of this
  // run's boot loader without the dialogue (a bench start) enters with it.
  void RememberPasswordWord(int32_t word) {
    context.BslPasswordWord = word;
    context.BslPasswordKnown = true;
  }
  // The firmware file reloaded for the reported chip carried the "@" mark.
  void MarkSecondFile() { context.SecondFileMarked = true; }
};

}  // namespace msp430
