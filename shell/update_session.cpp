#include "shell/update_session.h"

#include <utility>

#include "shell/time_scale.h"

namespace shell {
namespace {

// The inventory is taken before the engine exists: the engine reads the port table's count.
update::PortTable& Inventoried(update::PortTable& ports, int language, serial::ErrorBox box) {
  ports.SetLanguage(language);
  ports.SetErrorBox(std::move(box));
  ports.TakeInventory();
  return ports;
}

}  // namespace

UpdateSession::UpdateSession(core::WindowSystem& windows, update::UpdateView& view,
                             package::Settings& settings, package::DeviceDescription& devices,
                             std::vector<std::string> firmwareFiles, serial::ErrorBox portErrorBox)
    : windows_(windows),
      settings_(settings),
      events_(windows),
      ports_(windows),
      engine_(events_, view, settings, devices,
              Inventoried(ports_, settings.LanguageIndex, std::move(portErrorBox)),
              std::move(firmwareFiles)) {
  ApplyTimeScale(events_);
  engine_.SetPaths(&paths_);
  engine_.Install();
  windows_.SetMessageHandler(
      [this](uint32_t message, uintptr_t wParam) { engine_.OnWindowMessage(message, wParam); });
}

UpdateSession::~UpdateSession() {
  windows_.SetMessageHandler(nullptr);
  StopLoaders();
  ports_.CloseAll();
}

std::string UpdateSession::PortProblem() const {
  return update::PortProblem(ports_.Facts(settings_.ComGiven != 0, settings_.ComIndex),
                             settings_.LanguageIndex);
}

std::string UpdateSession::OpenPorts() {
  return ports_.OpenPorts(settings_.ComGiven != 0, settings_.ComIndex);
}

std::vector<std::string> UpdateSession::PortNotes() const {
  std::vector<std::string> notes = ports_.DeviceLines(settings_.LanguageIndex);
  if (std::string hint = ports_.PermissionHint(settings_.LanguageIndex); !hint.empty()) {
    notes.push_back(std::move(hint));
  }
  return notes;
}

void UpdateSession::PressOk() {
  events_.queue.PostKey(core::KEY_OK);
  events_.pump.PumpEvents();
}

}  // namespace shell
