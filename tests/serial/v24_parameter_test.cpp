// The parameter record, its file and the line configuration it stands for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "serial/line_config.h"
#include "serial/v24_parameter.h"
#include "tests/support/platform.h"

namespace serial {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const V24ParameterTag& record) {
  const auto* p = reinterpret_cast<const uint8_t*>(&record);
  return {p, p + sizeof record};
}

std::vector<uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class ParameterFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("v24-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    file_ = (dir_ / "ComData.cfg").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string file_;
};

TEST(V24Parameter, DefaultsAndDialogFlags) {
  TV24Parameter v24;
  std::vector<uint8_t> expected(36, 0);
  expected[0] = D_8;           // DatenBits
  expected[12] = B__4800;      // Baudrate
  expected[24] = 1000 & 0xFF;  // TXTimeOut, little-endian
  expected[25] = 1000 >> 8;
  EXPECT_EQ(Bytes(v24.Parameter), expected);
  EXPECT_FALSE(v24.UseDatei);

  TDlgParameter dialog;
  static_assert(sizeof dialog == 10);
  bool flags[10];
  std::memcpy(flags, &dialog, sizeof flags);
  for (bool flag : flags) EXPECT_FALSE(flag);
}

TEST_F(ParameterFile, MissingFileIsCreatedHoldingTheRecord) {
  TV24Parameter v24;
  v24.Parameter.Baudrate = B_19200;
  EXPECT_EQ(TV24Parameter::LoadDatei(file_, &v24.Parameter), -10);
  EXPECT_EQ(FileBytes(file_), Bytes(v24.Parameter));
}

TEST_F(ParameterFile, ShortFileReplacesOnlyItsLeadingBytes) {
  TV24Parameter v24;
  const V24ParameterTag before = v24.Parameter;
  const std::vector<uint8_t> ten = {1, 0, 0, 0, 2, 0, 0, 0, 0x7F, 0x7F};
  WriteFile(file_, ten);
  ASSERT_EQ(TV24Parameter::LoadDatei(file_, &v24.Parameter), 0);
  std::vector<uint8_t> expected = Bytes(before);
  std::copy(ten.begin(), ten.end(), expected.begin());
  EXPECT_EQ(Bytes(v24.Parameter), expected);
}

TEST_F(ParameterFile, SaveKeepsTheTailOfALongerFile) {
  std::vector<uint8_t> forty(40, 0xAB);
  WriteFile(file_, forty);
  TV24Parameter v24;
  ASSERT_EQ(TV24Parameter::SaveDatei(file_, &v24.Parameter), 0);
  std::vector<uint8_t> expected = Bytes(v24.Parameter);
  expected.insert(expected.end(), 4, 0xAB);
  EXPECT_EQ(FileBytes(file_), expected);
}

TEST_F(ParameterFile, AFileThatCannotBeOpenedLeavesTheRecordAsItWas) {
  // Held by another program, or in a folder that is not there.
  WriteFile(file_, std::vector<uint8_t>(36, 0x55));
  auto holder = test::HoldFile(file_);
  ASSERT_TRUE(holder);
  for (const std::string& path : {file_, (dir_ / "missing" / "ComData.cfg").string()}) {
    TV24Parameter v24;
    const std::vector<uint8_t> before = Bytes(v24.Parameter);
    EXPECT_EQ(TV24Parameter::LoadDatei(path, &v24.Parameter), -10) << path;
    EXPECT_EQ(TV24Parameter::SaveDatei(path, &v24.Parameter), -10) << path;
    EXPECT_EQ(Bytes(v24.Parameter), before) << path;
  }
  holder.reset();
  EXPECT_EQ(FileBytes(file_), std::vector<uint8_t>(36, 0x55));
}

