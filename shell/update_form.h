// The main window: device fields, download list, log, progress bar, OK button, status bar and
// menus. The window keeps what is about widgets, menus, start-up and shutdown; the run itself
// lives in the engine it owns.
#pragma once

#include <QMainWindow>
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
#include "shell/update_session.h"
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

struct FormOptions {
  // The folder of the executable as started: firmware files are listed from here.
  std::filesystem::path programFolder;
  // The working folder: the package files were read from here (Update.ini perhaps from the
  // settings folder), and Update.ini is rewritten there.
  std::filesystem::path workingFolder;
  package::Settings settings;          // from Update.ini
  package::DeviceDescription devices;  // from ProgDevice.ini; entries 0 to 3 decide the menu rules
  std::vector<std::string> startupNotes;  // log entries about clipped or refused input
  // Where the ports' error boxes go; empty: a modal message box.
  serial::ErrorBox portErrorBox;
};

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

  void OkBitBtnClick();
  void SecTimerTimer();

  // Window elements, named as in the window definition.
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
  QAction* SWVersion = nullptr;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildElements();
  void BuildMenus();
  void LayoutElements();
  void ApplyFirmwareScan();
  void ShowStartText();

  FormOptions options_;
  FirmwareScan firmware_;
  std::unique_ptr<UpdateSession> session_;
  QWidget* client_ = nullptr;
};

}  // namespace shell
