// The processors and boards the MSP430 loaders treat apart. A processor type is the ProzTyp of
// the device file or the chip id a classic boot loader reports with its version; a board is the
// instrument's PCB number (its answer to "A.2003").
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "package/device_file.h"

namespace msp430 {

using package::kProcessorF5xx;

// The password word (the reset vector) an instrument is entered with when it does not name its
// own: the usual one, and the one of parts with memory above 0xFFFF.
inline constexpr int32_t kDefaultPasswordWord = 0x0E5A;
inline constexpr int32_t kHighPasswordWord = 0x0E5C;

// Processor types that take kHighPasswordWord although the image may have no data above 0xFFFF.
inline constexpr std::array<int32_t, 1> kHighPasswordProcessors = {0xF237};
// Boards that take kHighPasswordWord when the run starts in the boot loader (bench start).
inline constexpr std::array<std::string_view, 1> kHighPasswordBoards = {"23774"};
// Chips whose firmware, once reloaded for the chip the boot loader reported, is entered with
// kDefaultPasswordWord again.
inline constexpr std::array<int32_t, 1> kDefaultPasswordAfterReload = {0xF427};
// Classic chips whose clock needs the F2xx settings in the speed-change command.
inline constexpr std::array<int32_t, 2> kF2xxClockChips = {0xF26F, 0xF237};

template <typename Table, typename Value>
constexpr bool InTable(const Table& table, const Value& value) {
  return std::find(table.begin(), table.end(), value) != table.end();
}

// True when text (a PCB or device number) contains one of the table's numbers.
template <typename Table>
constexpr bool NamesOneOf(std::string_view text, const Table& table) {
  return std::any_of(table.begin(), table.end(),
                     [text](std::string_view number) { return text.find(number) != text.npos; });
}

}  // namespace msp430
