// A firmware package for an instrument whose secondary processor runs the Basic-Loader: the main
// firmware as S-records with the offered secondary version, and the two terminal files made by
// srec_cat from random data, so neither the updater nor the simulator writes its own fixtures.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace e2e {

inline constexpr uint32_t kTermBase = 0xE0000;

// The data each terminal file carries, by address.
struct TermFiles {
  std::map<uint32_t, uint8_t> high;  // L3_TermH.A37
  std::map<uint32_t, uint8_t> low;   // L3_TermL.A37
};

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// Converts a binary file to S-records with srec_cat (ending with the start address record);
// false when that fails.
inline bool SrecCat(const std::filesystem::path& bin, uint32_t offset, int addressLength,
                    const std::filesystem::path& out) {
  const std::string command =
      "srec_cat '" + bin.string() + "' -binary -offset " + std::to_string(offset) + " -o '" +
      out.string() + "' -motorola -address-length=" + std::to_string(addressLength) +
      " -execution-start-address=" + std::to_string(offset) + " > /dev/null 2>&1";
  return std::system(command.c_str()) == 0 && std::filesystem::exists(out);
}

inline std::map<uint32_t, uint8_t> RandomTermFile(const std::filesystem::path& folder,
                                                  const std::string& name, size_t size,
                                                  uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  std::map<uint32_t, uint8_t> data;
  for (size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<char>(random() & 0xFF);
    data[kTermBase + static_cast<uint32_t>(i)] = static_cast<uint8_t>(bytes[i]);
  }
  const std::filesystem::path bin = folder / (name + ".bin");
  WriteBytes(bin, bytes);
  EXPECT_TRUE(SrecCat(bin, kTermBase, 3, folder / name)) << "srec_cat (package srecord) missing?";
  std::filesystem::remove(bin);
  return data;
}

// The flash dump holds exactly the data: every data byte is there, and nothing else is
// programmed (the dump's rows pad with erased bytes).
inline void ExpectFlashIs(const std::map<uint32_t, uint8_t>& flash,
                          const std::map<uint32_t, uint8_t>& data) {
  int differences = 0;
  for (const auto& [address, value] : data) {
    const auto found = flash.find(address);
    const uint8_t actual = found == flash.end() ? 0xFF : found->second;
    if (actual != value && ++differences < 5)
      ADD_FAILURE() << std::hex << "0x" << address << ": flash " << int(actual) << ", file "
                    << int(value);
  }
  for (const auto& [address, value] : flash) {
    if (value != 0xFF && data.count(address) == 0 && ++differences < 5)
      ADD_FAILURE() << std::hex << "0x" << address << " programmed outside the file";
  }
  EXPECT_EQ(differences, 0);
  EXPECT_FALSE(data.empty());
}

// Update.ini, ProgDevice.ini (device kind 0: an S-record main firmware whose version record
// offers the secondary version 2.10) and, when asked, the two terminal files.
inline TermFiles WriteTerminalPackage(const std::filesystem::path& folder, bool withTermFiles,
                                      const std::filesystem::path& program) {
  WriteBytes(folder / "Update.ini",
             "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=2,3\r\nCom=\r\n");
  WriteBytes(folder / "ProgDevice.ini",
             "[Sonde]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\n"
             "DeviceName=Sonde 3\r\nProgFile1=\r\nProgFile2=Firmware.mot\r\nProgFile3=\r\n"
             "SWKenn1=\r\nSWKenn2=S1094000\r\nSWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=\r\n"
             "FlashErase2=\r\nFlashErase3=\r\nProgDefFile=\r\nProzTyp=0\r\n\r\n"
             "StarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
             "AbbruchtextD=Abbruch !\\rNAME aus- und einschalten.\\rOk.\r\n"
             "AbbruchtextE=Abort !\\rSwitch NAME off and on.\\rOk.\r\n");
  WriteBytes(folder / "version.bin", std::string("2.10\0\0", 6));
  EXPECT_TRUE(SrecCat(folder / "version.bin", 0x4000, 2, folder / "Firmware.mot"));
  std::filesystem::remove(folder / "version.bin");
  TermFiles files;
  if (withTermFiles) {
    files.high = RandomTermFile(folder, "L3_TermH.A37", 7000, 1);
    files.low = RandomTermFile(folder, "L3_TermL.A37", 4500, 2);
  }
  std::error_code error;
  std::filesystem::create_symlink(program, folder / "update-cli", error);
  return files;
}

}  // namespace e2e