TEST_F(ParameterFile, SetParameterStoresOnlyWhileTheLastGetPersisted) {
  TV24Parameter v24;
  V24ParameterTag record = v24.Parameter;
  record.Schnittstelle = Com__5;

  v24.GetParameter(false, file_);
  v24.SetParameter(&record);
  EXPECT_FALSE(fs::exists(file_));

  v24.GetParameter(true, file_);  // creates the file with the record in force
  record.Schnittstelle = Com__7;
  v24.SetParameter(&record);
  EXPECT_EQ(FileBytes(file_), Bytes(record));

  TV24Parameter reloaded;
  reloaded.GetParameter(true, file_);
  EXPECT_EQ(reloaded.Parameter.Schnittstelle, Com__7);
}

TEST(LineConfig, FieldsMapByTheirTables) {
  struct Case {
    ParitaetTag parity;
    uint8_t code;
  } parities[] = {{NoParity, 0}, {Odd, 1}, {Even, 2}, {Mark, 3}, {Space, 4}};
  for (const Case& c : parities) {
    V24ParameterTag record;
    record.Paritaet = c.parity;
    EXPECT_EQ(BuildLineConfig(record).Parity, c.code) << c.parity;
  }

  V24ParameterTag record = TV24Parameter().Parameter;
  record.StopBits = S_2;
  record.Baudrate = B115200;
  record.DatenBits = D_7;
  record.KeinNullZeichen = 1;
  const LineConfig line = BuildLineConfig(record);
  EXPECT_EQ(line.BaudRate, 115200u);
  EXPECT_EQ(line.ByteSize, 7);
  EXPECT_EQ(line.StopBits, 2);
  EXPECT_TRUE(line.DiscardNull);
  EXPECT_FALSE(line.DtrOn);
  EXPECT_TRUE(line.RtsOn);
  EXPECT_EQ(line.XonChar, 0x11);
  EXPECT_EQ(line.XoffChar, 0x13);
}

TEST(LineConfig, HandshakeModes) {
  struct Case {
    HandshakeTag mode;
    bool cts, rtsHandshake, outX;
  } cases[] = {{NoHandshake, false, false, false},
               {RTS_CTS, true, true, false},
               {XonXoff, false, false, true},
               {Qolmar_XonXoff, false, false, true}};
  for (const Case& c : cases) {
    LineConfig line;
    SetHandshake(line, RTS_CTS);
    SetHandshake(line, XonXoff);
    SetHandshake(line, c.mode);  // each mode starts from a clean slate
    EXPECT_EQ(line.OutxCtsFlow, c.cts) << c.mode;
    EXPECT_EQ(line.RtsHandshake, c.rtsHandshake) << c.mode;
    EXPECT_EQ(line.OutX, c.outX) << c.mode;
    EXPECT_FALSE(line.InX);
  }
}

TEST(LineConfig, ValuesOfADamagedFileAreNeverTableIndices) {
  V24ParameterTag record;
  std::memset(static_cast<void*>(&record), 0x7F, sizeof record);
  const LineConfig line = BuildLineConfig(record);
  EXPECT_EQ(line.BaudRate, 4800u);
  EXPECT_EQ(line.ByteSize, 8);
  EXPECT_EQ(line.Parity, 0);
  EXPECT_EQ(line.StopBits, 0);
  EXPECT_FALSE(line.OutX || line.OutxCtsFlow);
}

// The receive thread sleeps through this time per missing character: it must never be longer
// than the line really needs.
TEST(LineConfig, CharacterTimeCountsEveryBitOfTheFormat) {
  struct Case {
    uint32_t baud;
    uint8_t byteSize, parity, stopBits;
    uint32_t us;
  };
  const Case cases[] = {
      {9600, 8, 0, 0, 1041},   // 10 bits
      {38400, 8, 2, 0, 286},   // 11 bits: the boot loaders' even parity
      {1200, 7, 1, 1, 8750},   // 10.5 bits: one and a half stop bits
      {115200, 8, 3, 2, 104},  // 12 bits
      {0, 8, 0, 0, 0},         // no speed: no pause
  };
  for (const Case& c : cases) {
    LineConfig line;
    line.BaudRate = c.baud;
    line.ByteSize = c.byteSize;
    line.Parity = c.parity;
    line.StopBits = c.stopBits;
    EXPECT_EQ(CharacterTimeUs(line), c.us) << c.baud << " baud";
  }
}

}  // namespace
}  // namespace serial
