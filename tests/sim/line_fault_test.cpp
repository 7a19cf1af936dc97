// Switches of the instrument model for runs that must end as failures: a noisy line while the
// boot loader runs, and a refusal that comes with a prompt in one write.
#include <gtest/gtest.h>

#include "sim/instrument.h"

namespace {

struct Bench {
  explicit Bench(const std::string& profileText) {
    std::vector<std::string> errors;
    profile = sim::ParseProfile(profileText, errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  }
  std::string Take(int64_t afterMs) {
    now += afterMs;
    auto bytes = instrument->TakeOutput(now);
    return {bytes.begin(), bytes.end()};
  }
  std::string Say(const std::string& command, int64_t ms = 50) {
    const std::string text = command + "\r\n";
    instrument->Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return Take(ms);
  }
  sim::Profile profile;
  int64_t now = 1000;
  std::unique_ptr<sim::Instrument> instrument;
};

TEST(LineFaults, NoiseArrivesOnlyWhileTheBootLoaderRuns) {
  Bench b(
      "[bootloader]\ntarget = classic\nstart_ms = 100\nnoise_every_ms = 250\n"
      "[bootloader_faults]\nnoise_bytes = 55\n");
  EXPECT_EQ(b.Take(1000), "");  // normal mode: a quiet line
  EXPECT_EQ(b.Say("A.5588#QK48"), "A.5588\r\n");
  EXPECT_EQ(b.Take(100), "");  // the boot loader starts 100 ms after the entry answer
  EXPECT_EQ(b.Take(1000), "UUUU");
  EXPECT_EQ(b.Take(500), "UU");
}

TEST(LineFaults, RefusalAndPromptComeInOneWrite) {
  Bench b("[replies]\nA.5577 = ?+prompt\n");
  EXPECT_EQ(b.Say("A.5577"), "?\r\n!\r\n");
}

}  // namespace
