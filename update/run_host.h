// What a loader may use of the run it programs for, and what it reports back. The update engine
// implements it; a loader sees nothing else of the engine.
#pragma once

#include <cstdint>
#include <string>

#include "core/event_core.h"
#include "package/device_file.h"
#include "serial/com_port.h"
#include "update/download_context.h"
#include "update/loader_result.h"
#include "update/update_view.h"

namespace update {

class RunHost {
 public:
  virtual ~RunHost() = default;

  // The event core, the window and the instrument's port (null when the run has none) with its
  // number in the port table.
  virtual core::EventCore& Events() = 0;
  virtual UpdateView& View() = 0;
  virtual serial::TComPort* ActiveComPort() const = 0;
  virtual int32_t ActiveComIndex() const = 0;
  // The run's language (0 German, 1 English).
  virtual int32_t Language() const = 0;
  // The device description and what the run knows of the instrument.
  virtual const package::DeviceDescription& Devices() const = 0;
  virtual const DownloadContext& Record() const = 0;
  // The same version is programmed again.
  virtual bool ForceSameVersion() const = 0;
  // A log text with the run's placeholders (NAME, COM X, DATEI) filled in.
  virtual std::string Expand(const std::string& text) const = 0;
  // A line for the debug log.
  virtual void LogLine(const std::string& text) = 0;

  // The password word (reset vector) the instrument's boot loader takes; a later start of this
  // run's boot loader without the dialogue (a bench start) enters with it.
  virtual void RememberPasswordWord(int32_t word) = 0;
  // The firmware file reloaded for the reported chip carried the "@" mark.
  virtual void MarkSecondFile() = 0;
  // A loader that runs by itself after its start (the Basic-Loader terminal) has ended.
  virtual void LoaderEnded(const LoaderResult& result) = 0;
};

}  // namespace update
