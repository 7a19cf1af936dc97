// Pictures of the window for scripts and the documentation, made by the program itself (also
// offscreen, where no desktop draws a frame).
#pragma once

#include <filesystem>

class QWidget;

namespace shell {

// Saves the window as a PNG: its title drawn in a bar above its contents, as a desktop's frame
// shows it (the title carries the run's percentage). False when the file cannot be written.
bool SaveWindowPicture(QWidget& window, const std::filesystem::path& file);

}  // namespace shell
