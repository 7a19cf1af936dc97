// The end of a failed programming: the abort text of the device description, OK free again,
// and (for a programming that may be repeated) OK takes the programming up again.
#include "core/event_codes.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace update {

FailureReport::~FailureReport() {
  End();
}

FailureReport::FailureReport(UpdateEngine& engine)
    : engine_(engine),
      life_(engine.Events(), core::MakeHandler<&FailureReport::RetryHandler>(this)) {}

bool FailureReport::Active() {
  return life_.Attached();
}

void FailureReport::End() {
  life_.Detach();
}

void FailureReport::ReportFailure(int32_t code) {
  UpdateView& view = engine_.View();
  engine_.StopResponseTimer();
  view.SetSecTimerRunning(false);
  view.SetWaitPanelVisible(false);
  // The log keeps what the loader said about the failure; the abort text follows it.
  engine_.Append(engine_.Devices().AbortTextIn(engine_.Language()));
  view.SetOkEnabled(true);
  // The secondary processor's failure is not repeated: OK starts a new run.
  if (code == ev::kProgrammingFailed) life_.Attach();
}

core::EventRecord FailureReport::RetryHandler(core::EventQueue&, core::EventRecord record) {
  if (record.kind != core::EVK_KEY || record.code != core::KEY_OK) return record;
  End();
  UpdateView& view = engine_.View();
  view.SetOkEnabled(false);
  view.ClearLog();
  view.SetSecTimerRunning(false);
  view.SetProgress(0);
  engine_.RetryRun();
  return core::ConsumedEvent;
}

}  // namespace update
