// The air-pressure calibration value for the instruments that qualify, sent at the end of a run:
// after the dialogue opener, one command per prompt: the value, the end command, the end
// command again; then the run finishes.
#include "core/event_codes.h"
#include "core/number_text.h"
#include "package/messages.h"
#include "update/air_pressure.h"
#include "update/commands.h"
#include "update/engine.h"
#include "update/event_codes.h"
#include "update/programming_flows.h"

namespace update {
namespace {

// AirPressureIndex while the upload runs: the value has been sent, the end command once.
constexpr int32_t kValueSent = -2;
constexpr int32_t kEndSent = -1;

}  // namespace

AirPressureUpload::~AirPressureUpload() {
  End();
}

AirPressureUpload::AirPressureUpload(UpdateEngine& engine)
    : engine_(engine),
      life_(engine.Events(), core::MakeHandler<&AirPressureUpload::AirPressureHandler>(this)) {}

bool AirPressureUpload::Active() {
  return life_.Attached();
}

void AirPressureUpload::End() {
  life_.Detach();
  promptTimer_ = life_.StopTimer(promptTimer_);
}

void AirPressureUpload::Start() {
  life_.Attach();
  promptTimer_ = life_.StopTimer(promptTimer_);
  promptTimer_ = life_.StartTimer(kPromptTimeoutMs);
  engine_.Send(cmd::kOpenDialogue, false);
}

core::EventRecord AirPressureUpload::AirPressureHandler(core::EventQueue&,
                                                        core::EventRecord record) {
  if (record.kind == core::EVK_TIMER && promptTimer_ != 0 && record.code == promptTimer_) {
    End();
    engine_.SetAirPressureIndex(kPressureNotQualified);
    engine_.RunFailedText(engine_.Expand(
        std::string(messages::Text(messages::MSG_TRANSFER_NO_ANSWER, engine_.Language()))));
    return core::ConsumedEvent;
  }
  if (record.kind != core::EVK_EVENT || record.code != ev::kPrompt) return record;
  life_.RestartTimer(promptTimer_);
  const std::string endCommand = cmd::kExitCommands[package::KindRow(engine_.Devices().DeviceKind)];
  switch (const int32_t index = engine_.State().AirPressureIndex) {
    case kValueSent:
      engine_.Send(endCommand);
      engine_.SetAirPressureIndex(kEndSent);
      break;
    case kEndSent:
      End();
      engine_.Send(endCommand);
      engine_.FinishRun(false);
      break;
    default:
      // One decimal after a point, whatever the desktop's locale.
      engine_.Send(cmd::kAirPressurePrefix +
                   core::FixedText(PressureOf(index, engine_.PressureRows()), 1) + "\r\n");
      engine_.SetAirPressureIndex(kValueSent);
      break;
  }
  return core::ConsumedEvent;
}

}  // namespace update
