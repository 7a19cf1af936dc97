// What the loaders that send a file whole can take, and the files the Basic-Loader terminal
// sends. The loaders refuse a larger file rather than send it cut short; the package check
// measures the files of a package against the same numbers.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace loaders {

// The Basic-Loader terminal's transfer buffer.
inline constexpr size_t kTerminalTransferSize = 2500000;
// The largest file the WinCE transfer sends.
inline constexpr size_t kWinCeMaxFileSize = 3000000;

// The terminal's firmware files: [0] for the instruments that report variant '0', [1] for all
// others.
inline constexpr std::array<std::string_view, 2> kTerminalFiles = {"L3_TermH.A37", "L3_TermL.A37"};

}  // namespace loaders
