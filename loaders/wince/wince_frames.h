// What the WinCE transfer puts on the line: its command lines and its data frames. Pure
// functions, so the bytes can be checked without a port.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>

namespace loaders {

// "A.1300#<rate>\r\n": the instrument acknowledges and then listens at that rate.
std::string BaudCommand(uint32_t bitsPerSecond);

// The header that announces a file: "A.1205#" when forced or for an instrument version below
// 1.06 (106 in hundredths), else "A.1201#"; then name, time stamp and size.
std::string HeaderCommand(bool forced, int32_t instrumentVersion, const std::string& name,
                          uint32_t timeStamp, uint32_t size);

// "D.<n>,<check>#" followed by the n data bytes unchanged; no line end.
std::string DataFrame(std::span<const uint8_t> data);

// A time as the packed date and time of MS-DOS directories, in local time: bits 31-25 year
// since 1980, 24-21 month, 20-16 day, 15-11 hour, 10-5 minute, 4-0 seconds / 2. Times before
// 1980 give 1980-01-01 00:00:00, times after 2107 the last second of 2107.
uint32_t DosTimeStamp(std::time_t time);

}  // namespace loaders
