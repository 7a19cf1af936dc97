// The Basic-Loader terminal on the virtual clock, with a port double whose transmitter can be
// busy or fail: the block rule, the text matcher and how the terminal ends.
#include "loaders/terminal/term_prog.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "core/virtual_window_system.h"
#include "package/messages.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_folder.h"

namespace {

using loaders::TTermProg;
namespace term = loaders::term;

// A port whose received bytes come from the test and whose asynchronous writes answer with
// scripted results (default: the whole block taken).
class TermPort : public serial::TComPort {
 public:
  struct Offer {
    size_t size;
    size_t queued;  // events waiting in the queue when the block was offered
    int32_t result;
  };

  explicit TermPort(core::EventQueue& queue) : serial::TComPort(Inventory::Skip), queue_(queue) {}

  bool Opened() const override { return true; }
  int32_t Read(void* buffer, uint32_t count) override {
    auto* out = static_cast<char*>(buffer);
    size_t n = 0;
    if (!arrived.empty()) {
      std::string& chunk = arrived.front();
      n = std::min<size_t>(count, chunk.size());
      chunk.copy(out, n);
      chunk.erase(0, n);
      if (chunk.empty()) arrived.pop_front();
    }
    out[n] = 0;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void* data, int32_t length, bool) override {
    int32_t result = length;
    if (!results.empty()) {
      result = results.front();
      results.pop_front();
    }
    offers.push_back({static_cast<size_t>(length), queue_.Ring().Count(), result});
    if (result > 0) sent.append(static_cast<const char*>(data), static_cast<size_t>(length));
    return result;
  }
  int GetWriteStatus() override { return ++statusCalls; }
  bool ChangeBaudrate(serial::BaudTag value) override {
    baud = value;
    return true;
  }
  bool ChangeHandShake(serial::HandshakeTag value) override {
    handshake = value;
    return true;
  }
  bool SaveV24Parameter(const serial::LineConfig* config) override {
    restored = config != nullptr;
    return true;
  }

  std::deque<std::string> arrived;
  std::deque<int32_t> results;
  std::vector<Offer> offers;
  std::string sent;
  int statusCalls = 0;
  serial::BaudTag baud = serial::B__9600;
  serial::HandshakeTag handshake = serial::NoHandshake;
  bool restored = false;

 private:
  core::EventQueue& queue_;
};

std::string Text(messages::MessageId id) {
  return std::string(messages::Text(id, 1));
}

class TermProgTest : public ::testing::Test {
 protected:
  TermProgTest() : events(windows), port(events.queue) {
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
  }
  ~TermProgTest() override { std::filesystem::current_path(previous); }

  void Start(char variant = '1') {
    loaders::TermHost host{
        events,
        port,
        view,
        1,
        variant,
        [](const std::string& t) { return t; },
        [this](const update::LoaderResult& result) { ends.push_back(result.programmed); }};
    loaders::StartTermProg(terminal, host);
  }
  // One reception: the bytes arrive and the port announces them.
  void Receive(const std::string& bytes) {
    port.arrived.push_back(bytes);
    events.queue.PostEvent(update::ev::kReceived, core::PortNumber{1});
    events.pump.PumpEvents();
  }
  void Post(int32_t code) {
    events.queue.PostEvent(code);
    events.pump.PumpEvents();
  }
  std::vector<size_t> Sizes() const {
    std::vector<size_t> sizes;
    for (const auto& offer : port.offers) sizes.push_back(offer.size);
    return sizes;
  }

