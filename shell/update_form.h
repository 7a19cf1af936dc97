// The main window: device fields, download list, log, progress bar, OK button, status bar and
// menus. The window keeps what is about widgets, menus, start-up and shutdown; the run itself
// lives in the engine it owns.
#pragma once

#include <QMainWindow>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/event_core.h"
#include "package/device_file.h"
#include "package/settings.h"
#include "serial/com_port.h"
#include "shell/firmware_scan.h"
#include "shell/form_options.h"
#include "shell/update_session.h"
#include "translation/language.h"
#include "update/engine.h"
#include "update/port_table.h"
#include "update/update_view.h"

class QAction;
class QActionGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolButton;

namespace shell {

class TUpdateForm : public QMainWindow, public update::UpdateView {
 public:
  TUpdateForm(core::WindowSystem& windows, FormOptions options);
  ~TUpdateForm() override;

  core::EventCore& Events() { return session_->Events(); }
  const FirmwareScan& Firmware() const { return firmware_; }
  const package::Settings& CurrentSettings() const { return options_.settings; }
  const package::DeviceDescription& Devices() const { return options_.devices; }
  update::PortTable& Ports() { return session_->Ports(); }
  update::UpdateEngine& Engine() { return session_->Engine(); }

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

  void OkBitBtnClick();
  // Automation: presses OK and ends the program when the run ends, with exit code 0 after its
  // success message and 1 when OK is offered again (a failure).
  void StartAutoRun();
  // Automation for the documentation: pictures of the window (see SaveWindowPicture) go to
  // folder: programming.png once the title first shows 40 % or more, end.png when an automatic
  // run ends, before the program ends; TakePicture saves one at any other moment.
  void SavePicturesIn(std::filesystem::path folder);
  void TakePicture(const char* name);
  void SecTimerTimer();

  // Menu commands and key combinations.
  // The programming submenu's entries (sender's tag: the device row) and the bench entry:
  // program the instrument from its boot loader, without the identification dialogue.
  void TG480eProgrammingClick(int32_t tag);
  void BenchXXXClick(int32_t tag);
  void Beenden();
  // Opens the manual of the language and instrument type; false after the error box.
  bool ReadmeClick();
  // Opens the run record with the desktop's program for it; false after a box saying why not.
  bool RunRecordClick();
  // Switches to the language of tag (0 German, 1 English) and keeps the choice in Update.ini.
  void LanguageClick(int32_t tag);
  void SWVersionClick();
  // Sends the wake-up sequence of the device kind to the first port.
  void SpeedButton1Click();
  // Shift+F12 sets the instrument's clock, Ctrl+F1 toggles the debug log, Ctrl+Alt+F10 toggles
  // the version check.
  void FormKeyUp(int key, Qt::KeyboardModifiers shift);

  // The manual ReadmeClick opens: its file name by language and StartMode.
  std::string ManualName() const;
  // How a document is opened; the default asks the desktop (its PDF viewer). Tests record.
  using DocumentOpener = std::function<bool(const std::filesystem::path&)>;
  void SetDocumentOpener(DocumentOpener opener) { openDocument_ = std::move(opener); }
  // The language file of the current language: found beside the package, else beside the
  // program; the package folder when there is none (the translation then learns it there).
  std::filesystem::path LanguageFile() const;

  // The translation of the window's captions.
  translation::TLanguage UpdateSprachDialog;

  // The window's elements; their names are the ones the language files use to address them.
  QFrame* MainBevel = nullptr;
  QGroupBox* UpdateGroupBox = nullptr;
  QLabel* NameLabel = nullptr;
  QLabel* SerLabel = nullptr;
  QLabel* PCBLabel = nullptr;
  QLabel* SWLabel = nullptr;
  QLabel* NameStaticText = nullptr;
  QLabel* SerStaticText = nullptr;
  QLabel* PCBStaticText = nullptr;
  QLabel* SWStaticText = nullptr;
  QLabel* DLLabel = nullptr;
  QListWidget* DLListBox = nullptr;
  QPlainTextEdit* UpdateMemo = nullptr;
  QProgressBar* WaitProgressBar = nullptr;
  QFrame* KeyPanel = nullptr;
  QPushButton* OkBitBtn = nullptr;
  QLabel* InfoStaticText = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QStatusBar* UpdateStatusBar = nullptr;
  std::vector<QLabel*> StatusPanels;  // the five panels of UpdateStatusBar
  QLabel* WaitPanel = nullptr;
  QLabel* StopPanel = nullptr;
  QTimer* SecTimer = nullptr;
  QTimer* TitleTimer = nullptr;

  // Menus.
  QMenu* Bearbeiten = nullptr;
  QMenu* TG480eProgramming = nullptr;
  QAction* TG480eProgrammingItem = nullptr;  // the submenu's entry in Bearbeiten
  QAction* DevMulti480e = nullptr;
  QAction* DevpH480e = nullptr;
  QAction* DevOxi480e = nullptr;
  QAction* DevCond480e = nullptr;
  QAction* BenchXXX = nullptr;
  QAction* UpdateEnd = nullptr;
  QMenu* Sprache = nullptr;
  QAction* Deutsch = nullptr;
  QAction* Englisch = nullptr;
  QMenu* Help = nullptr;
  QAction* Readme = nullptr;
  QAction* RunRecord = nullptr;
  QAction* SWVersion = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The window sees every released key before its controls.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildElements();
  void BuildMenus();
  void LayoutElements();
  void ApplyFirmwareScan();
  void ShowStartText();
  void NameElements();
  void TranslateWindow();
  void ShowNotice(bool visible, std::string_view caption);
  // A file of the package folder, else of the program's folder, else of the executable's own.
  std::filesystem::path FindBeside(const std::string& name) const;
  void EndAutoRun(int exitCode);
  // Opens the run's port(s), or logs why none can be used and returns that (empty: open).
  std::string OpenPortsOrSayWhy();

  FormOptions options_;
  FirmwareScan firmware_;
  std::unique_ptr<UpdateSession> session_;
  QWidget* client_ = nullptr;
  DocumentOpener openDocument_;
  // The key release being passed up from a control to its parents, handled once.
  const QEvent* keySeen_ = nullptr;
  // RepaintStatusBar paints at once at most every kStatusPaintMs.
  static constexpr int kStatusPaintMs = 50;
  std::chrono::steady_clock::time_point statusPainted_;
  bool autoRunning_ = false;
  // A run is under way (OK or a menu programming) and has not been entered in the record yet;
  // a question of it was answered No.
  bool runRecordDue_ = false;
  bool answeredNo_ = false;
  // Enters the run that has ended in the run record.
  void RecordRun(UpdateSession::RunEnd end);
  void BeginRecordedRun();
  void NameRunRecordItem();
  bool portsOpen_ = false;
  std::filesystem::path pictureFolder_;  // empty: no pictures
  bool programmingPictured_ = false;
};

}  // namespace shell
