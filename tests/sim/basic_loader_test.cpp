// The Basic-Loader target in-process: its S-record reader, its announcements and what it does
// with a good and with a defective stream.
#include "sim/basic_loader.h"

#include <gtest/gtest.h>

#include <memory>

#include "sim/instrument.h"

namespace {

// Published sample records: a header, 28 data bytes at 0x0000, a record count, the end.
const std::string kHeader = "S00F000068656C6C6F202020202000003C";
const std::string kData = "S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026";
const std::string kCount = "S5030001FB";
const std::string kEnd = "S9030000FC";

TEST(SRecordReader, ChecksEveryRecord) {
  struct Case {
    std::string line;
    bool good;
    int type;
    uint32_t address;
    size_t dataSize;
  };
  const Case cases[] = {
      {kHeader, true, 0, 0, 12},
      {kData, true, 1, 0, 28},
      {kCount, true, 5, 1, 0},
      {kEnd, true, 9, 0, 0},
      {"S2080E0000112233443F", true, 2, 0x0E0000, 4},
      {"S30900010000AABBCCDDF7", false, 3, 0, 0},  // wrong checksum
      {"S30900010000AABBCCDDE7", true, 3, 0x10000, 4},
      {"S11F00007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000025", false, 0, 0, 0},
      {"S12000007C0802A6900100049421FFF07C6C1B787C8C23783C6000003863000026", false, 0, 0, 0},
      {"S1030000F", false, 0, 0, 0},   // odd length
      {"S4030000FC", false, 0, 0, 0},  // no such type
      {"S9030000FG", false, 0, 0, 0},  // not hexadecimal
      {"S9020000FD", false, 0, 0, 0},  // count shorter than the address
      {"X9030000FC", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto record = sim::ParseSRecord(c.line);
    ASSERT_EQ(record.has_value(), c.good);
    if (!record) continue;
    EXPECT_EQ(record->type, c.type);
    EXPECT_EQ(record->address, c.address);
    EXPECT_EQ(record->data.size(), c.dataSize);
  }
}

struct Loader {
  explicit Loader(const std::string& extra) {
    std::vector<std::string> errors;
    profile = sim::ParseProfile(
        "[bootloader]\ntarget = basic\nflash_start = 0\nflash_end = 0xFFFF\nstart_ms = 10\n"
        "[protocol]\nafter_program = 31\nrestart_prompt_ms = 100\n" +
            extra,
        errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    instrument = std::make_unique<sim::Instrument>(profile, [this] { return now; });
    instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
  }
  void Send(const std::string& text) {
    instrument->Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  }
  std::string Take(int64_t afterMs) {
    now += afterMs;
    auto bytes = instrument->TakeOutput(now);
    return {bytes.begin(), bytes.end()};
  }
  // "A.2005", its prompt, and the loader's announcements once the host is at 19200.
  std::string Enter() {
    Send("A.2005\r\n");
    EXPECT_EQ(Take(100), "!\r\n");
    EXPECT_EQ(Take(500), "") << "the loader waits for the host's speed";
    instrument->SetHostLine(19200, sim::Parity::None, 8, 1);
    return Take(2000);
  }
  sim::Profile profile;
  int64_t now = 1000;
  std::unique_ptr<sim::Instrument> instrument;
};

TEST(BasicLoaderTarget, AnnouncesItsVersionAndBanks) {
  struct Case {
    std::string profile;
    std::string texts;
  };
  const Case cases[] = {
      {"",
       "Basic-Loader / 1.02\r\nErasing Flash-Memory (1) !\r\nFlash-Memory erased !\r\n"
       "Waiting for S-Record !\r\n"},
      {"[bootloader]\nbasic_version = 1.01\nflash_banks = 2\n",
       "Basic-Loader / 1.01\r\nErasing Flash-Memory (1) !\r\nFlash-Memory (1/2) erased !\r\n"
       "Erasing Flash-Memory (2) !\r\nFlash-Memory erased !\r\nWaiting for S-Record !\r\n"},
  };
  for (const Case& c : cases) {
    Loader loader(c.profile);
    EXPECT_EQ(loader.Enter(), c.texts);
    EXPECT_STREQ(loader.instrument->ModeName(), "Basic-Loader");
  }
}

// The new firmware greets once the host's line is at the instrument's normal settings, or, when
// the profile says so, at the loader's 19200 baud, where the host's line still is.
TEST(BasicLoaderTarget, ProgramsTheRecordsAndStartsTheNewFirmwareAtItsLine) {
  struct Case {
    std::string profile;
    std::string programmed;
    bool atLoaderSpeed;
  };
  const Case cases[] = {
      {"", "Flash-Memory programmed\r\n", false},
      {"[bootloader]\nprogrammed = bytes\n", "\xA1\x48\x20\x14", false},
      {"[bootloader]\ngreet_at_loader_speed = true\n", "Flash-Memory programmed\r\n", true},
  };
  for (const Case& c : cases) {
    Loader loader(c.profile);
    loader.Enter();
    loader.Send(kHeader + "\r\n" + kData + "\r\n" + kCount + "\r\n" + kEnd + "\r\n");
    EXPECT_EQ(loader.Take(50), c.programmed);
    if (!c.atLoaderSpeed) {
      EXPECT_EQ(loader.Take(1000), "") << "no greeting while the host is at 19200";
      loader.instrument->SetHostLine(9600, sim::Parity::None, 8, 2);
    }
    EXPECT_EQ(loader.Take(1000), "I.31\r\n");
    sim::Memory& flash = *loader.instrument->Flash();
    EXPECT_EQ(flash.Read(0x0000), 0x7C);
    EXPECT_EQ(flash.Read(0x001B), 0x00);
    EXPECT_EQ(flash.Read(0x001C), 0xFF) << "erased behind the data";
    EXPECT_EQ(loader.instrument->Seen().programStarts, 1);
  }
}

TEST(BasicLoaderTarget, DefectiveRecordIsReportedAndStopsTheLoader) {
  struct Case {
    std::string profile;
    std::string record;
    std::string report;
  };
  const Case cases[] = {
      {"", "S9030000FD", "S-Record defect!\r\n"},
      {"[bootloader]\ndefect_text = Record defekt!\n", "S9030000FD", "Record defekt!\r\n"},
      // Data outside the flash.
      {"[bootloader]\nflash_start = 0x1000\n", kData, "S-Record defect!\r\n"},
  };
  for (const Case& c : cases) {
    Loader loader(c.profile);
    loader.Enter();
    loader.Send(c.record + "\r\n" + kEnd + "\r\n");
    EXPECT_EQ(loader.Take(50), c.report);
    EXPECT_EQ(loader.Take(1000), "") << "nothing after the defect";
    EXPECT_EQ(loader.instrument->Seen().badFrames, 1);
    EXPECT_EQ(loader.instrument->Seen().programStarts, 0);
  }
}

}  // namespace
