// One updater session, shared by the window and update-cli: the event core, the port table, the
// update engine with its programming paths, and the bridge that turns the ports' window messages
// into events. The front-end supplies the view and the package's files; the session owns the
// rest and leaves no handler behind when it goes.
#pragma once

#include <string>
#include <vector>

#include "core/event_core.h"
#include "loaders/loader_paths.h"
#include "package/device_file.h"
#include "package/settings.h"
#include "serial/com_port.h"
#include "update/engine.h"
#include "update/port_table.h"
#include "update/update_view.h"

namespace shell {

class UpdateSession {
 public:
  // Takes the port inventory and puts the engine on the event chain. The settings and the
  // device description must outlive the session.
  UpdateSession(core::WindowSystem& windows, update::UpdateView& view, package::Settings& settings,
                package::DeviceDescription& devices, std::vector<std::string> firmwareFiles,
                serial::ErrorBox portErrorBox);
  ~UpdateSession();
  UpdateSession(const UpdateSession&) = delete;
  UpdateSession& operator=(const UpdateSession&) = delete;

  // Why a run cannot use a port (no port, none permitted, the fixed one missing or busy), in
  // the run's language; empty when OpenPorts can open one.
  std::string PortProblem() const;
  // Takes the port inventory again (a port may have been plugged in or freed since the start).
  void RetakeInventory() { ports_.TakeInventory(); }
  // Opens the port Update.ini fixes, or every usable port; returns the text of status panel 0.
  std::string OpenPorts();
  // For the log after OpenPorts: the device file of each opened port, then the fix for ports
  // this user may not open (when there are any).
  std::vector<std::string> PortNotes() const;
  // The OK button: starts a run.
  void PressOk();
  // Stops what a loader still sends; called before the ports close.
  void StopLoaders() { paths_.StopTerminal(); }

  core::EventCore& Events() { return events_; }
  update::PortTable& Ports() { return ports_; }
  update::UpdateEngine& Engine() { return engine_; }

 private:
  core::WindowSystem& windows_;
  const package::Settings& settings_;
  core::EventCore events_;
  update::PortTable ports_;
  loaders::LoaderPaths paths_;
  update::UpdateEngine engine_;
};

}  // namespace shell
