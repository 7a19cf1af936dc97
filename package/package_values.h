// Conversions of the values in package files, shared by the settings and device-file readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "package/file_report.h"
#include "package/ini_lines.h"

namespace package {

// The decimal number at the start of text: optional blanks and sign, then digits up to the first
// other character; 0 without a digit. Beyond the int32 range it stays at the nearest end.
int32_t LeadingInt(std::string_view text);
// The hexadecimal digits at the start of text (up to the first other character); 0 without one.
int32_t LeadingHex(std::string_view text);

// An erase address of the device file (FlashErase1 to FlashErase3): hexadecimal when the text
// holds "0x", else decimal; 0 without a number.
int32_t EraseValue(const std::string& text);

// What is wrong with a file name a package gives: kOutside, an absolute path or a ".." step
// (with "/" or "\\"), would leave the package folder; kOption begins with "-" and would read as
// an option on a loader program's command line.
enum class PackageNameFault { kNone, kOutside, kOption };
PackageNameFault CheckPackageFileName(std::string_view name);

// Says in the log (in language) that file has more lines than were read, when it has.
void NoteUnreadLines(const IniLines& lines, std::string_view file, int32_t language,
                     FileReport& report);

// Cuts value to maxLength characters and says so in the log in language, naming file, line and
// key.
void ClipValue(std::string& value, size_t maxLength, std::string_view file, int line,
               std::string_view key, int32_t language, FileReport& report);

}  // namespace package
