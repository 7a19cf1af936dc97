#include "update/programming_paths.h"

#include "package/messages.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

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
  engine.Flows().menu.TG480eProgrammingClick();
}

void ProgrammingPaths::StartBenchProgramming(UpdateEngine& engine) {
  engine.Flows().menu.BenchXXXClick();
}

bool ProgrammingPaths::StartMultiFile(UpdateEngine& engine) {
  return engine.Flows().multiFile.StartMultiFile();
}

void ProgrammingPaths::StartAirPressure(UpdateEngine& engine) {
  engine.Flows().airPressure.Start();
}

void ProgrammingPaths::ReportFailure(UpdateEngine& engine, int32_t code) {
  engine.Flows().failure.ReportFailure(code);
}

}  // namespace update
