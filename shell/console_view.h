// The update sequence on a terminal: log entries, status-panel changes and progress as plain
// lines; message boxes printed, questions answered by a fixed choice. It also tells when a run
// has ended, the way a user would see it in the window: the success message, OK offered again
// after a refusal or a failure, or the program closing. Texts that speak of the window's menu or
// OK button are printed as the console program's (messages::ForConsole); its labels are in the
// run's language.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "update/update_view.h"

namespace shell {

class ConsoleView : public update::UpdateView {
 public:
  enum class Outcome { Running, Success, Failed, Closed };

  ConsoleView(std::FILE* out, bool answerYes, int32_t language)
      : out_(out), answerYes_(answerYes), language_(language) {}

  void AppendLog(std::string_view text) override;
  void ClearLog() override {}
  void SetDeviceField(update::DeviceField field, std::string_view text) override;
  void SetStatusPanel(int panel, std::string_view text) override;
  void RepaintStatusBar() override {}
  void SetApplicationTitle(std::string_view title) override;
  void SetProgress(int32_t position) override;
  int32_t Progress() const override { return progress_; }
  void SetProgressMax(int32_t maximum) override { progressMax_ = maximum; }
  int32_t ProgressMax() const override { return progressMax_; }
  update::BoxAnswer ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                std::string_view caption, std::string_view text) override;
  void SetOkEnabled(bool enabled) override;
  void SetWaitPanelVisible(bool) override {}
  void SetSecTimerRunning(bool) override {}
  void EnableProgrammingMenu() override {}
  void CloseWindow() override;
  void RunFinished() override;
  // The terminal bell.
  void Beep() override;

  // Every log entry also goes to trace (with the debug log on: each command and answer).
  void SetTrace(std::FILE* trace) { trace_ = trace; }

  Outcome Result() const { return outcome_; }
  // A question of the run was answered No.
  bool AnsweredNo() const { return answeredNo_; }
  // OK is pressed again after a failure: the run goes on and may still end otherwise.
  void Resume() {
    outcome_ = Outcome::Running;
    reason_.clear();
  }
  // Why the run ended without success: the last error shown, or the last log entry.
  const std::string& Reason() const { return reason_; }
  // Called when the outcome changes from Running.
  void SetOnEnd(void (*onEnd)(void*), void* context) {
    onEnd_ = onEnd;
    endContext_ = context;
  }

 private:
  void Line(std::string_view prefix, std::string_view text);
  // True when a percentage text has reached a new tenth since the last one printed.
  bool NewTenth(std::string_view text);
  void End(Outcome outcome);

  std::FILE* out_;
  std::FILE* trace_ = nullptr;
  bool answerYes_;
  int32_t language_;
  int32_t progress_ = 0;
  int32_t progressMax_ = 40;
  std::string title_;
  std::string panels_[kStatusPanels];
  int tenth_ = -1;  // the last tenth of a percentage printed in status panel 4
  std::string reason_;
  std::string lastInfo_;  // the last information box printed
  Outcome outcome_ = Outcome::Running;
  bool answeredNo_ = false;
  void (*onEnd_)(void*) = nullptr;
  void* endContext_ = nullptr;
};

}  // namespace shell
