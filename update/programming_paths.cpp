#include "update/programming_paths.h"

#include "package/messages.h"
#include "update/engine.h"
#include "update/event_codes.h"

namespace update {

void ProgrammingPaths::NotAvailable(UpdateEngine& engine, const char* path) {
  engine.View().AppendLog(std::string(path) + ": not available in this program version.");
}

int32_t ProgrammingPaths::RunMsp430(UpdateEngine& engine, const Msp430Call&) {
  NotAvailable(engine, "MSP430 boot loader");
  return 0;
}

int32_t ProgrammingPaths::RunWinCe(UpdateEngine& engine, const std::string&) {
  NotAvailable(engine, "WinCE transfer");
  return 0;
}

int32_t ProgrammingPaths::RunExternalLoader(UpdateEngine& engine, const std::string&) {
  NotAvailable(engine, "External loader");
  return -1;
}

void ProgrammingPaths::StartTerminal(UpdateEngine& engine) {
  NotAvailable(engine, "Basic-Loader terminal");
  ReportFailure(engine, update::ev::kProgrammingFailed);
}

void ProgrammingPaths::StartMenuProgramming(UpdateEngine& engine) {
  NotAvailable(engine, "Programming from the boot loader");
  ReportFailure(engine, update::ev::kProgrammingFailed);
}

void ProgrammingPaths::StartBenchProgramming(UpdateEngine& engine) {
  NotAvailable(engine, "Bench programming");
  ReportFailure(engine, update::ev::kProgrammingFailed);
}

bool ProgrammingPaths::StartMultiFile(UpdateEngine& engine) {
  NotAvailable(engine, "Transfer of further files");
  ReportFailure(engine, update::ev::kProgrammingFailed);
  return false;
}

void ProgrammingPaths::StartAirPressure(UpdateEngine& engine) {
  NotAvailable(engine, "Air-pressure calibration");
  ReportFailure(engine, update::ev::kProgrammingFailed);
}

void ProgrammingPaths::ReportFailure(UpdateEngine& engine, int32_t) {
  // Until the retry exists a failed programming ends the run: the abort text, and OK free for
  // a new run.
  UpdateView& view = engine.View();
  engine.Run.ResponseTimer = engine.Events().timers.TimerStop(engine.Run.ResponseTimer);
  view.SetSecTimerRunning(false);
  view.SetWaitPanelVisible(false);
  engine.Append(engine.Devices().AbortTextIn(engine.Language()));
  view.SetOkEnabled(true);
}

}  // namespace update
