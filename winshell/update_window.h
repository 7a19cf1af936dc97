// The main window on Win32: device fields, download list, log, progress bar, OK button, status
// bar with its five panels and the menus of the resource script, behind the same seams as the Qt
// window (UpdateView for the run, the window system for the ports and timers). The run lives in
// the session it owns; what the commands do apart from the controls is shared with the Qt
// window (shell/form_commands.h).
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/firmware_scan.h"
#include "shell/form_options.h"
#include "shell/update_session.h"
#include "translation/language.h"
#include "translation/win_translate.h"
#include "update/update_view.h"
#include "winshell/win_window_system.h"

namespace winshell {

class TUpdateForm : public update::UpdateView {
 public:
  TUpdateForm(Win32WindowSystem& windows, shell::FormOptions options);
  ~TUpdateForm() override;
  TUpdateForm(const TUpdateForm&) = delete;
  TUpdateForm& operator=(const TUpdateForm&) = delete;

  HWND Handle() const { return window_; }
  void Show();
  // The exit code of the program once the window has gone: 0, or that of an automatic run.
  int ExitCode() const { return exitCode_; }

  // UpdateView.
  void AppendLog(std::string_view text) override;
  void ClearLog() override;
  void SetDeviceField(update::DeviceField field, std::string_view text) override;
  void SetStatusPanel(int panel, std::string_view text) override;
  void RepaintStatusBar() override;
  void SetApplicationTitle(std::string_view title) override;
  void SetProgress(int32_t position) override;
  int32_t Progress() const override;
  void SetProgressMax(int32_t maximum) override;
  int32_t ProgressMax() const override;
  update::BoxAnswer ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                std::string_view caption, std::string_view text) override;
  void SetOkEnabled(bool enabled) override;
  void SetWaitPanelVisible(bool visible) override;
  void SetSecTimerRunning(bool running) override;
  void EnableProgrammingMenu() override;
  void CloseWindow() override;
  void RunFinished() override;
  void Beep() override;

  // Automation, as the Qt window's: pictures of the window in a folder (start.png, then
  // programming.png once the title shows 40 % or more, end.png when an automatic run ends), an
  // automatic OK that ends the program with the run, and a list of every control's and menu
  // item's name and text.
  void SavePicturesIn(std::filesystem::path folder);
  void TakePicture(const char* name);
  bool SavePicture(const std::filesystem::path& file);
  void StartAutoRun();
  bool ListControls(const std::filesystem::path& file) const;

  // The OK button and the menu commands.
  void OkBitBtnClick();
  void TG480eProgrammingClick(int32_t tag);
  void BenchXXXClick(int32_t tag);
  void Beenden();
  bool ReadmeClick();
  void LanguageClick(int32_t tag);
  void SWVersionClick();
  void SpeedButton1Click();

  // The translation of the window's captions.
  translation::TLanguage UpdateSprachDialog;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id);
  LRESULT OnColour(HDC dc, HWND control);
  bool FilterMessage(MSG& message);
  void BuildElements();
  HWND Control(const wchar_t* type, const char* text, DWORD style, int id = 0);
  void BuildStatusBar();
  void LayoutElements();
  void ApplyFirmwareScan();
  void ShowStartText();
  std::vector<translation::WinElement> Elements() const;
  void TranslateWindow();
  void ShowNotice(bool visible, std::string_view caption);
  void EndAutoRun(int exitCode);
  std::string OpenPortsOrSayWhy();
  void RunAutomation();
  void Shutdown();
  std::filesystem::path ExecutableFolder() const;

  Win32WindowSystem& windows_;
  shell::FormOptions options_;
  shell::FirmwareScan firmware_;
  std::unique_ptr<shell::UpdateSession> session_;

  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HFONT font_ = nullptr;
  HFONT waitFont_ = nullptr;
  HFONT stopFont_ = nullptr;

  // The window's elements; the table of Elements() gives them the names the language files use.
  HWND UpdateGroupBox = nullptr;
  HWND NameLabel = nullptr;
  HWND SerLabel = nullptr;
  HWND PCBLabel = nullptr;
  HWND SWLabel = nullptr;
  HWND NameStaticText = nullptr;
  HWND SerStaticText = nullptr;
  HWND PCBStaticText = nullptr;
  HWND SWStaticText = nullptr;
  HWND DLLabel = nullptr;
  HWND DLListBox = nullptr;
  HWND UpdateMemo = nullptr;
  HWND WaitProgressBar = nullptr;
  HWND KeyPanel = nullptr;
  HWND OkBitBtn = nullptr;
  HWND InfoStaticText = nullptr;
  HWND SpeedButton1 = nullptr;
  HWND UpdateStatusBar = nullptr;
  HWND WaitPanel = nullptr;
  HWND StopPanel = nullptr;
  std::vector<std::string> statusTexts_ = std::vector<std::string>(kStatusPanels);

  // Menus.
  HMENU MainMenu1 = nullptr;
  HMENU Bearbeiten = nullptr;
  HMENU TG480eProgramming = nullptr;
  HMENU Sprache = nullptr;
  HMENU Help = nullptr;
  bool programmingShown_ = true;

  static constexpr int kStatusPaintMs = 50;
  std::chrono::steady_clock::time_point statusPainted_;
  int exitCode_ = 0;
  bool autoRunning_ = false;
  bool portsOpen_ = false;
  bool closing_ = false;
  std::filesystem::path pictureFolder_;
  bool programmingPictured_ = false;
};

}  // namespace winshell
