// Text helpers of the protocol code. Positions are 1-based and 0 means "not found"; callers rely
// on that (text + p, with p the position of a one-character match, is the text after it).
// The functions work on std::string, so no insertion can run past a buffer's end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace core {

// 1-based position of the first occurrence of pattern at or after position from (0 and 1 both
// mean the start); 0 when text or pattern is empty or there is no such occurrence.
int32_t FindText(std::string_view text, std::string_view pattern, int32_t from = 0);
// Removes count characters starting at the 1-based position (clipped to the text).
void DeleteChars(std::string& buffer, int32_t position, int32_t count);
// Inserts text before the character at the 1-based position; size() + 1 appends.
void InsertText(std::string_view text, std::string& buffer, int32_t position);
// Value of 1 to 4 hexadecimal digits. Characters up to '9' count as their distance from '0',
// every other character is upper-cased and counts from 'A' plus 10; a longer text counts by its
// first four characters.
int32_t HexToInt(std::string_view text);
// 8-bit text widened character by character, and back by the low byte of each character.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

// A file name from a package file, which may have been written on Windows ("sub\\a.bin"), as
// this system opens it: every backslash becomes a slash. The name itself (as announced to an
// instrument, say) stays as written.
std::string PackagePath(std::string_view name);

// Files of a firmware package are Windows-1252; inside the program text is UTF-8.
std::string Cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 cannot hold become '?'.
std::string Utf8ToCp1252(std::string_view text);

}  // namespace core
