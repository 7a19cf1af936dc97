#include "core/event_queue.h"

#include <algorithm>
#include <array>

namespace core {

RingBuffer::RingBuffer() : slots_(kInitialSlots) {}

void RingBuffer::Put(const EventRecord& record) {
  if (count_ == slots_.size()) Grow();
  slots_[write_] = record;
  write_ = (write_ + 1) % slots_.size();
  ++count_;
}

bool RingBuffer::Get(EventRecord& record) {
  if (count_ == 0) return false;
  record = slots_[read_];
  read_ = (read_ + 1) % slots_.size();
  --count_;
  return true;
}

void RingBuffer::Grow() {
  std::vector<EventRecord> larger(slots_.size() * 2);
  for (size_t i = 0; i < count_; ++i) larger[i] = slots_[(read_ + i) % slots_.size()];
  slots_ = std::move(larger);
  read_ = 0;
  write_ = count_;
}

EventQueue::EventQueue() {
  chain_.reserve(16);
}
EventQueue::~EventQueue() = default;

bool EventQueue::PostKey(int32_t code, int32_t flag, int32_t param) {
  ring_.Put(EventRecord{flag == 1 ? EVK_KEY_ALT : EVK_KEY, param, code, 0});
  return true;
}

void EventQueue::PostEvent(int32_t code, uintptr_t data, int32_t param) {
  if (code == 0) return;
  ring_.Put(EventRecord{EVK_EVENT, param, code, data});
}

void EventQueue::PostTimer(int32_t code, int32_t param) {
  if (code == 0) return;
  ring_.Put(EventRecord{EVK_TIMER, param, code, 0});
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
    record = snapshot[i](*this, record);
  }
  return record;
}

}  // namespace core
