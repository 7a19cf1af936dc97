// Where the boot loader's time goes, as the instrument reports it: its own time per exchange
// (the command's and the answer's wire time and its reaction), the host's short gaps and its
// deliberate waits.
#include <gtest/gtest.h>

#include "sim/instrument.h"

namespace {

TEST(BootLoaderTime, SplitsThePhaseIntoOwnTimeHostGapsAndWaits) {
  std::vector<std::string> errors;
  const sim::Profile profile = sim::ParseProfile(
      "[line]\npace = 1\n[bootloader]\ntarget = classic\nstart_in_bootloader = 1\n", errors);
  ASSERT_TRUE(errors.empty()) << errors.front();
  int64_t nowMs = 1000;
  sim::Instrument instrument(profile, [&nowMs] { return nowMs; });
  instrument.SetHostLine(9600, sim::Parity::Even, 8, 1);
  // Host bytes at atMs; the answer of answerBytes is due within 50 ms.
  auto exchange = [&](int64_t atMs, std::vector<uint8_t> bytes, size_t answerBytes) {
    nowMs = atMs;
    instrument.Receive(bytes);
    nowMs += 50;
    EXPECT_EQ(instrument.TakeOutput(nowMs).size(), answerBytes);
  };
  // The synchronisation character, then the version request: 80 1E 04 04 AL AH LL LH CKL CKH.
  const std::vector<uint8_t> sync = {0x80};
  std::vector<uint8_t> version = {0x80, 0x1E, 0x04, 0x04, 0xF0, 0x0F, 0x10, 0x00};
  uint8_t low = 0, high = 0;
  for (size_t i = 0; i < version.size(); ++i) (i % 2 ? high : low) ^= version[i];
  version.push_back(static_cast<uint8_t>(~low));
  version.push_back(static_cast<uint8_t>(~high));
  exchange(1000, sync, 1);  // at once: a gap of nothing
  exchange(1060, version, 22);
  exchange(3000, sync, 1);  // a deliberate wait

  const int64_t ch = sim::CharTimeUs(9600);
  const int64_t reaction = 1000;
  const int64_t syncOwn = ch + reaction + ch;
  const int64_t versionOwn = 10 * ch + reaction + 22 * ch;
  const sim::BootLoaderTime t = instrument.TimeOfBootLoader();
  EXPECT_TRUE(t.seen);
  EXPECT_EQ(t.startUs, 1000000);
  EXPECT_EQ(t.endUs, 3000000 + syncOwn);
  EXPECT_EQ(t.ownUs, 2 * syncOwn + versionOwn);
  EXPECT_EQ(t.wireUs, 36 * ch);
  EXPECT_EQ(t.gaps, 2);
  EXPECT_EQ(t.gapUs, 60000 - syncOwn);
  EXPECT_EQ(t.gapList, (std::vector<int64_t>{0, 60000 - syncOwn}));
  EXPECT_EQ(t.waits, 1);
  EXPECT_EQ(t.waitUs, 3000000 - 1060000 - versionOwn);
  EXPECT_EQ(t.endUs - t.startUs, t.ownUs + t.gapUs + t.waitUs);
}

}  // namespace
