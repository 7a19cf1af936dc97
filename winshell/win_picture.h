// Pictures of the Win32 window for scripts and the documentation, made by the program itself:
// what the window shows (frame, menu bar and controls) is copied into a bitmap that is written
// as a PNG by the Windows Imaging Component. The window must be on the screen (a virtual X
// display under Wine will do).
#pragma once

#include <windows.h>

#include <filesystem>

namespace winshell {

// False when the picture could not be taken or written.
bool SaveWindowPicture(HWND window, const std::filesystem::path& file);

}  // namespace winshell
