// The reply parser fed the instrument's bytes in reads of any length, as the port delivers
// them. The buffer never outgrows its size and no answer text outgrows its field. For plain
// answer lines (nothing the boot loaders send, no NUL, no overflow) where the reads end must
// not matter: the same bytes in one read give the same events.
#include <cstdint>
#include <string>
#include <vector>

#include "core/event_queue.h"
#include "fuzz/support.h"
#include "update/reply_parser.h"

namespace {

constexpr int32_t kPortIndex = 1;
constexpr int32_t kPortNumber = 4;

struct Parsed {
  std::vector<core::EventRecord> events;
  int32_t activePort = -1;
  bool bootLoaderSeen = false;
};

Parsed ParseReads(const std::vector<std::string>& reads) {
  core::EventQueue queue;
  Parsed parsed;
  int32_t activeComIndex = -1;
  update::ReplyTarget target{queue,
                             parsed.activePort,
                             activeComIndex,
                             parsed.bootLoaderSeen,
                             [](const std::string&) {},
                             [](const std::string&) {}};
  update::ReplyParser parser;
  for (const std::string& read : reads) {
    parser.Parse(read.data(), read.size(), kPortIndex, kPortNumber, target);
    if (parser.Buffer().size() >= update::ReplyParser::kBufferSize) fuzz::Fail();
    while (queue.Ring().Count() > 0) parsed.events.push_back(queue.Fetch());
  }
  if (parsed.activePort != -1 &&
      (parsed.activePort != kPortIndex || activeComIndex != kPortNumber - 1))
    fuzz::Fail();
  for (const core::EventRecord& event : parsed.events) {
    if (event.Text().size() >= update::ReplyParser::kTextSize) fuzz::Fail();
  }
  return parsed;
}

// Bytes whose meaning depends on where a read starts: the bench boot loader's byte, the menu
// boot loader's frame start, and NUL (the port's terminator).
bool PlainAnswerLines(const std::string& stream) {
  return stream.size() < update::ReplyParser::kBufferSize &&
         stream.find_first_of(std::string("Q\x90h\0", 4)) == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  std::vector<std::string> reads;
  std::string stream;
  while (!input.Empty()) {
    const size_t length = input.Byte() % 48;
    reads.emplace_back(input.Bytes(length));
    stream += reads.back();
  }
  const Parsed split = ParseReads(reads);
  if (!PlainAnswerLines(stream)) return 0;
  const Parsed whole = ParseReads({stream});
  if (split.events != whole.events || split.activePort != whole.activePort) fuzz::Fail();
  return 0;
}
