// The segments an erase sweep covers, for image layouts and sweep starts of both processor
// families.
#include "loaders/msp430/erase_sweep.h"

#include <gtest/gtest.h>

#include <vector>

namespace msp430 {
namespace {

// Segments from first down to last in 512-byte steps.
std::vector<uint32_t> Down(uint32_t first, uint32_t last) {
  std::vector<uint32_t> segments;
  for (uint32_t a = first; a >= last && a <= first; a -= 0x200) segments.push_back(a);
  return segments;
}

std::vector<uint32_t> Join(std::vector<std::vector<uint32_t>> parts) {
  std::vector<uint32_t> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Case {
  const char* name;
  FlashLayout flash;
  std::vector<DataExtent> data;
  uint32_t start;
  uint32_t bottom;
  std::vector<uint32_t> also;
  std::vector<uint32_t> expected;
};

TEST(EraseSweep, CoversTheSweepAndEverySegmentTheDataTouch) {
  const std::vector<uint32_t> info = {0x1080};
  const Case cases[] = {
      {"classic down to block 1 at 0x1100, then the information segment",
       kClassicFlash,
       {{0x1100, 246}, {0x11F6, 54}, {0xFFE0, 32}},
       0xFC00,
       0x11F6,
       info,
       Join({Down(0xFC00, 0x1200), {0x1100, 0x1080}})},
      {"block 0 at 0xF000 first: block 1's segment at 0x1100 is in",
       kClassicFlash,
       {{0xF000, 6}, {0x1104, 246}, {0x11FA, 54}, {0xFFE0, 32}},
       0xFC00,
       0x1104,
       info,
       Join({Down(0xFC00, 0x1200), {0x1100, 0x1080}})},
      {"block 1 in the segment after block 0's",
       kClassicFlash,
       {{0x41C0, 246}, {0x42B6, 54}, {0xFFE0, 32}},
       0xFC00,
       0x42B6,
       info,
       Join({Down(0xFC00, 0x4000), {0x1080}})},
      {"a start above 0xFFFF steps over the vector segment",
       kClassicFlash,
       {{0x1100, 200}, {0xFFE0, 32}},
       0x10400,
       0xFFE0,
       info,
       Join({Down(0x10400, 0x10000), {0x1100, 0x1080}})},
      {"high data above the sweep's start are erased too",
       kClassicFlash,
       {{0x8000, 100}, {0x10010, 100}, {0x1F000, 64}, {0xFFE0, 32}},
       0xFC00,
       0x10010,
       info,
       {0x1F000, 0x10000, 0xFC00, 0x8000, 0x1080}},
      {"data in information memory: its small segments",
       kClassicFlash,
       {{0x1000, 16}, {0x10F0, 32}},
       0x1200,
       0x10F0,
       info,
       {0x1200, 0x1100, 0x1080, 0x1000}},
      {"a start beyond the reachable flash sweeps nothing",
       kClassicFlash,
       {{0x1100, 16}},
       0x7FFFFFFF,
       0x1100,
       {},
       {0x1100}},
      {"F5xx sweep from 0xFC00 down to block 1, block 0 below it",
       kF5xxFlash,
       {{0x5C04, 246}, {0x5CFA, 54}, {0xFF80, 128}},
       0xFC00,
       0x5CFA,
       {},
       Down(0xFC00, 0x5C00)},
      {"F5xx block 1 above 0xFFFF and the sweep at 0xFC00",
       kF5xxFlash,
       {{0x5C00, 200}, {0x10000, 246}, {0x100F6, 54}, {0xFF80, 128}},
       0xFC00,
       0x10000,
       {},
       {0x10000, 0xFC00, 0x5C00}},
      {"F5xx data across a segment boundary",
       kF5xxFlash,
       {{0x61F0, 32}},
       0x6000,
       0x61F0,
       {},
       {0x6200, 0x6000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EraseSweep(c.data, c.start, c.bottom, c.flash, c.also), c.expected);
  }
}

TEST(EraseSweep, SegmentStarts) {
  const struct {
    FlashLayout flash;
    uint32_t address;
    std::optional<uint32_t> segment;
  } cases[] = {
      {kClassicFlash, 0x0FFF, std::nullopt},  {kClassicFlash, 0x1000, 0x1000},
      {kClassicFlash, 0x10FF, 0x1080},        {kClassicFlash, 0x1150, 0x1100},
      {kClassicFlash, 0x1200, 0x1200},        {kClassicFlash, 0x1FFFF, 0x1FE00},
      {kClassicFlash, 0x20000, std::nullopt}, {kF5xxFlash, 0x17FF, std::nullopt},
      {kF5xxFlash, 0x1980, 0x1980},           {kF5xxFlash, 0x5DFF, 0x5C00},
      {kF5xxFlash, 0x100000, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(SegmentStart(c.address, c.flash), c.segment) << c.address;
}

}  // namespace
}  // namespace msp430
