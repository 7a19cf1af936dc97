#include "update/reply_parser.h"

#include <cstdlib>
#include <string_view>

#include "core/number_text.h"
#include "core/text.h"
#include "update/event_codes.h"

namespace update {
namespace {

constexpr char kFrameEnd = 0x16;
// The single-byte answers of the bench family's boot loader.
constexpr uint8_t kBenchAck = 0x90;
constexpr uint8_t kBenchAnswer = 'Q';
// What begins an answer or echo line of the instrument's command protocol.
constexpr const char* kLineMarkers[] = {"I.", "B.", "A.", "C."};

struct FrameVariant {
  const char* start;
  char textStart;
  char textEnd;
};
constexpr FrameVariant kFrameVariants[] = {
    {"h00h", 0x1D, 0x0C}, {"h11h", 0x1E, 0x0A}, {"h,,h", 0x19, 0x0C}};

std::string Clipped(const std::string& text, size_t size) {
  return text.substr(0, std::min(text.size(), size - 1));
}

}  // namespace

std::string AnswerText(const core::EventRecord& record) {
  const std::optional<double> number = record.Number();
  if (!number) return record.Text();
  return core::ShortestText(static_cast<float>(*number));
}

int32_t LeadingInt(const std::string& text) {
  return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

void ReplyParser::PostAnswer(const std::string& line, int32_t code, int32_t hash, int32_t dollar,
                             ReplyTarget& target) {
  if (hash || !dollar) {
    target.queue.PostEvent(
        code, Clipped(hash ? line.substr(static_cast<size_t>(hash)) : std::string(), kTextSize));
    return;
  }
  // A "$" answer carries a number, read with a point like every number on the line. Without a
  // number the answer says nothing.
  const std::optional<double> value = core::ReadDecimal(std::string_view(line).substr(dollar));
  if (value) target.queue.PostEvent(code, *value);
}

void ReplyParser::Activate(int32_t portIndex, int32_t portNumber, ReplyTarget& target) {
  if (target.activePort != -1) return;
  target.activePort = portIndex;
  target.activeComIndex = portNumber - 1;
  if (target.showAnswerPort) target.showAnswerPort("Com" + std::to_string(portNumber));
}

void ReplyParser::Parse(const char* bytes, size_t count, int32_t portIndex, int32_t portNumber,
                        ReplyTarget& target) {
  buffer_.append(bytes, count);
  // Trailing NUL bytes are not data (the first byte stays).
  while (buffer_.size() > 1 && buffer_.back() == '\0') buffer_.pop_back();
  // A stream without line ends never overruns the buffer: the oldest bytes go.
  if (buffer_.size() > kBufferSize - 1) buffer_.erase(0, buffer_.size() - (kBufferSize - 1));

  for (;;) {
    bool more = false;
    const size_t lineEnd = buffer_.find("\r\n");
    if (lineEnd != std::string::npos) {
      const std::string line = buffer_.substr(0, std::min(lineEnd, kLineSize - 1));
      buffer_.erase(0, lineEnd + 2);
      ParseLine(line, portIndex, portNumber, target);
      more = buffer_.find("\r\n") != std::string::npos;
    }
    bool frameMore = false;
    if (ParseFrame(target, frameMore))
      more = frameMore;
    else
      ParseSingleByte(target);
    if (target.bootLoaderSeen) Activate(portIndex, portNumber, target);
    if (!more) return;
  }
}

void ReplyParser::ParseLine(const std::string& line, int32_t portIndex, int32_t portNumber,
                            ReplyTarget& target) {
  if (target.logLine) target.logLine(line + " <-");
  const int32_t a = core::FindText(line, "A.");
  const int32_t c = core::FindText(line, "C.");
  const int32_t i = core::FindText(line, "I.");
  const int32_t hash = core::FindText(line, "#");
  const int32_t dollar = core::FindText(line, "$");
  const int32_t b = core::FindText(line, "B.");
  const int32_t prompt = core::FindText(line, "!");
  const int32_t refused = core::FindText(line, "?");
  if (!(a || c || i || b || prompt || refused)) return;

  // In a well-formed answer exactly one of the markers is there; the code follows it.
  const size_t s = static_cast<size_t>(a + c + i + b);
  const int32_t code = s + 1 < line.size() ? LeadingInt(line.substr(s + 1)) : 0;

  if (i || b) PostAnswer(line, code, hash, dollar, target);
  if (prompt) {
    target.queue.PostEvent(ev::kPrompt);
    Activate(portIndex, portNumber, target);
  }
  if (a || c) target.queue.PostEvent(ev::kBootLoaderLine);
  if (refused) target.queue.PostEvent(ev::kNotAvailable);
}

bool ReplyParser::ParseFrame(ReplyTarget& target, bool& more) {
  for (const FrameVariant& variant : kFrameVariants) {
    const size_t t = buffer_.find(variant.start);
    if (t == std::string::npos) continue;
    const size_t e = buffer_.find(kFrameEnd, t);
    more = e != std::string::npos;
    if (!more) return true;  // wait for the rest of the frame
    // The text between the variant's markers; empty when a marker is missing.
    std::string text;
    const size_t f = buffer_.find(variant.textStart, t);
    if (f != std::string::npos && f < e) {
      const size_t g = buffer_.find(variant.textEnd, f + 1);
      if (g != std::string::npos && g < e) text = buffer_.substr(f + 1, g - f - 1);
    }
    target.queue.PostEvent(ev::kBootFrame, Clipped(text, kFrameSize));
    // Exactly the frame leaves the buffer, also when bytes follow it.
    buffer_.erase(t, e - t + 1);
    target.bootLoaderSeen = true;
    return true;
  }
  return false;
}

void ReplyParser::ParseSingleByte(ReplyTarget& target) {
  // The bench boot loader answers with the byte alone, but bytes from switching the instrument on
  // may come before it. The same byte inside an answer line (an answer text, the echo of an access
  // code) is part of that line: a line that has begun waits for its end, as do the lines still
  // queued for the loop.
  if (buffer_.empty() || buffer_.find("\r\n") != std::string::npos) return;
  for (const char* marker : kLineMarkers)
    if (buffer_.find(marker) != std::string::npos) return;
  uint8_t value = kBenchAck;
  if (buffer_.find(static_cast<char>(kBenchAck)) == std::string::npos) {
    if (buffer_.find(static_cast<char>(kBenchAnswer)) == std::string::npos) return;
    value = kBenchAnswer;
  }
  buffer_.clear();
  target.queue.PostEvent(ev::kBootByte, value);
  target.bootLoaderSeen = true;
}

}  // namespace update
