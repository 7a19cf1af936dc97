// The small display operations of the main window as the update sequence uses them: placeholder
// expansion, the debug log, the device fields, the percentage in the status bar and the title,
// and the download-duration estimate. They reach the window through UpdateView.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "update/download_context.h"
#include "update/update_view.h"

namespace update {

// A copy of text with its placeholders filled in, left to right: "DATEI" by the main firmware
// file, "NAME" by the device name (DEFAULT_DEVICE_NAME of the language when that is empty),
// "COM X" by "COM " and activeComIndex + 1, a backslash and "r" by CR LF. Inserted values are
// not expanded again, and the catalogue is never written.
std::string ExpandMessage(std::string_view text, int32_t language, const DownloadContext& context,
                          int32_t activeComIndex);

// In debug mode (debugMode 1) the expanded text as one log entry; otherwise nothing.
void LogLine(UpdateView& view, std::string_view text, int32_t debugMode, int32_t language,
             const DownloadContext& context, int32_t activeComIndex);

// Empties the four device fields.
void ClearDeviceTexts(UpdateView& view);

// Shows a percentage in status panel 4 (after prefix) and the title ("Update [ 42.0 %]");
// values above 100 show 100. -1 (any value between -2 and 0) resets the title to "Update" and
// empties the panel; below -999 both show MSG_DONE_TITLE. Returns the formatted value.
std::string ShowProgress(UpdateView& view, int32_t language, std::string_view prefix, double value);

// One tick of the title timer while an external loader runs: counts loaderTicks and shows them
// as a share of expectedLoaderTicks.
void TitleTimerTimer(UpdateView& view, int32_t language, int32_t& loaderTicks,
                     float expectedLoaderTicks);

// A copy of a message with its first "X" replaced by value (a version, a number of minutes, a
// file or a port name).
std::string ReplaceFirstX(std::string_view text, std::string_view value);

// The stage of a run that checks the versions before the main programming.
enum class VersionCheckStage {
  kMain,          // the main path: the run's boot command, then the further steps
  kMsp430,        // the MSP430 boot loader and its retry
  kLongTransfer,  // the PIC32 loader program (with the default boot command) and the WinCE
                  // transfer, whose main transfer takes up to 15 minutes
};

// Empties the log and shows how many minutes the download may take.
void ShowDurationEstimate(UpdateView& view, int32_t language, VersionCheckStage stage,
                          const DownloadContext& context, bool forceSameVersion);

}  // namespace update
