#include "shell/qt_window_system.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <chrono>
#include <thread>

namespace shell {
namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
 public:
  MessageEvent(uint32_t message, uintptr_t wParam)
      : QEvent(kMessageEvent), message_(message), wParam_(wParam) {}
  uint32_t message_;
  uintptr_t wParam_;
};

class QtTimer : public core::WindowTimer {
 public:
  QtTimer() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Expire(); });
  }
  void SetInterval(uint32_t ms) override { timer_.setInterval(static_cast<int>(ms)); }
  uint32_t Interval() const override { return static_cast<uint32_t>(timer_.interval()); }
  void SetEnabled(bool enabled) override {
    if (enabled && !timer_.isActive()) timer_.start();
    if (!enabled) timer_.stop();
  }
  bool Enabled() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

class QtWindowSystem::Receiver : public QObject {
 public:
  MessageHandler handler;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kMessageEvent) return QObject::event(e);
    auto* message = static_cast<MessageEvent*>(e);
    if (handler) handler(message->message_, message->wParam_);
    return true;
  }
};

QtWindowSystem::QtWindowSystem() : receiver_(std::make_unique<Receiver>()) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  quiet_.setSingleShot(true);
  quiet_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&quiet_, &QTimer::timeout, [this] { Rewatch(); });
}
QtWindowSystem::~QtWindowSystem() = default;

bool QtWindowSystem::AttachSource(core::WaitSource* source) {
  if (source_ != nullptr && source_ != source) return false;
  if (source_ == source) return true;
  const int descriptor = source->Descriptor();
  if (descriptor < 0) return false;
  source_ = source;
  notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
    if (source_ == nullptr) return;
    source_->Serve();
    Rewatch();
  });
  Rewatch();
  return true;
}

void QtWindowSystem::DetachSource(core::WaitSource* source) {
  if (source_ == nullptr || source_ != source) return;
  quiet_.stop();
  notifier_.reset();
  source_ = nullptr;
}

void QtWindowSystem::Rewatch() {
  if (source_ == nullptr) return;
  const int quietMs = source_->QuietMs();
  notifier_->setEnabled(quietMs == 0);
  if (quietMs > 0) {
    quiet_.start(quietMs);
  } else {
    quiet_.stop();
  }
}

void QtWindowSystem::ProcessMessages() {
  // What the window thread did since the last look may have ended a quiet while early (a read
  // made room, fewer bytes are asked for).
  if (source_ != nullptr && !notifier_->isEnabled()) Rewatch();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtWindowSystem::WaitMessages(uint32_t deadline) {
  const int32_t remaining = static_cast<int32_t>(deadline - TickCount());
  if (remaining <= 0) {
    ProcessMessages();
    return;
  }
  if (source_ != nullptr && !notifier_->isEnabled()) Rewatch();
  // The deadline timer's own expiry wakes the wait when nothing else arrives.
  wake_.start(remaining);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  wake_.stop();
}

void QtWindowSystem::SleepUntil(uint32_t deadline) {
  const int32_t remaining = static_cast<int32_t>(deadline - TickCount());
  if (remaining > 0) std::this_thread::sleep_for(std::chrono::milliseconds(remaining));
}

uint32_t QtWindowSystem::TickCount() const {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::unique_ptr<core::WindowTimer> QtWindowSystem::CreateTimer() {
  return std::make_unique<QtTimer>();
}

void QtWindowSystem::PostMessage(uint32_t message, uintptr_t wParam) {
  QCoreApplication::postEvent(receiver_.get(), new MessageEvent(message, wParam));
}

void QtWindowSystem::SetMessageHandler(MessageHandler handler) {
  receiver_->handler = std::move(handler);
}

}  // namespace shell
