#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/event_pump.h"
#include "core/event_queue.h"
#include "core/virtual_window_system.h"

namespace core {
namespace {

// A handler that records what it saw and optionally consumes it.
struct Recorder {
  std::string name;
  std::vector<std::string>* log;
  bool consume = false;

  EventRecord Handle(EventQueue&, EventRecord record) {
    log->push_back(name + ":" + std::to_string(record.kind) + "/" + std::to_string(record.code));
    return consume && record.kind != EVK_NONE ? ConsumedEvent : record;
  }
};

TEST(EventQueue, PostAndFetchKeepTheFourFields) {
  EventQueue queue;
  EXPECT_EQ(queue.Fetch(), EventRecord{});
  queue.PostKey(13);
  queue.PostKey(27, 1, 5);
  queue.PostEvent(10000, PortNumber{3});
  queue.PostTimer(2);
  queue.PostEvent(0, PortNumber{7});  // code 0 posts nothing
  queue.PostTimer(0);
  EXPECT_EQ(queue.Fetch(), (EventRecord{EVK_KEY, 0, 13, {}}));
  EXPECT_EQ(queue.Fetch(), (EventRecord{EVK_KEY_ALT, 5, 27, {}}));
  EXPECT_EQ(queue.Fetch(), (EventRecord{EVK_EVENT, 0, 10000, PortNumber{3}}));
  EXPECT_EQ(queue.Fetch(), (EventRecord{EVK_TIMER, 0, 2, {}}));
  EXPECT_EQ(queue.Fetch(), EventRecord{});
}

// A payload is read only as what it is: asking a port number for its text gives an empty text,
// never the bytes at some address.
TEST(EventQueue, PayloadsAreOwnedAndReadOnlyAsWhatTheyAre) {
  EventQueue queue;
  queue.PostEvent(21, std::string("#1.05"));
  queue.PostEvent(21, 2.5);
  queue.PostEvent(10044, uint8_t{0x90});
  queue.PostEvent(10000, PortNumber{4});
  // Far more later events than any slot ring held: the first text is still there.
  for (int i = 1; i <= 200; ++i) queue.PostEvent(20, std::string(40, 'x'));

  const EventRecord text = queue.Fetch();
  EXPECT_EQ(text.Text(), "#1.05");
  EXPECT_FALSE(text.Number());
  EXPECT_EQ(text.Port(), 0);
  const EventRecord number = queue.Fetch();
  EXPECT_EQ(number.Number(), 2.5);
  EXPECT_EQ(number.Text(), "");
  const EventRecord byte = queue.Fetch();
  EXPECT_EQ(byte.Byte(), uint8_t{0x90});
  EXPECT_EQ(byte.Text(), "");
  EXPECT_EQ(byte.Port(), 0);
  const EventRecord port = queue.Fetch();
  EXPECT_EQ(port.Port(), 4);
  EXPECT_FALSE(port.Byte());
  for (int i = 1; i <= 200; ++i) ASSERT_EQ(queue.Fetch().Text(), std::string(40, 'x'));
}

TEST(EventQueue, RingWrapsAndGrowsWithoutLosingARecord) {
  EventQueue queue;
  // Fill and drain 50 so the positions wrap to slot 0.
  for (int i = 1; i <= 50; ++i) queue.PostEvent(i);
  for (int i = 1; i <= 50; ++i) ASSERT_EQ(queue.Fetch().code, i);
  EXPECT_EQ(queue.Ring().WritePosition(), 0u);
  for (int i = 1; i <= 10; ++i) queue.PostEvent(i);
  EXPECT_EQ(queue.Ring().WritePosition(), 10u);
  for (int i = 1; i <= 10; ++i) ASSERT_EQ(queue.Fetch().code, i);

  // 130 unread records, starting mid-ring: the ring grows instead of overwriting.
  for (int i = 1; i <= 130; ++i) queue.PostEvent(i);
  EXPECT_GE(queue.Ring().Capacity(), 130u);
  for (int i = 1; i <= 130; ++i) ASSERT_EQ(queue.Fetch().code, i) << "record " << i;
  EXPECT_EQ(queue.Fetch().kind, EVK_NONE);
}

TEST(EventQueue, NewestHandlerFirstAndConsumptionStopsTheRest) {
  EventQueue queue;
  std::vector<std::string> log;
  Recorder first{"first", &log}, second{"second", &log, true}, third{"third", &log};
  queue.AddHandler(MakeHandler<&Recorder::Handle>(&first));
  queue.AddHandler(MakeHandler<&Recorder::Handle>(&second));
  queue.AddHandler(MakeHandler<&Recorder::Handle>(&third));
  EXPECT_EQ(queue.Dispatch(EventRecord{EVK_EVENT, 0, 20, {}}), ConsumedEvent);
  EXPECT_EQ(log, (std::vector<std::string>{"third:256/20", "second:256/20", "first:0/0"}));
}

TEST(EventQueue, EqualHandlersAreAddedOnceAndRemovedOnce) {
  EventQueue queue;
  std::vector<std::string> log;
  Recorder a{"a", &log}, b{"b", &log};
  auto handlerA = MakeHandler<&Recorder::Handle>(&a);
  queue.AddHandler(handlerA);
  EXPECT_TRUE(queue.AddHandler(handlerA));
  EXPECT_EQ(queue.HandlerCount(), 1u);
  queue.AddHandler(MakeHandler<&Recorder::Handle>(&b));  // same function, other object
  EXPECT_EQ(queue.HandlerCount(), 2u);
  EXPECT_TRUE(queue.RemoveHandler(handlerA));
  EXPECT_FALSE(queue.RemoveHandler(handlerA));
  EXPECT_EQ(queue.Dispatch(EventRecord{EVK_KEY, 0, 13, {}}).code, 13);
  EXPECT_EQ(log, (std::vector<std::string>{"b:16/13"}));
  EventQueue empty;
  EXPECT_FALSE(empty.RemoveHandler(handlerA));
  EXPECT_EQ(empty.Dispatch(EventRecord{EVK_KEY, 0, 13, {}}).code, 13);
}

// A loader-like handler that removes itself and posts a follow-up while the event travels.
struct SelfRemover {
  EventHandler self;
  int calls = 0;
  EventRecord Handle(EventQueue& sender, EventRecord record) {
    if (record.kind == EVK_NONE) return record;
    ++calls;
    sender.RemoveHandler(self);
    sender.PostEvent(10010);
    return ConsumedEvent;
  }
};

TEST(EventQueue, HandlerMayRemoveItselfAndAnotherDuringDispatch) {
  EventQueue queue;
  std::vector<std::string> log;
  Recorder base{"base", &log};
  queue.AddHandler(MakeHandler<&Recorder::Handle>(&base));
  SelfRemover loader;
  loader.self = MakeHandler<&SelfRemover::Handle>(&loader);
  queue.AddHandler(loader.self);
  queue.Dispatch(EventRecord{EVK_EVENT, 0, 10000, PortNumber{1}});
  EXPECT_EQ(loader.calls, 1);
  EXPECT_EQ(queue.HandlerCount(), 1u);
  queue.Dispatch(queue.Fetch());
  EXPECT_EQ(loader.calls, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"base:0/0", "base:256/10010"}));
}