  core::VirtualWindowSystem windows;
  core::EventCore events;
  test::TempFolder folder;
  std::filesystem::path previous;
  TermPort port;
  test::RecordingView view;
  TTermProg terminal;
  std::vector<bool> ends;
};

TEST_F(TermProgTest, StartSetsFlowControlAndSpeed) {
  Start();
  EXPECT_EQ(port.handshake, serial::RTS_CTS);
  EXPECT_EQ(port.baud, serial::B_19200);
  EXPECT_TRUE(terminal.Running());
}

TEST_F(TermProgTest, BlocksFollowTheBlockRule) {
  struct Case {
    size_t fileSize;
    std::vector<int32_t> results;  // port answers to the offers, in order (rest: taken)
    std::vector<size_t> offered;
    std::vector<bool> nextPosted;  // a 106 was queued before the offer
  };
  const int32_t busy = serial::kTransmitterBusy;
  const Case cases[] = {
      {4500, {}, {2000, 2000, 500}, {true, true, false}},
      {4000, {}, {2000, 2000}, {true, true}},
      {0, {}, {}, {}},
      {1, {}, {1}, {false}},
      // A busy transmitter gets the same block again; the offset waits for it.
      {4500, {2000, busy, busy}, {2000, 2000, 2000, 2000, 500}, {true, true, true, true, false}},
      {2500, {2000, busy}, {2000, 500, 500}, {true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileSize);
    port.offers.clear();
    port.sent.clear();
    port.results.assign(c.results.begin(), c.results.end());
    const std::string data = [&] {
      std::string bytes(c.fileSize, '\0');
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('A' + i % 26);
      return bytes;
    }();
    folder.Write("L3_TermL.A37", data);
    Start();
    Receive("Waiting for S-Record !\r\n");
    windows.Advance(100);
    ASSERT_EQ(Sizes(), c.offered);
    for (size_t i = 0; i < c.nextPosted.size(); ++i)
      EXPECT_EQ(port.offers[i].queued > 0, c.nextPosted[i]) << "offer " << i;
    EXPECT_EQ(port.sent, data);
    EXPECT_EQ(terminal.SentOffset, c.fileSize);
    EXPECT_EQ(events.queue.Ring().Count(), 0u);
  }
}

TEST_F(TermProgTest, BusyTransmitterDoesNotSpin) {
  folder.Write("L3_TermL.A37", std::string(3000, 'S'));
  port.results = {2000};
  for (int i = 0; i < 100; ++i) port.results.push_back(serial::kTransmitterBusy);
  Start();
  Receive("Waiting for S-Record !\r\n");
  // Within 50 ms at most one offer per pause, and none of them moves the offset.
  windows.Advance(50);
  EXPECT_LE(port.offers.size(), 2 + 50 / TTermProg::kBusyPauseMs);
  EXPECT_EQ(terminal.SentOffset, 2000u);
}

TEST_F(TermProgTest, TransmitErrorsAreRetriedThenAbort) {
  const int32_t error = serial::kTransmitError;
  struct Case {
    std::vector<int32_t> results;
    bool aborted;
    int statusCalls;
  };
  const Case cases[] = {
      {{error, error}, false, 2},
      {{error, error, error}, false, 3},
      {{error, error, error, error}, true, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.results.size());
    port.offers.clear();
    port.statusCalls = 0;
    port.results.assign(c.results.begin(), c.results.end());
    ends.clear();
    view.log.clear();
    folder.Write("L3_TermH.A37", std::string(1500, 'S'));
    Start('0');
    Receive("Waiting for S-Record !\r\n");
    windows.Advance(100);
    EXPECT_EQ(port.statusCalls, c.statusCalls);
    EXPECT_EQ(terminal.Stopped, c.aborted);
    EXPECT_EQ(view.LogHas(Text(messages::MSG_TERM_ABORT)), c.aborted);
    if (c.aborted) {
      EXPECT_EQ(view.panels[4].substr(0, 3), "HT ");
      EXPECT_EQ(ends, std::vector<bool>{false});
    } else {
      EXPECT_EQ(terminal.SentOffset, 1500u);
      EXPECT_EQ(view.panels[4].substr(0, 3), "H  ");
    }
  }
}

TEST(TermTextTest, EachTextMatchesOncePerReceptionInTableOrder) {
  struct Case {
    std::string received;
    std::vector<int32_t> events;
    std::string left;
  };
  const Case cases[] = {
      {"Basic-Loader / 1.02\r\n", {101}, "\r\n"},
      {"Basic-Loader  |", {100}, ""},
      {"Flash-Memory erased !Flash-Memory erased !", {102}, "Flash-Memory erased !"},
      {"Waiting for S-Record !\r\nBasic-Loader / 1.01\r\n", {101, 105}, "\r\n\r\n"},
      {"Flash-Memory (1/2) erased !", {103}, ""},
      {"Flash-Memory (2) programmed !", {104}, ""},
      {"xy\xA1\x48\x20\x14z", {104}, "xyz"},
      {"S-Record defect!", {108}, ""},
      {"Record defekt!", {108}, ""},
      {"Ready PC ?  Seg=1Ready PC ?  Seg=0", {110, 111}, ""},
      {"Erasing Flash-Memory (1) !Erasing Flash-Memory (2) !", {112, 112}, ""},
      {"Waiting for S-Re", {}, "Waiting for S-Re"},
      {std::string("ab\0Waiting for S-Record !", 25), {105}, std::string("ab\0", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.received);
    std::string buffer = c.received;
    EXPECT_EQ(loaders::MatchTermTexts(buffer), c.events);
    EXPECT_EQ(buffer, c.left);
  }
}

TEST(TermTextTest, VariantSelectsFile) {
  EXPECT_EQ(loaders::TermFileName('0'), "L3_TermH.A37");
  EXPECT_EQ(loaders::TermFileName('1'), "L3_TermL.A37");
  EXPECT_EQ(loaders::TermFileName('\0'), "L3_TermL.A37");
}

TEST_F(TermProgTest, WaitingTextSplitAcrossReceptions) {
  folder.Write("L3_TermL.A37", std::string(10, 'S'));
  Start();
  Receive("abWaiting for S-Re");
  EXPECT_TRUE(port.offers.empty());
  EXPECT_EQ(terminal.ReceiveBuffer, "abWaiting for S-Re");
  Receive("cord !cd");
  EXPECT_EQ(terminal.ReceiveBuffer, "abcd");
  EXPECT_EQ(Sizes(), std::vector<size_t>{10});
  EXPECT_TRUE(view.LogHas("Programming"));
}

TEST_F(TermProgTest, UnrecognisedTextDropsOldestCharacters) {
  folder.Write("L3_TermL.A37", std::string(10, 'S'));
  Start();
  for (int i = 0; i < 40; ++i) Receive(std::string(150, static_cast<char>('a' + i % 26)));
  EXPECT_EQ(terminal.ReceiveBuffer.size(), TTermProg::kReceiveSize);
  EXPECT_EQ(terminal.ReceiveBuffer.back(), static_cast<char>('a' + 39 % 26));
  // A text still matches after the buffer was full.
  Receive("Waiting for S-");
  Receive("Record !");
  EXPECT_EQ(Sizes(), std::vector<size_t>{10});
}

TEST_F(TermProgTest, FinishLogsBeepsOnceAndHandsTheLineBack) {
  folder.Write("L3_TermL.A37", std::string(10, 'S'));
  Start();
  Receive("Erasing Flash-Memory (1) !\r\n");
  EXPECT_TRUE(view.LogHas(Text(messages::MSG_TERM_PREPARING)));
  Receive("Waiting for S-Record !\r\n");
  Receive("Flash-Memory programmed\r\n");
  EXPECT_EQ(view.log, std::vector<std::string>{Text(messages::MSG_TERM_SUCCESS)});
  EXPECT_EQ(ends, std::vector<bool>{true});
  EXPECT_EQ(view.beeps, 1);
  // The new firmware greets at the instrument's normal line, not at the loader's.
  EXPECT_TRUE(port.restored);
  EXPECT_EQ(port.handshake, serial::NoHandshake);
  // Later bytes are the update sequence's: the terminal no longer takes them.
  port.arrived.push_back("I.31\r\n");
  events.queue.PostEvent(update::ev::kReceived, core::PortNumber{1});
  events.pump.PumpEvents();
  EXPECT_EQ(port.arrived.size(), 1u);
}

TEST_F(TermProgTest, EndsThatAbort) {
  struct Case {
    const char* name;
    std::string fileBytes;  // empty: no file
    std::vector<std::string> receptions;
    int32_t postedAfter;  // 0: none
    std::vector<std::string> logTexts;
    bool box;
  };
  const std::string abortText = Text(messages::MSG_TERM_ABORT);
  const Case cases[] = {
      {"defect",
       std::string(5000, 'S'),
       {"Waiting for S-Record !", "S-Record defect!"},
       0,
       {Text(messages::MSG_TERM_TRANSMIT), abortText},
       false},
      {"defekt",
       std::string(5000, 'S'),
       {"Record defekt!"},
       0,
       {Text(messages::MSG_TERM_TRANSMIT), abortText},
       false},
      {"answer 2",
       std::string(5000, 'S'),
       {"Waiting for S-Record !"},
       update::ev::kAnswerTermAbort,
       {abortText},
       false},
      {"missing file", "", {"Waiting for S-Record !"}, 0, {abortText}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(folder.Path() / "L3_TermL.A37");
    if (!c.fileBytes.empty()) folder.Write("L3_TermL.A37", c.fileBytes);
    view.log.clear();
    view.boxes.clear();
    ends.clear();
    port.restored = false;
    Start();
    for (const std::string& r : c.receptions) Receive(r);
    if (c.postedAfter) Post(c.postedAfter);
    const size_t offers = port.offers.size();
    windows.Advance(100);
    Post(term::kNextBlock);
    EXPECT_EQ(port.offers.size(), offers) << "no block after the end";
    EXPECT_TRUE(terminal.Stopped);
    for (const std::string& text : c.logTexts) EXPECT_TRUE(view.LogHas(text)) << text;
    EXPECT_EQ(ends, std::vector<bool>{false});
    EXPECT_TRUE(port.restored);
    EXPECT_EQ(view.boxes.size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(view.boxes[0].caption, " Error ");
      EXPECT_NE(view.boxes[0].text.find("L3_TermL.A37"), std::string::npos);
    }
  }
}

TEST_F(TermProgTest, MissingFileNamesTheFileOfTheVariant) {
  Start('0');
  Receive("Waiting for S-Record !");
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_NE(view.boxes[0].text.find("L3_TermH.A37"), std::string::npos);
  EXPECT_EQ(ends, std::vector<bool>{false});
}

TEST_F(TermProgTest, OversizedFileIsRefusedWhole) {
  folder.Write("L3_TermL.A37", std::string(TTermProg::kTransferSize + 1, 'S'));
  Start();
  Receive("Waiting for S-Record !");
  EXPECT_TRUE(port.offers.empty());
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_NE(view.boxes[0].text.find("2500000"), std::string::npos);
  EXPECT_EQ(ends, std::vector<bool>{false});
}

TEST_F(TermProgTest, FileOfExactlyTheLimitIsSent) {
  folder.Write("L3_TermL.A37", std::string(TTermProg::kTransferSize, 'S'));
  Start();
  Receive("Waiting for S-Record !");
  windows.Advance(100);
  EXPECT_EQ(port.sent.size(), TTermProg::kTransferSize);
  EXPECT_TRUE(view.boxes.empty());
}

TEST_F(TermProgTest, SilentBootLoaderEndsTheRun) {
  Start();
  windows.Advance(TTermProg::kQuietMs - 10);
  EXPECT_TRUE(ends.empty());
  Receive("Basic-Loader / 1.02\r\n");  // anything heard starts the wait over
  windows.Advance(TTermProg::kQuietMs - 10);
  EXPECT_TRUE(ends.empty());
  windows.Advance(20);
  EXPECT_EQ(ends, std::vector<bool>{false});
  EXPECT_TRUE(view.LogHas(Text(messages::MSG_TERM_NO_ANSWER)));
  EXPECT_TRUE(view.LogHas(Text(messages::MSG_TERM_ABORT)));
}

TEST_F(TermProgTest, StopEndsTheTransfer) {
  folder.Write("L3_TermL.A37", std::string(6000, 'S'));
  port.results = {serial::kTransmitterBusy};
  Start();
  Receive("Waiting for S-Record !");
  loaders::StopTermProg(terminal);
  windows.Advance(100);
  Post(term::kNextBlock);
  EXPECT_EQ(port.offers.size(), 1u);
}

}  // namespace
