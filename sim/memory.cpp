#include "sim/memory.h"

#include <algorithm>
#include <cstdio>

namespace sim {

Memory::Memory(std::vector<Region> regions) : regions_(std::move(regions)) {
  uint32_t top = 0;
  for (const auto& r : regions_) top = std::max(top, r.end);
  bytes_.assign(top + 1, 0x00);
  EraseAll(Region::Kind::InfoFlash);
  EraseAll(Region::Kind::MainFlash);
}

const Region* Memory::RegionOf(uint32_t address) const {
  for (const auto& r : regions_)
    if (address >= r.start && address <= r.end) return &r;
  return nullptr;
}

uint8_t Memory::Read(uint32_t address) const {
  return address < bytes_.size() ? bytes_[address] : 0x00;
}

uint16_t Memory::Word(uint32_t address) const {
  return static_cast<uint16_t>(Read(address) | Read(address + 1) << 8);
}

bool Memory::IsFlash(uint32_t address) const {
  const Region* r = RegionOf(address);
  return r && (r->kind == Region::Kind::InfoFlash || r->kind == Region::Kind::MainFlash);
}

bool Memory::Write(uint32_t address, uint8_t value) {
  const Region* r = RegionOf(address);
  if (!r || r->kind == Region::Kind::Rom) return false;
  if (r->kind == Region::Kind::Ram)
    bytes_[address] = value;
  else
    bytes_[address] &= value;
  return true;
}

bool Memory::EraseSegment(uint32_t address) {
  const Region* r = RegionOf(address);
  if (!r || !IsFlash(address)) return false;
  uint32_t first = std::max(r->start, address / r->segment * r->segment);
  uint32_t last = std::min(r->end, first / r->segment * r->segment + r->segment - 1);
  std::fill(bytes_.begin() + first, bytes_.begin() + last + 1, 0xFF);
  return true;
}

void Memory::EraseAll(Region::Kind kind) {
  for (const auto& r : regions_)
    if (r.kind == kind) std::fill(bytes_.begin() + r.start, bytes_.begin() + r.end + 1, 0xFF);
}

bool Memory::IsErased(uint32_t start, uint32_t length) const {
  for (uint32_t a = start; a < start + length; ++a)
    if (Read(a) != 0xFF) return false;
  return true;
}

void Memory::Load(uint32_t address, const std::vector<uint8_t>& bytes) {
  for (size_t i = 0; i < bytes.size() && address + i < bytes_.size(); ++i)
    bytes_[address + i] = bytes[i];
}

std::vector<std::pair<uint32_t, uint32_t>> Memory::ProgrammedRanges() const {
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (const auto& r : regions_) {
    if (r.kind != Region::Kind::InfoFlash && r.kind != Region::Kind::MainFlash) continue;
    for (uint32_t row = r.start & ~0xFu; row <= r.end; row += 16) {
      uint32_t first = std::max(row, r.start), last = std::min(row + 15, r.end);
      if (IsErased(first, last - first + 1)) continue;
      if (!ranges.empty() && ranges.back().second + 1 == first)
        ranges.back().second = last;
      else
        ranges.push_back({first, last});
    }
  }
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

std::string Memory::TiTxt() const {
  std::string out;
  char buf[16];
  for (const auto& [first, last] : ProgrammedRanges()) {
    std::snprintf(buf, sizeof buf, "@%04X\r\n", first);
    out += buf;
    for (uint32_t a = first; a <= last; ++a) {
      std::snprintf(buf, sizeof buf, "%02X", Read(a));
      out += buf;
      out += (a == last || (a - first) % 16 == 15) ? "\r\n" : " ";
    }
  }
  return out + "q\r\n";
}

Memory ClassicMemory(uint32_t ramStart, uint32_t ramEnd, uint32_t flashEnd, uint16_t chipId,
                     uint16_t version) {
  using K = Region::Kind;
  Memory m({{ramStart, ramEnd, K::Ram, 0},
            {0x0C00, 0x0FFF, K::Rom, 0},
            {0x1000, 0x10FF, K::InfoFlash, 128},
            {0x1100, flashEnd, K::MainFlash, 512}});
  m.Load(0x0FF0, {static_cast<uint8_t>(chipId >> 8), static_cast<uint8_t>(chipId)});
  m.Load(0x0FFA, {static_cast<uint8_t>(version >> 8), static_cast<uint8_t>(version)});
  return m;
}

Memory F5xxMemory(uint32_t flashEnd, const std::vector<uint8_t>& deviceId) {
  using K = Region::Kind;
  Memory m({{0x1800, 0x19FF, K::InfoFlash, 128},
            {0x1A00, 0x1AFF, K::Rom, 0},
            {0x1C00, 0x5BFF, K::Ram, 0},
            {0x5C00, flashEnd, K::MainFlash, 512}});
  m.Load(0x1A04, deviceId);
  return m;
}

void LoadInitialFirmware(Memory& memory, uint32_t codeAddress, uint16_t resetVector) {
  // mov #0x0A00,SP; mov #0x5A80,&0x0120 (watchdog off); a short loop
  memory.Load(codeAddress, {0x31, 0x40, 0x00, 0x0A, 0xB2, 0x40, 0x80, 0x5A, 0x20, 0x01,
                            0x3F, 0x40, 0x10, 0x00, 0x1F, 0x83, 0xFE, 0x23, 0xFA, 0x3F});
  memory.Load(0xFFFE, {static_cast<uint8_t>(resetVector), static_cast<uint8_t>(resetVector >> 8)});
}

void LoadOldFirmware(Memory& memory, uint32_t codeAddress, uint16_t resetVector) {
  constexpr uint32_t kVectorTable = 0xFFE0;
  uint32_t state = 0x2F6B1D35;  // fixed: every run and every test sees the same old firmware
  for (const Region& r : memory.Regions()) {
    if (r.kind != Region::Kind::InfoFlash && r.kind != Region::Kind::MainFlash) continue;
    std::vector<uint8_t> bytes(r.end - r.start + 1);
    for (uint32_t a = r.start; a <= r.end; ++a) {
      state = state * 1664525u + 1013904223u;
      const uint8_t value = static_cast<uint8_t>(state >> 24);
      const bool vectors = a >= kVectorTable && a <= 0xFFFF;
      bytes[a - r.start] = vectors ? 0xFF : (value == 0xFF ? 0x7F : value);
    }
    memory.Load(r.start, bytes);
  }
  LoadInitialFirmware(memory, codeAddress, resetVector);
}

}  // namespace sim
