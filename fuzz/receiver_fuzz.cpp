// Both boot-loader receivers fed the same bytes in reads of any length, scanned after each read
// as the loaders do. Every byte a scan takes out is accounted for by what it reports, and a
// frame it takes is exactly the frame it announces.
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/support.h"
#include "loaders/msp430/bsl54_frame.h"
#include "loaders/msp430/bsl_frame.h"

namespace {

std::span<const uint8_t> AsBytes(std::string_view piece) {
  return {reinterpret_cast<const uint8_t*>(piece.data()), piece.size()};
}

void Feed(msp430::BslReceiver& rx, std::span<const uint8_t> bytes) {
  const size_t room = rx.FreeSpace();
  if (rx.Append(bytes) != std::min(room, bytes.size())) fuzz::Fail();
  const size_t before = rx.RxCount();
  // The answer bytes in front of a frame's start: the first answers the command, the ones
  // behind it answer nothing and go too.
  size_t answers = 0;
  uint8_t first = 0;
  for (const uint8_t b : rx.Pending()) {
    if (b == msp430::BSL_SYNC) break;
    if (b == msp430::BSL_ACK || b == msp430::BSL_NAK || b == msp430::BSL_NAK2) {
      if (answers++ == 0) first = b;
    }
  }
  const msp430::BslScan scan = rx.Scan();
  if (scan.Frame && scan.BadFrame) fuzz::Fail();
  if (scan.Ack != (answers > 0 && first == msp430::BSL_ACK)) fuzz::Fail();
  if (scan.Nak != (answers > 0 && first != msp430::BSL_ACK)) fuzz::Fail();
  size_t taken = answers;
  if (scan.Frame || scan.BadFrame) {
    const std::span<const uint8_t> frame = rx.RxFrame();
    if (frame.size() < 6 || frame[0] != msp430::BSL_SYNC || frame.size() != frame[2] + size_t{6})
      fuzz::Fail();
    if (scan.Frame && rx.FrameData().size() != frame[2]) fuzz::Fail();
    taken += frame.size();
  }
  if (before - rx.RxCount() != taken) fuzz::Fail();
}

void Feed(msp430::Bsl54Receiver& rx, std::span<const uint8_t> bytes) {
  const size_t room = rx.FreeSpace();
  if (rx.Append(bytes) != std::min(room, bytes.size())) fuzz::Fail();
  const size_t before = rx.RxCount();
  size_t taken = 0;
  const std::vector<msp430::Reply54> replies = rx.Scan();
  for (size_t i = 0; i < replies.size(); ++i) {
    const msp430::Reply54Kind kind = replies[i].Kind;
    if (kind == msp430::Reply54Kind::Ack || kind == msp430::Reply54Kind::Failure) {
      ++taken;
      continue;
    }
    // A frame ends the scan.
    if (i + 1 != replies.size()) fuzz::Fail();
    const std::span<const uint8_t> frame = rx.RxFrame();
    if (frame.size() < 5 || frame[0] != msp430::BSL54_HEADER ||
        frame.size() != frame[1] + size_t{5})
      fuzz::Fail();
    if (kind == msp430::Reply54Kind::Data && frame[3] != msp430::BSL54_DATA) fuzz::Fail();
    taken += frame.size();
  }
  if (before - rx.RxCount() != taken) fuzz::Fail();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  msp430::BslReceiver classic;
  msp430::Bsl54Receiver f5xx;
  while (!input.Empty()) {
    const uint8_t op = input.Byte();
    if (op == 0xFF) {  // a response time-out throws away what is held
      classic.Clear();
      f5xx.Clear();
      continue;
    }
    const std::span<const uint8_t> bytes = AsBytes(input.Bytes(op % 64));
    Feed(classic, bytes);
    Feed(f5xx, bytes);
  }
  return 0;
}
