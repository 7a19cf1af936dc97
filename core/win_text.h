// Text at the Windows API: the program holds UTF-8, the API takes UTF-16; and the system's own
// description of an error code. Windows only.
#pragma once

#include <string>

namespace wintext {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// FormatMessage's text for a GetLastError code, without its line end; "error <code>" when the
// system has none.
std::string SystemErrorText(unsigned long code);

}  // namespace wintext
