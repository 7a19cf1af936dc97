// One updater session, shared by the window and update-cli: the event core, the port table, the
// update engine with its programming paths, and the bridge that turns the ports' window messages
// into events. The front-end supplies the view and the package's files; the session owns the
// rest and leaves no handler behind when it goes.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "loaders/loader_paths.h"
#include "package/device_file.h"
#include "package/settings.h"
#include "serial/com_port.h"
#include "update/engine.h"
#include "update/port_table.h"
#include "update/run_record.h"
#include "update/update_view.h"

namespace shell {

// How a run ended, as the front-end saw it: the success message, OK offered again, or the
// program told to close.
enum class RunEnd { kSuccess, kFailed, kClosed };

// The result a run is recorded with: how it ended, whether a question of it was answered No,
// whether the instrument had anything older than the package offered, and the run's state.
update::RunResult RunResultOf(RunEnd end, bool answeredNo, bool anythingOlder,
                              const update::RunState& run);

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

  using RunEnd = shell::RunEnd;
  // Where each run's line of the run record goes; empty: no record.
  void SetRecordFile(std::filesystem::path file) { recordFile_ = std::move(file); }
  const std::filesystem::path& RecordFile() const { return recordFile_; }
  // The run begun by the first OK since the last record has ended; answeredNo when a question
  // of the run was answered No. The record of the run.
  update::RunRecord RecordOf(RunEnd end, bool answeredNo) const;
  // Appends the record of the ended run to the record file (when there is one); a record that
  // cannot be written is a warning in the log, never a failed run. The next OK begins a new run.
  update::RunRecord RecordRun(RunEnd end, bool answeredNo);

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
  std::filesystem::path recordFile_;
  bool runBegun_ = false;
  std::chrono::steady_clock::time_point runStart_;
};

}  // namespace shell
