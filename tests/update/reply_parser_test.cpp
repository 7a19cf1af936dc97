#include "update/reply_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/german_locale.h"

namespace update {
namespace {

// Runs reads through the parser and describes every posted event as "code" or "code:data".
struct Harness {
  core::EventQueue queue;
  int32_t activePort = -1;
  int32_t activeComIndex = -1;
  bool bootLoaderSeen = false;
  std::string panel;
  std::vector<std::string> log;
  ReplyTarget target{queue,
                     activePort,
                     activeComIndex,
                     bootLoaderSeen,
                     [this](const std::string& line) { log.push_back(line); },
                     [this](const std::string& text) { panel = text; }};
  ReplyParser parser;

  std::vector<std::string> Feed(const std::vector<std::string>& reads, int32_t index = 2,
                                int32_t number = 3) {
    for (const std::string& read : reads)
      parser.Parse(read.data(), read.size(), index, number, target);
    std::vector<std::string> events;
    for (core::EventRecord r = queue.Fetch(); r.kind != core::EVK_NONE; r = queue.Fetch()) {
      std::string text = std::to_string(r.code);
      if (r.code >= 10010 && r.code <= 10012) {
      } else if (r.code == 10044) {
        text += ":" + std::to_string(r.Byte().value_or(0));
      } else {
        text += ":" + AnswerText(r);
      }
      events.push_back(text);
    }
    return events;
  }
};

struct Case {
  const char* what;
  std::vector<std::string> reads;
  std::vector<std::string> events;
};

TEST(ReplyParser, LinesAndBytesBecomeEvents) {
  const Case cases[] = {
      {"numbered answer", {"I.20#20363.000\r\n"}, {"20:20363.000"}},
      {"answer without text", {"I.30\r\n"}, {"30:"}},
      {"answer without number", {"I.#abc\r\n"}, {}},
      {"B. marker", {"B.25#1234\r\n"}, {"25:1234"}},
      {"echo is not an answer", {"A.2000\r\n"}, {"10011"}},
      {"prompt", {"!\r\n"}, {"10010"}},
      {"refusal", {"?\r\n"}, {"10012"}},
      {"split over two reads", {"I.21#1.0", "5\r\n"}, {"21:1.05"}},
      {"incomplete line waits", {"I.21#1.0"}, {}},
      {"two lines, each its own text", {"I.23#PCB7\r\nI.20#20363\r\n"}, {"23:PCB7", "20:20363"}},
      {"trailing NULs dropped", {std::string("!\r", 2), std::string("\n\0\0", 3)}, {"10010"}},
      {"single 0x90", {"\x90"}, {"10044:144"}},
      {"frame answer",
       {"h00hab\x1DID123\x0C"
        "cd\x16"},
       {"10042:ID123"}},
      {"frame variant 1 split",
       {"h11h\x1E"
        "AB",
        "\x0A\x16"},
       {"10042:AB"}},
      {"frame start without end suppresses the byte check", {"h00h\x90"}, {}},
      {"frame without markers has an empty text", {"h,,hxyz\x16"}, {"10042:"}},
  };
  for (const Case& c : cases) {
    Harness h;
    EXPECT_EQ(h.Feed(c.reads), c.events) << c.what;
  }
}

// The bench boot loader answers with 0x90 or "Q". Stray bytes before it (an instrument being
// switched on) do not hide it; the same bytes inside an answer line belong to that line, also
// when the line arrives in pieces, and wait for its end.
TEST(ReplyParser, BenchByteCountsUnlessItBelongsToAnAnswerLine) {
  const Case cases[] = {
      {"Q alone", {"Q"}, {"10044:81"}},
      {"0x90 starting a read", {"\x90\xA0"}, {"10044:144"}},
      {"Q alone after a complete line", {"I.23#x\r\nQ"}, {"23:x", "10044:81"}},
      {"Q alone after a partial line has ended", {"I.23#x", "\r\n", "Q"}, {"23:x", "10044:81"}},
      {"Q inside noise", {"xQy"}, {"10044:81"}},
      {"Q inside noise, a byte per read", {"x", "Q", "y"}, {"10044:81"}},
      {"Q after pending noise", {"x", "Qy"}, {"10044:81"}},
      {"0x90 behind 0xFF", {"\xFF\x90"}, {"10044:144"}},
      {"0x90 behind 0xFF in two reads", {"\xFF", "\x90"}, {"10044:144"}},
      {"Q behind a line end left from noise", {"\xFF\r\n", "Q"}, {"10044:81"}},
      {"Q inside an answer not yet ended", {"I.25#Q1"}, {}},
      {"Q inside an answer behind a stray byte", {"\xFF", "I.25#Q1"}, {}},
      {"Q inside an answer split across reads", {"I.23#PCBQ", "7\r\n"}, {"23:PCBQ7"}},
      {"Q inside an answer with a B. marker", {"B.25#Q", "1\r\n"}, {"25:Q1"}},
      {"0x90 inside an answer split across reads",
       {"I.25#a\x90", "b\r\n"},
       {"25:a\x90"
        "b"}},
      {"echo of the access code split before Q", {"A.5588#", "QK48\r\n"}, {"10011"}},
      {"echo of the access code split after Q", {"A.5588#Q", "K48\r\n"}, {"10011"}},
      {"echo with C. split after Q", {"C.5588#Q", "K48\r\n"}, {"10011"}},
      {"a whole line starting with Q", {"QK48\r\n"}, {}},
      {"Q in a line that waits behind a complete one", {"I.23#x\r\nI.25#Q"}, {"23:x"}},
  };
  for (const Case& c : cases) {
    Harness h;
    EXPECT_EQ(h.Feed(c.reads), c.events) << c.what;
  }
}

TEST(ReplyParser, DollarAnswerPostsTheNumbersTextWithAPointUnderAnyLocale) {
  test::GermanLocale german;
  ASSERT_TRUE(german.Active()) << "no de_DE.UTF-8 locale: install locales-all";
  const Case cases[] = {
      {"value", {"I.30$2.5\r\n"}, {"30:2.5"}},
      {"identification answer", {"I.21$1.05\r\n"}, {"21:1.05"}},
      {"written in another form", {"B.21$ +1.050\r\n"}, {"21:1.05"}},
      {"a comma ends the number", {"I.30$2,5\r\n"}, {"30:2"}},
      {"no number: no answer", {"I.30$abc\r\n"}, {}},
      {"a text answer keeps its text", {"I.20#a$1\r\n"}, {"20:a$1"}},
  };
  for (const Case& c : cases) {
    Harness h;
    EXPECT_EQ(h.Feed(c.reads), c.events) << c.what;
  }
}

TEST(ReplyParser, PromptOrBootAnswerFixesTheAnsweringPortOnce) {
  Harness h;
  h.Feed({"!\r\n"}, 2, 3);
  EXPECT_EQ(h.activePort, 2);
  EXPECT_EQ(h.activeComIndex, 2);
  EXPECT_EQ(h.panel, "Com3");
  h.Feed({"!\r\n"}, 0, 1);
  EXPECT_EQ(h.activePort, 2);  // the first answering port stays

  Harness boot;
  boot.Feed({"\x90"}, 1, 7);
  EXPECT_TRUE(boot.bootLoaderSeen);
  EXPECT_EQ(boot.activePort, 1);
  EXPECT_EQ(boot.panel, "Com7");
  EXPECT_EQ(boot.log.size(), 0u);
}

TEST(ReplyParser, ReceivedLinesAreLogged) {
  Harness h;
  h.Feed({"I.23#12\r\n!\r\n"});
  EXPECT_EQ(h.log, (std::vector<std::string>{"I.23#12 <-", "! <-"}));
}

TEST(ReplyParser, BoundedAgainstEndlessStreamsAndLongLines) {
  Harness h;
  const std::string noise(2000, 'x');
  EXPECT_TRUE(h.Feed({noise}).empty());
  EXPECT_LT(h.parser.Buffer().size(), ReplyParser::kBufferSize);
  // A complete answer after the noise is still understood.
  EXPECT_EQ(h.Feed({"\r\nI.25#SN1\r\n"}), std::vector<std::string>{"25:SN1"});

  Harness longLine;
  const std::string text(600, 'a');
  const auto events = longLine.Feed({"I.25#" + text + "\r\n"});
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].size(), std::string("25:").size() + ReplyParser::kTextSize - 1);
}

