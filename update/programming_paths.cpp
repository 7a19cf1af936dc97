#include "update/programming_paths.h"

#include "update/engine.h"
#include "update/programming_flows.h"

namespace update {

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
