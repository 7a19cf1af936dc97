// The target's memory: flash (erased to 0xFF in segments; writing can only clear bits), RAM,
// read-only areas (boot-loader ROM, device descriptors) and unmapped addresses (read 0).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct Region {
  enum class Kind { Ram, Rom, InfoFlash, MainFlash };
  uint32_t start = 0, end = 0;  // inclusive
  Kind kind = Kind::Ram;
  uint32_t segment = 0;  // flash segment size
};

class Memory {
 public:
  explicit Memory(std::vector<Region> regions);

  uint8_t Read(uint32_t address) const;
  uint16_t Word(uint32_t address) const;  // little-endian
  // Flash keeps old AND new; RAM takes the byte; anything else refuses.
  bool Write(uint32_t address, uint8_t value);
  // Erases the flash segment that holds address; false when address is not flash.
  bool EraseSegment(uint32_t address);
  void EraseAll(Region::Kind kind);
  bool IsFlash(uint32_t address) const;
  bool IsErased(uint32_t start, uint32_t length) const;
  // Sets bytes whatever the region (initial content, ROM tables).
  void Load(uint32_t address, const std::vector<uint8_t>& bytes);
  const Region* RegionOf(uint32_t address) const;
  const std::vector<Region>& Regions() const { return regions_; }
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }

  // Flash as TI-TXT: every 16-byte row holding something other than 0xFF, "@" lines where
  // rows are not contiguous, CR LF line ends, "q" at the end.
  std::string TiTxt() const;
  // Flash ranges that are not erased, as [start, end] pairs of row granularity.
  std::vector<std::pair<uint32_t, uint32_t>> ProgrammedRanges() const;

 private:
  std::vector<Region> regions_;
  std::vector<uint8_t> bytes_;
};

// The memory map of a classic part (F1xx-like): RAM, boot-loader ROM at 0x0C00-0x0FFF with the
// chip identifier at 0x0FF0 and the version at 0x0FFA, information memory 0x1000-0x10FF in
// 128-byte segments, main memory 0x1100-flashEnd in 512-byte segments.
Memory ClassicMemory(uint32_t ramStart, uint32_t ramEnd, uint32_t flashEnd, uint16_t chipId,
                     uint16_t version);
// The memory map of an F5xx part: information memory 0x1800-0x19FF, device descriptors from
// 0x1A00 (deviceId at 0x1A04), RAM 0x1C00-0x5BFF, main memory 0x5C00-flashEnd.
Memory F5xxMemory(uint32_t flashEnd, const std::vector<uint8_t>& deviceId);
// Initial firmware: some code at codeAddress and a vector table that is all 0xFF but the reset
// vector at 0xFFFE.
void LoadInitialFirmware(Memory& memory, uint32_t codeAddress, uint16_t resetVector);
// An older firmware over all of the flash, as an instrument in the field holds it: every flash
// byte outside the vector table programmed (pseudo-random, never 0xFF), then the initial firmware
// on top, so the vector table still reads as the boot loader's password.
void LoadOldFirmware(Memory& memory, uint32_t codeAddress, uint16_t resetVector);

}  // namespace sim
