#include "core/event_queue.h"

#include <algorithm>
#include <array>
#include <utility>

namespace core {

const std::string& EventRecord::Text() const {
  static const std::string kNone;
  const std::string* text = std::get_if<std::string>(&data);
  return text ? *text : kNone;
}

std::optional<double> EventRecord::Number() const {
  const double* number = std::get_if<double>(&data);
  return number ? std::optional<double>(*number) : std::nullopt;
}

std::optional<uint8_t> EventRecord::Byte() const {
  const uint8_t* byte = std::get_if<uint8_t>(&data);
  return byte ? std::optional<uint8_t>(*byte) : std::nullopt;
}

int32_t EventRecord::Port() const {
  const PortNumber* port = std::get_if<PortNumber>(&data);
  return port ? port->value : 0;
}

RingBuffer::RingBuffer() : slots_(kInitialSlots) {}

void RingBuffer::Put(EventRecord record) {
  if (count_ == slots_.size()) Grow();
  slots_[write_] = std::move(record);
  write_ = (write_ + 1) % slots_.size();
  ++count_;
}

bool RingBuffer::Get(EventRecord& record) {
  if (count_ == 0) return false;
  record = std::move(slots_[read_]);
  slots_[read_].data = std::monostate{};
  read_ = (read_ + 1) % slots_.size();
  --count_;
  return true;
}

void RingBuffer::Grow() {
  std::vector<EventRecord> larger(slots_.size() * 2);
  for (size_t i = 0; i < count_; ++i) larger[i] = std::move(slots_[(read_ + i) % slots_.size()]);
  slots_ = std::move(larger);
  read_ = 0;
  write_ = count_;
}

EventQueue::EventQueue() {
  chain_.reserve(16);
}
EventQueue::~EventQueue() = default;

bool EventQueue::PostKey(int32_t code, int32_t flag, int32_t param) {
  ring_.Put(EventRecord{flag == 1 ? EVK_KEY_ALT : EVK_KEY, param, code, {}});
  return true;
}

void EventQueue::PostEvent(int32_t code, EventData data, int32_t param) {
  if (code == 0) return;
  ring_.Put(EventRecord{EVK_EVENT, param, code, std::move(data)});
}

void EventQueue::PostTimer(int32_t code, int32_t param) {
  if (code == 0) return;
  ring_.Put(EventRecord{EVK_TIMER, param, code, {}});
}

EventRecord EventQueue::Fetch() {
  EventRecord record;
  ring_.Get(record);
  return record;
}

bool EventQueue::AddHandler(EventHandler handler) {
  if (!HasHandler(handler)) chain_.push_back(handler);
  return true;
}

bool EventQueue::RemoveHandler(EventHandler handler) {
  auto it = std::find(chain_.begin(), chain_.end(), handler);
  if (it == chain_.end()) return false;
  chain_.erase(it);
  return true;
}

bool EventQueue::HasHandler(EventHandler handler) const {
  return std::find(chain_.begin(), chain_.end(), handler) != chain_.end();
}

EventRecord EventQueue::Dispatch(EventRecord record) {
  if (chain_.empty()) return record;
  // Handlers may add or remove handlers while the record travels, so walk a snapshot and skip
  // any handler that has left the chain in the meantime (its object may be gone).
  std::array<EventHandler, 16> fixed;
  std::vector<EventHandler> spill;
  const EventHandler* snapshot = fixed.data();
  const size_t count = chain_.size();
  if (count <= fixed.size()) {
    std::copy(chain_.begin(), chain_.end(), fixed.begin());
  } else {
    spill = chain_;
    snapshot = spill.data();
  }
  for (size_t i = count; i-- > 0;) {
    if (!HasHandler(snapshot[i])) continue;
    record = snapshot[i](*this, std::move(record));
  }
  return record;
}

}  // namespace core
