// How the readers of the package files reach the user without knowing the window: an error box
// for a file that cannot be used, and log entries for input that was clipped or refused.
#pragma once

#include <string_view>

namespace package {

class FileReport {
 public:
  virtual ~FileReport() = default;
  // A modal box with the error icon and an OK button.
  virtual void ShowError(std::string_view caption, std::string_view text) = 0;
  // One entry of the log.
  virtual void Note(std::string_view text) = 0;
};

}  // namespace package
