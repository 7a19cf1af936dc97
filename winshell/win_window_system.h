// The window system on the Win32 message loop: posted messages of the port threads reach the
// window thread as messages to a hidden message window, the pool's window timers are its
// SetTimer timers, and waiting is MsgWaitForMultipleObjects. Messages the main window must see
// first (its accelerators, the dialog keys) pass a filter the window sets.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <map>

#include "core/window_system.h"

namespace winshell {

class Win32WindowSystem : public core::WindowSystem {
 public:
  // Filters a message before it is dispatched; true when it has been handled.
  using MessageFilter = std::function<bool(MSG&)>;

  Win32WindowSystem();
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  void ProcessMessages() override;
  void WaitMessages(uint32_t deadline) override;
  void SleepUntil(uint32_t deadline) override;
  uint32_t TickCount() const override;
  std::unique_ptr<core::WindowTimer> CreateTimer() override;
  void PostMessage(uint32_t message, uintptr_t wParam) override;
  void SetMessageHandler(MessageHandler handler) override;

  void SetMessageFilter(MessageFilter filter) { filter_ = std::move(filter); }
  // Runs the message loop until WM_QUIT; returns its exit code.
  int Run();
  // Dispatches one message through the filter. An exception thrown by a handler of a posted
  // message or a timer is thrown on from here, outside the system's code it cannot cross.
  void Dispatch(MSG& message);
  // True once WM_QUIT has been seen (it is posted again for the outer loop).
  bool Quitting() const { return quitting_; }

 private:
  class Timer;
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  MessageHandler handler_;
  MessageFilter filter_;
  std::map<UINT_PTR, Timer*> timers_;
  UINT_PTR nextTimerId_ = 1;
  bool quitting_ = false;
  std::exception_ptr failure_;
};

}  // namespace winshell
