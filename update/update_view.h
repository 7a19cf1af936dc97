// The main window as the update sequence sees it. The window implements it with its widgets,
// the console front-end prints, tests record and answer from a script. Texts are UTF-8 and may
// hold CR LF or a lone CR as line breaks.
#pragma once

#include <cstdint>
#include <string_view>

namespace update {

enum class BoxIcon { Error, Information, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// The four fields of the device group box.
enum class DeviceField { Name, Serial, Pcb, Software };

class UpdateView {
 public:
  static constexpr int kStatusPanels = 5;

  virtual ~UpdateView() = default;

  // UpdateMemo: one more entry, or empty it.
  virtual void AppendLog(std::string_view text) = 0;
  virtual void ClearLog() = 0;

  virtual void SetDeviceField(DeviceField field, std::string_view text) = 0;

  // Status panels 0 to 4: opened ports, answering port, baud rate, version, progress text.
  virtual void SetStatusPanel(int panel, std::string_view text) = 0;
  // Paints the status bar now, for progress shown while the window thread is busy.
  virtual void RepaintStatusBar() = 0;
  virtual void SetApplicationTitle(std::string_view title) = 0;

  // WaitProgressBar.
  virtual void SetProgress(int32_t position) = 0;
  virtual int32_t Progress() const = 0;
  virtual void SetProgressMax(int32_t maximum) = 0;
  virtual int32_t ProgressMax() const = 0;

  // A modal message box; returns the button the user chose.
  virtual BoxAnswer ShowMessage(BoxIcon icon, BoxButtons buttons, std::string_view caption,
                                std::string_view text) = 0;

  // Window states the update sequence drives.
  virtual void SetOkEnabled(bool enabled) = 0;
  virtual void SetWaitPanelVisible(bool visible) = 0;
  // SecTimer: while it runs the progress bar advances by one every 500 ms.
  virtual void SetSecTimerRunning(bool running) = 0;
  // The programming submenu becomes available (after the search found nothing).
  virtual void EnableProgrammingMenu() = 0;
  // Ends the program (not found twice, or the user declined a new search).
  virtual void CloseWindow() = 0;
  // A run has ended with the success message.
  virtual void RunFinished() {}
  // One audible signal (a finished programming).
  virtual void Beep() {}

  void ShowError(std::string_view caption, std::string_view text) {
    ShowMessage(BoxIcon::Error, BoxButtons::Ok, caption, text);
  }
  void ShowInfo(std::string_view caption, std::string_view text) {
    ShowMessage(BoxIcon::Information, BoxButtons::Ok, caption, text);
  }
  // Yes/No with the question icon; true for Yes.
  bool AskQuestion(std::string_view caption, std::string_view text) {
    return ShowMessage(BoxIcon::Question, BoxButtons::YesNo, caption, text) == BoxAnswer::Yes;
  }
};

}  // namespace update
