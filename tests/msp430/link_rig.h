// A loader alone with a scripted boot loader: the event core on the virtual clock, the bridge
// that turns arrivals into data-received events, and a run started in boot-loader mode.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "loaders/run/loader_host.h"
#include "serial/window_messages.h"
#include "tests/msp430/firmware_image.h"
#include "tests/msp430/script_port.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_folder.h"
#include "update/download_context.h"
#include "update/event_codes.h"

namespace msp430_test {

class LinkRig : public ::testing::Test {
 protected:
  LinkRig() : events(windows) {
    windows.SetMessageHandler([this](uint32_t message, uintptr_t port) {
      if (message != serial::WM_V24_RECEIVED) return;
      events.queue.PostEvent(update::ev::kReceived, core::PortNumber{static_cast<int32_t>(port)});
      events.pump.PumpEvents();
    });
    context.BenchMode = true;  // the boot loader is waiting: no dialogue
    image =
        folder.Write("image.txt", TiTxt({{0x1100, Pattern(64, 3)}, VectorTable(0xFFE0, 0x1100)}))
            .string();
  }

  // The port answering by script; Host() then refers to it.
  void UseScript(ScriptPort::Script script) {
    port = std::make_unique<ScriptPort>(windows, std::move(script));
  }
  loaders::LoaderHost Host() { return {events, *port, context, view, 0, {}, {}, {}}; }

  // The command byte of a frame (offset 1 classic, 3 F5xx) or the single byte written.
  uint8_t WrittenCommand(size_t index, size_t offset) const {
    const auto& bytes = port->writes.at(index).bytes;
    return bytes.size() == 1 ? bytes[0] : bytes.at(offset);
  }
  size_t Written() const { return port->writes.size(); }

  test::TempFolder folder;
  core::VirtualWindowSystem windows;
  core::EventCore events;
  test::RecordingView view;
  update::DownloadContext context;
  std::unique_ptr<ScriptPort> port;
  std::string image;
};

}  // namespace msp430_test
