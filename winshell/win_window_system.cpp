#include "winshell/win_window_system.h"

#include <chrono>
#include <utility>

namespace winshell {
namespace {

constexpr wchar_t kClassName[] = L"UpdaterMessageWindow";
constexpr UINT kPostedMessage = WM_APP + 1;

}  // namespace

// A window timer of the hidden window; its id leads back to it through the window system's map,
// so an expiry that arrives after the timer has gone finds nothing.
class Win32WindowSystem::Timer : public core::WindowTimer {
 public:
  Timer(Win32WindowSystem& owner, UINT_PTR id) : owner_(owner), id_(id) {
    owner_.timers_[id_] = this;
  }
  ~Timer() override {
    SetEnabled(false);
    owner_.timers_.erase(id_);
  }
  void SetInterval(uint32_t ms) override {
    interval_ = ms;
    if (enabled_) SetTimer(owner_.window_, id_, interval_, nullptr);
  }
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    if (enabled && !enabled_) SetTimer(owner_.window_, id_, interval_, nullptr);
    if (!enabled && enabled_) KillTimer(owner_.window_, id_);
    enabled_ = enabled;
  }
  bool Enabled() const override { return enabled_; }
  void Fire() { Expire(); }

 private:
  Win32WindowSystem& owner_;
  UINT_PTR id_;
  uint32_t interval_ = 0;
  bool enabled_ = false;
};

Win32WindowSystem::Win32WindowSystem() {
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = Procedure;
  type.hInstance = GetModuleHandleW(nullptr);
  type.lpszClassName = kClassName;
  RegisterClassExW(&type);
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            type.hInstance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32WindowSystem::~Win32WindowSystem() {
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

LRESULT CALLBACK Win32WindowSystem::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  auto* self = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || (message != kPostedMessage && message != WM_TIMER)) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  try {
    if (message == kPostedMessage) {
      if (self->handler_) {
        self->handler_(static_cast<uint32_t>(wParam), static_cast<uintptr_t>(lParam));
      }
    } else if (const auto found = self->timers_.find(wParam); found != self->timers_.end()) {
      found->second->Fire();
    }
  } catch (...) {
    self->failure_ = std::current_exception();
  }
  return 0;
}

void Win32WindowSystem::Dispatch(MSG& message) {
  if (filter_ && filter_(message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Win32WindowSystem::ProcessMessages() {
  if (quitting_) return;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The outer loop ends the program; the waits inside a run stop handling messages.
      quitting_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

void Win32WindowSystem::WaitMessages(uint32_t deadline) {
  const int32_t remaining = static_cast<int32_t>(deadline - TickCount());
  if (remaining > 0 && !quitting_) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(remaining), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  } else if (quitting_) {
    SleepUntil(deadline);
  }
  ProcessMessages();
}

void Win32WindowSystem::SleepUntil(uint32_t deadline) {
  const int32_t remaining = static_cast<int32_t>(deadline - TickCount());
  if (remaining > 0) Sleep(static_cast<DWORD>(remaining));
}

uint32_t Win32WindowSystem::TickCount() const {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::unique_ptr<core::WindowTimer> Win32WindowSystem::CreateTimer() {
  return std::make_unique<Timer>(*this, nextTimerId_++);
}

void Win32WindowSystem::PostMessage(uint32_t message, uintptr_t wParam) {
  ::PostMessageW(window_, kPostedMessage, static_cast<WPARAM>(message),
                 static_cast<LPARAM>(wParam));
}

void Win32WindowSystem::SetMessageHandler(MessageHandler handler) {
  handler_ = std::move(handler);
}

int Win32WindowSystem::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
  quitting_ = true;
  return static_cast<int>(message.wParam);
}

}  // namespace winshell
