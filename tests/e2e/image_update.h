// A whole update of an MSP430 image: update-cli from a package folder against instrument-sim
// over pseudo-terminals, with the simulator's state and dumped flash read back for comparison.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/cli_process.h"
#include "tests/msp430/firmware_image.h"
#include "tests/sim/sim_process.h"
#include "tests/sim/ti_txt.h"
#include "tests/support/temp_folder.h"

namespace e2e {

// The pieces the images of these tests are made of, and the offered version 1.30 at 0xF000 that
// each carries (the identification reads it from the first 1000 bytes).
using msp430_test::Pattern;
using msp430_test::Section;
using msp430_test::TiTxt;
using msp430_test::VectorTable;
inline const Section kVersion{0xF000, {'1', '.', '3', '0', 0, 0xFF}};

struct Update {
  CliResult cli;
  std::string state;
  std::map<uint32_t, uint8_t> flash;  // the dump: bytes left out read as erased
};

// The instrument (identity version 1.20 and profile) on COM2, COM1 silent; the package with the
// image (and a patch file when given); update-cli run with --yes runs times against the same
// instrument, each ended after limitSeconds. The result holds the last run; every run's in runs.
struct Updates : Update {
  std::vector<CliResult> runs;
};

inline Updates RunUpdates(const std::string& profile, const ImagePackage& package, int runs,
                          const std::string& patch = "", int limitSeconds = 120) {
  // An instrument without a boot loader has no flash to dump.
  std::vector<std::string> args = {"--com", "2", "--silent-ports", "1", "--state", "state.json"};
  if (profile.find("target = none") == std::string::npos) {
    args.insert(args.end(), {"--dump", "flash.txt"});
  }
  simtest::SimProcess sim("[identity]\nversion = 1.20\n" + profile, args);
  EXPECT_TRUE(sim.Ready()) << sim.Output();
  test::TempFolder folder;
  WritePackage(folder.Path(), package);
  if (!patch.empty()) folder.Write("Patch.TXT", patch);
  Updates update;
  for (int i = 0; i < runs; ++i) {
    update.runs.push_back(RunCli(folder.Path(), sim.Folder(), {"--yes"}, limitSeconds));
  }
  if (!update.runs.empty()) update.cli = update.runs.back();
  sim.Stop(SIGTERM);
  update.state = simtest::ReadFile(sim.File("state.json"));
  simtest::ParseTiTxt(simtest::ReadFile(sim.File("flash.txt")), update.flash);
  return update;
}

// One update as above.
inline Update RunUpdate(const std::string& profile, const ImagePackage& package,
                        const std::string& patch = "", int limitSeconds = 120) {
  return RunUpdates(profile, package, 1, patch, limitSeconds);
}

inline uint8_t FlashByte(const Update& update, uint32_t address) {
  const auto found = update.flash.find(address);
  return found == update.flash.end() ? 0xFF : found->second;
}

// Every byte of the image is in the flash.
inline void ExpectFlashHolds(const Update& update, const std::vector<msp430_test::Section>& image) {
  int differences = 0;
  for (const auto& [address, expected] : msp430_test::ImageBytes(image)) {
    const uint8_t actual = FlashByte(update, address);
    if (actual != expected && ++differences < 5) {
      ADD_FAILURE() << std::hex << "0x" << address << ": flash " << int(actual) << ", image "
                    << int(expected);
    }
  }
  EXPECT_EQ(differences, 0);
}

}  // namespace e2e