TEST(ReplyParser, FrameFollowedByBytesLeavesThemForLater) {
  Harness h;
  EXPECT_EQ(h.Feed({"ab h00h\x1DX\x0C\x16xy"}), std::vector<std::string>{"10042:X"});
  EXPECT_EQ(h.parser.Buffer(), "ab xy");
}

// A reply arrives in pieces when each notification reads what has come so far: every split point
// and one byte per read give the events of the whole reply.
TEST(ReplyParser, RepliesSplitAtEveryByteGiveTheEventsOfTheWhole) {
  const Case cases[] = {
      {"numbered answer", {"I.20#20363.000\r\n"}, {"20:20363.000"}},
      {"two lines", {"I.21#1.20\r\nI.25#1234\r\n"}, {"21:1.20", "25:1234"}},
      {"prompt", {"!\r\n"}, {"10010"}},
      {"dollar answer", {"I.30$12.5\r\n"}, {"30:12.5"}},
      {"boot-loader frame",
       {"h00hab\x1DID123\x0C"
        "cd\x16"},
       {"10042:ID123"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string& reply = c.reads.front();
    for (size_t at = 1; at < reply.size(); ++at) {
      SCOPED_TRACE("split at " + std::to_string(at));
      Harness h;
      EXPECT_EQ(h.Feed({reply.substr(0, at), reply.substr(at)}), c.events);
    }
    std::vector<std::string> bytes;
    for (char byte : reply) bytes.emplace_back(1, byte);
    Harness h;
    EXPECT_EQ(h.Feed(bytes), c.events) << "one byte per read";
  }
}

}  // namespace
}  // namespace update
