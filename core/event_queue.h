// The event queue: a ring of posted records and the chain of handlers they are offered to.
// Everything here runs on the window thread; dispatch is re-entrant (handlers post, pump and
// add or remove handlers while an event is on its way).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/event_codes.h"

namespace core {

// The 1-based number of a serial port (COM3 is 3).
struct PortNumber {
  int32_t value = 0;
  bool operator==(const PortNumber&) const = default;
};

// What an event carries besides its code. The record owns it: a text stays valid however many
// events follow, and nothing is ever read as a pointer.
using EventData = std::variant<std::monostate, PortNumber, uint8_t, double, std::string>;

struct EventRecord {
  int32_t kind = EVK_NONE;
  int32_t param = 0;
  int32_t code = 0;
  // Kind EVK_EVENT only.
  EventData data;

  bool operator==(const EventRecord&) const = default;

  // The carried text; empty when the record carries none.
  const std::string& Text() const;
  std::optional<double> Number() const;
  std::optional<uint8_t> Byte() const;
  // The carried port number; 0 when none.
  int32_t Port() const;
};

// What a handler returns when it took the event and no other handler may see it.
inline const EventRecord ConsumedEvent{};

class EventQueue;

// A bound member function: (object, function). Two handlers are equal when both halves are.
struct EventHandler {
  using Function = EventRecord (*)(void* object, EventQueue& sender, EventRecord record);
  void* object = nullptr;
  Function function = nullptr;

  EventRecord operator()(EventQueue& sender, EventRecord record) const {
    return function(object, sender, record);
  }
  bool operator==(const EventHandler&) const = default;
};

// Binds a member function: MakeHandler<&Engine::HandleUpdateEvent>(&engine).
template <auto Method, typename T>
EventHandler MakeHandler(T* object) {
  return EventHandler{object, [](void* self, EventQueue& sender, EventRecord record) {
                        return (static_cast<T*>(self)->*Method)(sender, record);
                      }};
}

// Fixed-size records in a ring of slots. The ring never overwrites an unread record: when a
// post finds it full it grows (keeping the order), so no event is lost.
class RingBuffer {
 public:
  static constexpr size_t kInitialSlots = 50;

  RingBuffer();
  void Put(EventRecord record);
  // False (and record untouched) when nothing is queued.
  bool Get(EventRecord& record);

  size_t Count() const { return count_; }
  size_t Capacity() const { return slots_.size(); }
  size_t ReadPosition() const { return read_; }
  size_t WritePosition() const { return write_; }

 private:
  void Grow();

  std::vector<EventRecord> slots_;
  size_t read_ = 0;
  size_t write_ = 0;
  size_t count_ = 0;
};

class EventQueue {
 public:
  EventQueue();
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  bool PostKey(int32_t code, int32_t flag = 0, int32_t param = 0);
  void PostEvent(int32_t code, EventData data = {}, int32_t param = 0);
  void PostTimer(int32_t code, int32_t param = 0);
  // The oldest record, or the all-zero record when nothing is queued.
  EventRecord Fetch();

  // Appends the handler unless an equal one is on the chain. Always true.
  bool AddHandler(EventHandler handler);
  // Unlinks the first equal handler; false when there was none.
  bool RemoveHandler(EventHandler handler);
  bool HasHandler(EventHandler handler) const;
  size_t HandlerCount() const { return chain_.size(); }
  // Offers the record to the chain, newest handler first; each handler receives what the one
  // before it returned. The result of the oldest handler is returned.
  EventRecord Dispatch(EventRecord record);

  const RingBuffer& Ring() const { return ring_; }

 private:
  RingBuffer ring_;
  // Oldest handler first. Reserved up front so that adding a handler rarely allocates.
  std::vector<EventHandler> chain_;
};

}  // namespace core
