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
#include "shell/firmware_scan.h"
#include "update/port_table.h"

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
  // ProgFile2 of the device entries 0 to 3, for the menu rules of the firmware scan.
  std::vector<std::string> deviceProgFile2;
  // "Com" of Update.ini: open only this port (0-based index) instead of every usable one.
  bool comGiven = false;
  int comIndex = 0;
  // Where the ports' error boxes go; empty: a modal message box.
  serial::ErrorBox portErrorBox;
};

class TUpdateForm : public QMainWindow {
 public:
  TUpdateForm(core::WindowSystem& windows, FormOptions options);
  ~TUpdateForm() override;

  core::EventCore& Events() { return events_; }
  const FirmwareScan& Firmware() const { return firmware_; }
  update::PortTable& Ports() { return ports_; }

  // The engine's part of a line error (LineErrorSeen, restarting the response timer, the
  // 500 ms delay and the new port search); the window has already dropped the port's input.
  std::function<void(int portNumber)> OnLineError;

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
  // Window messages of the serial port component.
  void OnWindowMessage(uint32_t message, uintptr_t wParam);

  core::WindowSystem& windows_;
  core::EventCore events_;
  FormOptions options_;
  FirmwareScan firmware_;
  update::PortTable ports_;
  QWidget* client_ = nullptr;
};

}  // namespace shell