// Counts message processing; records the order of dispatches and re-enters the pump.
struct PumpProbe {
  EventQueue* queue;
  EventPump* pump;
  VirtualWindowSystem* windows;
  std::vector<std::string> log;
  EventRecord Handle(EventQueue&, EventRecord record) {
    if (record.kind == EVK_NONE) return record;
    log.push_back(std::to_string(record.code) + "@" + std::to_string(windows->ProcessCalls()));
    if (record.code == 1) {  // posts and pumps from inside the handler, as loaders do
      queue->PostEvent(100);
      queue->PostEvent(101);
      pump->PumpEvents();
    }
    return ConsumedEvent;
  }
};

TEST(EventPump, TwoRecordsPerPassAndReentrantPumping) {
  VirtualWindowSystem windows;
  EventQueue queue;
  EventPump pump(queue, windows);
  PumpProbe probe{&queue, &pump, &windows, {}};
  queue.AddHandler(MakeHandler<&PumpProbe::Handle>(&probe));

  pump.PumpEvents();  // empty queue: returns at once
  EXPECT_EQ(windows.ProcessCalls(), 0u);

  for (int code : {2, 3, 4, 5, 6}) queue.PostEvent(code);
  pump.PumpEvents();
  // Messages are processed after the second record of each pass: after 3 and after 5.
  EXPECT_EQ(probe.log, (std::vector<std::string>{"2@0", "3@0", "4@1", "5@1", "6@2"}));
  EXPECT_EQ(windows.ProcessCalls(), 2u);
  EXPECT_EQ(pump.PumpDepth(), 0);

  probe.log.clear();
  queue.PostEvent(1);
  queue.PostEvent(7);
  pump.PumpEvents();
  // The nested pump takes what the handler posted, and the outer one goes on afterwards.
  EXPECT_EQ(probe.log.size(), 4u);
  EXPECT_EQ(probe.log[0].substr(0, 2), "1@");
  EXPECT_EQ(queue.Fetch().kind, EVK_NONE);
  EXPECT_EQ(pump.PumpDepth(), 0);
}

// Processing messages re-enters the pump (a timer posts and pumps): the nested pumps skip their
// message processing until the depth count passes 10.
TEST(EventPump, NestedPumpCountsDepthAndResetsPastTen) {
  VirtualWindowSystem windows;
  EventQueue queue;
  EventPump pump(queue, windows);
  std::vector<int32_t> depths;
  windows.SetMessageHandler([&](uint32_t, uintptr_t) {
    for (int i = 0; i < 24; ++i) queue.PostEvent(500 + i);
    pump.PumpEvents();
  });
  struct Watch {
    EventPump* pump;
    std::vector<int32_t>* depths;
    EventRecord Handle(EventQueue&, EventRecord record) {
      if (record.code >= 500) depths->push_back(pump->PumpDepth());
      return ConsumedEvent;
    }
  } watch{&pump, &depths};
  queue.AddHandler(MakeHandler<&Watch::Handle>(&watch));
  windows.PostMessage(1, 0);
  queue.PostEvent(1);
  queue.PostEvent(2);
  pump.PumpEvents();
  ASSERT_EQ(depths.size(), 24u);
  // Inside the outer pump's processing the depth starts at 1 and counts per pass, wrapping to 0
  // after 10 (where that pass processes messages itself).
  EXPECT_EQ(depths[0], 1);
  EXPECT_EQ(depths[2], 2);
  EXPECT_EQ(depths[18], 10);
  EXPECT_EQ(depths[20], 0);
  EXPECT_EQ(pump.PumpDepth(), 0);
}

}  // namespace
}  // namespace core
