// The window system on Qt: the application's event loop processes messages, QTimer provides the
// window timers and posted QEvents carry the serial threads' messages to the window thread.
// Needs only Qt Core, so the console front-end uses it too.
#pragma once

#include <QObject>

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
};

}  // namespace shell
