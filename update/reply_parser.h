// Turns the bytes an instrument sends into events: numbered answers ("I."/"B." with "#" text or
// "$" number, both passed on as text), prompts ("!"), echoes ("A."/"C."), refusals ("?"), the
// boot-loader frame answer of the menu family and the single-byte answer of the bench family. It
// also fixes the port on which the instrument answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/event_queue.h"

namespace update {

// What parsing acts on: the queue for the answer events and the run's answering-port fields.
struct ReplyTarget {
  core::EventQueue& queue;
  int32_t& activePort;      // index in the port table; -1 until the instrument answered
  int32_t& activeComIndex;  // COM number - 1 of that port
  bool& bootLoaderSeen;
  // Received lines for the log (with " <-" appended) and status panel 1 ("Com3").
  std::function<void(const std::string&)> logLine;
  std::function<void(const std::string&)> showAnswerPort;
};

class ReplyParser {
 public:
  // Limits of what is kept: the bytes waiting for the end of their line (one byte is reserved,
  // as for a terminating NUL), one answer line, the text of a numbered answer, and the text of a
  // boot loader's identification frame. Longer input is clipped, never written past an end.
  static constexpr size_t kBufferSize = 1000;
  static constexpr size_t kLineSize = 500;
  static constexpr size_t kTextSize = 256;
  static constexpr size_t kFrameSize = 100;

  // Parses bytes read from the port with table index portIndex (COM number portNumber).
  void Parse(const char* bytes, size_t count, int32_t portIndex, int32_t portNumber,
             ReplyTarget& target);
  // Drops the bytes still waiting for the end of their line (before each search attempt).
  void Clear() { buffer_.clear(); }
  const std::string& Buffer() const { return buffer_; }

 private:
  void ParseLine(const std::string& line, int32_t portIndex, int32_t portNumber,
                 ReplyTarget& target);
  // Returns true when a frame start was found; more is set when its end byte was there.
  bool ParseFrame(ReplyTarget& target, bool& more);
  // The bench family's single-byte answer, unless the byte belongs to an answer line.
  void ParseSingleByte(ReplyTarget& target);
  void Activate(int32_t portIndex, int32_t portNumber, ReplyTarget& target);
  // Posts a numbered answer: the text after "#", or else the number after "$".
  void PostAnswer(const std::string& line, int32_t code, int32_t hash, int32_t dollar,
                  ReplyTarget& target);

  std::string buffer_;
};

// The text of a numbered answer: what followed "#", or the number that followed "$" written
// with a point.
std::string AnswerText(const core::EventRecord& record);

// The decimal number at the start of text as the C library reads it (leading blanks and a sign
// allowed; 0 without a digit).
int32_t LeadingInt(const std::string& text);

}  // namespace update
