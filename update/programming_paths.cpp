#include "update/programming_paths.h"

#include "package/messages.h"
#include "update/engine.h"
#include "update/event_codes.h"

namespace update {

void ProgrammingPaths::NotAvailable(UpdateEngine& engine, const PathName& path) {
  const int32_t language = engine.Language();
  engine.View().AppendLog(
      std::string(messages::LanguageRow(language) == 1 ? path.english : path.german) +
      std::string(messages::Text(messages::MSG_PATH_NOT_AVAILABLE, language)));
}

void ProgrammingPaths::NotBuilt(UpdateEngine& engine, const PathName& path) {
  NotAvailable(engine, path);
  engine.ProgrammingFailed(update::ev::kProgrammingFailed);
}

int32_t ProgrammingPaths::RunMsp430(UpdateEngine& engine, const Msp430Call&) {
  NotAvailable(engine, {"MSP430-Bootloader", "MSP430 boot loader"});
  return 0;
}

int32_t ProgrammingPaths::RunWinCe(UpdateEngine& engine, const std::string&) {
  NotAvailable(engine, {"WinCE-Übertragung", "WinCE transfer"});
  return 0;
}

int32_t ProgrammingPaths::RunExternalLoader(UpdateEngine& engine, const std::string&) {
  NotAvailable(engine, {"Externes Ladeprogramm", "External loader"});
  return -1;
}

void ProgrammingPaths::StartTerminal(UpdateEngine& engine) {
  NotBuilt(engine, {"Basic-Loader-Terminal", "Basic-Loader terminal"});
}

void ProgrammingPaths::StartMenuProgramming(UpdateEngine& engine) {
  NotBuilt(engine, {"Programmierung aus dem Bootloader", "Programming from the boot loader"});
}

void ProgrammingPaths::StartBenchProgramming(UpdateEngine& engine) {
  NotBuilt(engine, {"Programmierung am Prüfplatz", "Bench programming"});
}

bool ProgrammingPaths::StartMultiFile(UpdateEngine& engine) {
  NotBuilt(engine, {"Übertragung weiterer Dateien", "Transfer of further files"});
  return false;
}

void ProgrammingPaths::StartAirPressure(UpdateEngine& engine) {
  NotBuilt(engine, {"Luftdruck-Kalibrierung", "Air-pressure calibration"});
}

void ProgrammingPaths::ReportFailure(UpdateEngine& engine, int32_t) {
  // Until the retry exists a failed programming ends the run: the abort text, and OK free for
  // a new run.
  UpdateView& view = engine.View();
  engine.StopResponseTimer();
  view.SetSecTimerRunning(false);
  view.SetWaitPanelVisible(false);
  engine.Append(engine.Devices().AbortTextIn(engine.Language()));
  view.SetOkEnabled(true);
}

}  // namespace update
