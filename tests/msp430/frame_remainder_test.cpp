// The port is told to hold the receive notification until a begun frame is whole. That must
// never hide an answer: the bytes a receiver says are missing may not change what its scan finds,
// and the last of them completes the frame.
#include <gtest/gtest.h>

#include "loaders/msp430/bsl54_frame.h"
#include "loaders/msp430/bsl_frame.h"
#include "test_bytes.h"

namespace msp430 {
namespace {

using msp430_test::Bytes;
using msp430_test::Hex;

template <typename Receiver>
auto ScanOf(std::span<const uint8_t> bytes) {
  Receiver rx;
  rx.Append(bytes);
  return rx.Scan();
}

template <typename Receiver>
size_t MissingOf(std::span<const uint8_t> bytes) {
  Receiver rx;
  rx.Append(bytes);
  return rx.Missing();
}

// For every point at which the loader reads, the scans up to the last missing byte find what
// the scan at that point found, and the whole sequence needs nothing more.
template <typename Receiver>
void ExpectNothingHidden(const std::vector<uint8_t>& answer) {
  const std::span<const uint8_t> all(answer);
  for (size_t read = 0; read <= answer.size(); ++read) {
    const size_t missing = MissingOf<Receiver>(all.first(read));
    ASSERT_LE(read + missing, answer.size()) << "waits past the answer, read at " << read;
    const auto atRead = ScanOf<Receiver>(all.first(read));
    for (size_t held = read + 1; held < read + missing; ++held) {
      EXPECT_TRUE(ScanOf<Receiver>(all.first(held)) == atRead)
          << "read at " << read << ", the scan changes at " << held;
    }
  }
  EXPECT_EQ(MissingOf<Receiver>(all), 0u);
}

TEST(FrameRemainder, ClassicAnswersAreNeverHidden) {
  const char* answers[] = {
      "80 00 04 04 11 22 33 44 E1 96",  // a data block
      "90 80 00 02 02 AA BB 2F 9B",     // an acknowledgement, then a frame
      "A0 80 00 00 00 7F FF",           // a rejection, an empty frame
      "55 80 00 02 02 A0 90 00 00",     // noise; rejection and acknowledgement bytes in a frame
  };
  for (const char* hex : answers) {
    SCOPED_TRACE(hex);
    ExpectNothingHidden<BslReceiver>(Bytes(hex));
  }
}

TEST(FrameRemainder, F5xxAnswersAreNeverHidden) {
  const char* answers[] = {
      "00 80 05 00 3A 11 22 33 44 00 00",  // acknowledgement, data response
      "00 80 02 00 3B 00 00 00",           // acknowledgement, message
      "51",                                // a failure byte
  };
  for (const char* hex : answers) {
    SCOPED_TRACE(hex);
    ExpectNothingHidden<Bsl54Receiver>(Bytes(hex));
  }
}

TEST(FrameRemainder, CountsWhatIsMissing) {
  struct Case {
    const char* hex;
    size_t classic, f5xx;
  };
  const Case cases[] = {
      {"", 0, 0},
      {"90 00", 0, 0},       // single bytes only
      {"80", 2, 1},          // the length has not come
      {"00 80 00", 1, 3},    // classic needs its length, F5xx has it: 0 + 5 in all
      {"80 00 04", 7, 2},    // classic: 4 + 6 in all
      {"80 00 FF", 258, 2},  // the longest classic reply
      {"80 00 04 04 11 22 33 44 E1 96", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    const std::vector<uint8_t> bytes = Bytes(c.hex);
    EXPECT_EQ(MissingOf<BslReceiver>(bytes), c.classic);
    EXPECT_EQ(MissingOf<Bsl54Receiver>(bytes), c.f5xx);
  }
}

}  // namespace
}  // namespace msp430
