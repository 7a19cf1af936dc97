// The window system on Qt: the application's event loop processes messages, QTimer provides the
// window timers and posted QEvents carry the serial threads' messages to the window thread.
// Needs only Qt Core, so the console front-end uses it too. An attached wait source is watched by
// a socket notifier on its descriptor and served when that turns readable.
#pragma once

#include <QObject>
#include <QSocketNotifier>
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
  bool AttachSource(core::WaitSource* source) override;
  void DetachSource(core::WaitSource* source) override;

 private:
  // Watches the source's descriptor unless the source needs no watching for a while; the quiet
  // timer looks again when that while is over.
  void Rewatch();

  class Receiver;
  std::unique_ptr<Receiver> receiver_;
  core::WaitSource* source_ = nullptr;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer quiet_;
  // Wakes WaitMessages at its deadline; one timer for every wait, so a wait costs no timer
  // object of its own (the loaders wait once per received byte).
  QTimer wake_;
};

}  // namespace shell
