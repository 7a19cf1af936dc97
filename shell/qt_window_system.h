// The window system on Qt: the application's event loop processes messages, QTimer provides the
// window timers and posted QEvents carry the serial threads' messages to the window thread.
// Needs only Qt Core, so the console front-end uses it too.
#pragma once

#include <QObject>
#include <QTimer>

#include "core/window_system.h"

namespace shell {

class QtWindowSystem : public core::WindowSystem {
 public:
  QtWindowSystem();
  ~QtWindowSystem() override;

  void ProcessMessages() override;
  void WaitMessages(uint32_t deadline) override;
  void SleepUntil(uint32_t deadline) override;
  uint32_t TickCount() const override;
  std::unique_ptr<core::WindowTimer> CreateTimer() override;
  void PostMessage(uint32_t message, uintptr_t wParam) override;
  void SetMessageHandler(MessageHandler handler) override;

 private:
  class Receiver;
  std::unique_ptr<Receiver> receiver_;
  // Wakes WaitMessages at its deadline; one timer for every wait, so a wait costs no timer
  // object of its own (the loaders wait once per received byte).
  QTimer wake_;
};

}  // namespace shell
