#include "shell/update_form.h"
#include "shell/form_layout.h"

#include "update/programming_flows.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "core/event_codes.h"
#include "package/messages.h"
#include "shell/form_commands.h"
#include "shell/message_box.h"
#include "shell/time_scale.h"
#include "shell/window_picture.h"
#include "translation/qt_translate.h"
#include "update/display.h"
#include "update/port_search.h"
#include "update/programming_flows.h"

namespace shell {
namespace {

using namespace layout;

QLabel* SunkenText(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::ToolTipBase));
  label->setPalette(palette);
  return label;
}

QLabel* Panel(QWidget* parent, const char* caption, int pixelSize, bool bold) {
  auto* panel = new QLabel(QString::fromUtf8(caption), parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setAlignment(Qt::AlignCenter);
  panel->setAutoFillBackground(true);
  QFont font = panel->font();
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  panel->setFont(font);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  panel->setPalette(palette);
  panel->hide();
  return panel;
}

// Reports the rewrite of Update.ini: errors in a box, notes in the log.
class FormReport : public package::FileReport {
 public:
  explicit FormReport(TUpdateForm& form) : form_(form) {}
  void ShowError(std::string_view caption, std::string_view text) override {
    form_.ShowMessage(update::BoxIcon::Error, update::BoxButtons::Ok, caption, text);
  }
  void Note(std::string_view text) override { form_.AppendLog(text); }

 private:
  TUpdateForm& form_;
};

bool OpenWithDesktop(const std::filesystem::path& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

}  // namespace

TUpdateForm::TUpdateForm(core::WindowSystem& windows, FormOptions options)
    : options_(std::move(options)) {
  setWindowTitle(QStringLiteral("Download :"));
  BuildElements();
  BuildMenus();
  NameElements();
  openDocument_ = OpenWithDesktop;
  UpdateSprachDialog.Dialogfile = "own.lng";
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  const int32_t language = options_.settings.LanguageIndex;
  Deutsch->setChecked(language == 0);
  Englisch->setChecked(language == 1);
  firmware_ = ScanPackageFirmware(options_.programFolder, options_.devices,
                                  options_.settings.LanguageIndex);
  ApplyFirmwareScan();
  serial::ErrorBox portErrorBox =
      options_.portErrorBox ? options_.portErrorBox
                            : [this](const std::string& caption, const std::string& text) {
                                ShowError(caption, text);
                              };
  session_ = std::make_unique<UpdateSession>(windows, *this, options_.settings, options_.devices,
                                             firmware_.files, std::move(portErrorBox));
  session_->SetRecordFile(update::DefaultRecordFile());
  ShowStartText();
  TranslateWindow();
  QCoreApplication::instance()->installEventFilter(this);
  OpenPortsOrSayWhy();
}

std::string TUpdateForm::OpenPortsOrSayWhy() {
  if (std::string problem = session_->PortProblem(); !problem.empty()) {
    StatusPanels[0]->clear();
    AppendLog(problem);
    return problem;
  }
  StatusPanels[0]->setText(QString::fromStdString(session_->OpenPorts()));
  for (const std::string& note : session_->PortNotes()) AppendLog(note);
  portsOpen_ = true;
  return {};
}

TUpdateForm::~TUpdateForm() {
  QCoreApplication::instance()->removeEventFilter(this);
}

void TUpdateForm::BuildElements() {
  client_ = new QWidget(this);
  setCentralWidget(client_);

  MainBevel = new QFrame(client_);
  MainBevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  UpdateGroupBox = new QGroupBox(QString::fromUtf8("Gerät"), client_);
  const char* captions[] = {"Name:", "Seriennummer:", "PCB Nummer :", "Version:"};
  QLabel** labels[] = {&NameLabel, &SerLabel, &PCBLabel, &SWLabel};
  QLabel** texts[] = {&NameStaticText, &SerStaticText, &PCBStaticText, &SWStaticText};
  for (int i = 0; i < 4; ++i) {
    *labels[i] = new QLabel(QString::fromUtf8(captions[i]), UpdateGroupBox);
    (*labels[i])->setGeometry(16, 32 + 24 * i - 16, 130, 17);
    *texts[i] = SunkenText(UpdateGroupBox);
    (*texts[i])->setGeometry(152, 32 + 24 * i - 16, 209, 17);
  }
  DLLabel = new QLabel(QStringLiteral("Download-Liste"), UpdateGroupBox);
  DLLabel->setGeometry(368, 8, 150, 17);
  DLLabel->hide();
  DLListBox = new QListWidget(UpdateGroupBox);
  DLListBox->setGeometry(368, 26, 153, 100);
  DLListBox->hide();

  UpdateMemo = new QPlainTextEdit(client_);
  UpdateMemo->setReadOnly(true);
  UpdateMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  WaitProgressBar = new QProgressBar(client_);
  WaitProgressBar->setRange(0, 40);
  WaitProgressBar->setValue(0);
  WaitProgressBar->setTextVisible(false);

  KeyPanel = new QFrame(client_);
  KeyPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  OkBitBtn = new QPushButton(QStringLiteral("OK"), KeyPanel);
  OkBitBtn->setGeometry(197, 16, 137, 25);
  OkBitBtn->setDefault(true);
  connect(OkBitBtn, &QPushButton::clicked, this, [this] { OkBitBtnClick(); });
  InfoStaticText = SunkenText(KeyPanel);
  InfoStaticText->setGeometry(24, 20, kInfoWidth, 17);
  InfoStaticText->hide();
  SpeedButton1 = new QToolButton(KeyPanel);
  SpeedButton1->setGeometry(456, 16, 25, 25);
  SpeedButton1->hide();
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });

  UpdateStatusBar = new QStatusBar(this);
  setStatusBar(UpdateStatusBar);
  UpdateStatusBar->setSizeGripEnabled(false);
  for (size_t index = 0; index < std::size(kStatusWidths); ++index) {
    auto* panel = new QLabel(UpdateStatusBar);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    int width = kStatusWidths[index];
    for (std::string_view sample : kStatusSamples[index]) {
      panel->setText(QString::fromUtf8(sample.data(), static_cast<qsizetype>(sample.size())));
      width = std::max(width, panel->sizeHint().width());
    }
    panel->clear();
    panel->setFixedWidth(width);
    UpdateStatusBar->addWidget(panel);
    StatusPanels.push_back(panel);
  }
  StatusPanels[0]->setText(QStringLiteral("Com X"));

  WaitPanel = Panel(client_, "Bitte warten ...", 32, true);
  StopPanel = Panel(client_, "Update wird beendet ...", 21, false);

  SecTimer = new QTimer(this);
  SecTimer->setInterval(500);
  connect(SecTimer, &QTimer::timeout, this, [this] { SecTimerTimer(); });
  TitleTimer = new QTimer(this);
  TitleTimer->setInterval(300);
}

void TUpdateForm::BuildMenus() {
  Bearbeiten = menuBar()->addMenu(QStringLiteral("&Datei"));
  TG480eProgramming = new QMenu(QStringLiteral("&Programmieren"), this);
  TG480eProgrammingItem = Bearbeiten->addMenu(TG480eProgramming);
  TG480eProgrammingItem->setVisible(false);
  QAction** items[] = {&DevMulti480e, &DevpH480e, &DevOxi480e, &DevCond480e};
  const char* captions[] = {"&Multi 480e ...", "&pH 480e ...", "&Oxi 480e ...", "&Cond 480e ..."};
  for (int tag = 0; tag < 4; ++tag) {
    *items[tag] = TG480eProgramming->addAction(QString::fromUtf8(captions[tag]));
    (*items[tag])->setData(tag);
    (*items[tag])->setEnabled(false);
    connect(*items[tag], &QAction::triggered, this, [this, tag] { TG480eProgrammingClick(tag); });
  }
  BenchXXX = Bearbeiten->addAction(QStringLiteral("Bench XXX"));
  BenchXXX->setData(0);
  connect(BenchXXX, &QAction::triggered, this, [this] { BenchXXXClick(BenchXXX->data().toInt()); });
  UpdateEnd = Bearbeiten->addAction(QStringLiteral("&Beenden"));
  connect(UpdateEnd, &QAction::triggered, this, [this] { Beenden(); });

  Sprache = menuBar()->addMenu(QStringLiteral("&Sprache"));
  auto* group = new QActionGroup(this);
  Deutsch = Sprache->addAction(QStringLiteral("&Deutsch"));
  Englisch = Sprache->addAction(QStringLiteral("&Englisch"));
  for (QAction* item : {Deutsch, Englisch}) {
    item->setCheckable(true);
    group->addAction(item);
  }
  Deutsch->setData(0);
  Englisch->setData(1);
  for (QAction* item : {Deutsch, Englisch}) {
    connect(item, &QAction::triggered, this, [this, item] { LanguageClick(item->data().toInt()); });
  }

  Help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
  Readme = Help->addAction(QStringLiteral("&Read me ..."));
  RunRecord = Help->addAction(QString());
  SWVersion = Help->addAction(QStringLiteral("&Version ..."));
  connect(Readme, &QAction::triggered, this, [this] { ReadmeClick(); });
  connect(RunRecord, &QAction::triggered, this, [this] { RunRecordClick(); });
  connect(SWVersion, &QAction::triggered, this, [this] { SWVersionClick(); });
}

void TUpdateForm::NameElements() {
  const std::pair<QObject*, const char*> named[] = {
      {this, "UpdateForm"},
      {MainBevel, "MainBevel"},
      {UpdateGroupBox, "UpdateGroupBox"},
      {NameLabel, "NameLabel"},
      {SerLabel, "SerLabel"},
      {PCBLabel, "PCBLabel"},
      {SWLabel, "SWLabel"},
      {NameStaticText, "NameStaticText"},
      {SerStaticText, "SerStaticText"},
      {PCBStaticText, "PCBStaticText"},
      {SWStaticText, "SWStaticText"},
      {DLLabel, "DLLabel"},
      {DLListBox, "DLListBox"},
      {UpdateMemo, "UpdateMemo"},
      {WaitProgressBar, "WaitProgressBar"},
      {KeyPanel, "KeyPanel"},
      {OkBitBtn, "OkBitBtn"},
      {InfoStaticText, "InfoStaticText"},
      {SpeedButton1, "SpeedButton1"},
      {UpdateStatusBar, "UpdateStatusBar"},
      {WaitPanel, "WaitPanel"},
      {StopPanel, "StopPanel"},
      {SecTimer, "SecTimer"},
      {TitleTimer, "TitleTimer"},
      {menuBar(), "MainMenu1"},
      {Bearbeiten, "Bearbeiten"},
      {TG480eProgramming, "TG480eProgramming"},
      {DevMulti480e, "DevMulti480e"},
      {DevpH480e, "DevpH480e"},
      {DevOxi480e, "DevOxi480e"},
      {DevCond480e, "DevCond480e"},
      {BenchXXX, "BenchXXX"},
      {UpdateEnd, "UpdateEnd"},
      {Sprache, "Sprache"},
      {Deutsch, "Deutsch"},
      {Englisch, "Englisch"},
      {Help, "Help"},
      {Readme, "Readme"},
      {SWVersion, "SWVersion"},
  };
  for (const auto& [object, name] : named) object->setObjectName(QString::fromUtf8(name));
  // Texts the program writes at run time keep them when the language changes.
  for (QLabel* text :
       {NameStaticText, SerStaticText, PCBStaticText, SWStaticText, InfoStaticText}) {
    translation::SetTag(text, UpdateSprachDialog.TagNoTranslate);
  }
  for (QLabel* panel : StatusPanels) translation::SetTag(panel, UpdateSprachDialog.TagNoTranslate);
  NameRunRecordItem();
}

void TUpdateForm::NameRunRecordItem() {
  // The catalogue names the record's menu command in both languages; without an object name
  // the language files neither translate it nor learn it.
  const std::string_view text =
      messages::Text(messages::MENU_OPEN_RECORD, options_.settings.LanguageIndex);
  RunRecord->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::filesystem::path TUpdateForm::FindBeside(const std::string& name) const {
  return shell::FindBeside(options_, QCoreApplication::applicationDirPath().toStdString(), name);
}

std::filesystem::path TUpdateForm::LanguageFile() const {
  return LanguageFileOf(options_, QCoreApplication::applicationDirPath().toStdString());
}

void TUpdateForm::TranslateWindow() {
  UpdateSprachDialog.Dialogfile = LanguageFile().string();
  const std::string error = translation::TranslateDialog(UpdateSprachDialog, this);
  if (!error.empty()) {
    AppendLog(std::string(messages::In(messages::kLanguageFileNotWritten,
                                       options_.settings.LanguageIndex)) +
              error);
  }
}

void TUpdateForm::LayoutElements() {
  const int width = client_->width();
  const int height = client_->height();
  MainBevel->setGeometry(0, 0, width, 2);
  UpdateGroupBox->setGeometry(8, 2, width - 16, 137);
  // The log takes what the fixed elements leave over.
  const int keyTop = height - kKeyPanelHeight;
  const int barTop = keyTop - 24;
  UpdateMemo->setGeometry(8, 144, width - 16, std::max(40, barTop - 4 - 144));
  WaitProgressBar->setGeometry(8, barTop, width - 16, 20);
  KeyPanel->setGeometry(0, keyTop, width, kKeyPanelHeight);
  WaitPanel->setGeometry(56, 208, 396, 121);
  StopPanel->setGeometry(112, 320, 297, 49);
}

void TUpdateForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LayoutElements();
}

void TUpdateForm::ApplyFirmwareScan() {
  for (const std::string& name : firmware_.listNames) {
    DLListBox->addItem(QString::fromStdString(name));
  }
  TG480eProgrammingItem->setVisible(firmware_.programmingMenuVisible);
  QAction* items[] = {DevMulti480e, DevpH480e, DevOxi480e, DevCond480e};
  for (int k = 0; k < 4; ++k) {
    if (firmware_.deviceItemsEnabled[k]) items[k]->setEnabled(true);
  }
  if (firmware_.benchEnabled) BenchXXX->setEnabled(true);
}

void TUpdateForm::ShowStartText() {
  AppendLog(StartText(options_, options_.settings.LanguageIndex));
  // Notes about the package files and the firmware list follow the instructions.
  for (const std::string& note : options_.startupNotes) AppendLog(note);
  for (const std::string& note : firmware_.log) AppendLog(note);
}

void TUpdateForm::AppendLog(std::string_view text) {
  UpdateMemo->appendPlainText(ToDisplayText(text));
}

void TUpdateForm::ClearLog() {
  UpdateMemo->clear();
}

void TUpdateForm::SetDeviceField(update::DeviceField field, std::string_view text) {
  QLabel* fields[] = {NameStaticText, SerStaticText, PCBStaticText, SWStaticText};
  fields[static_cast<int>(field)]->setText(ToDisplayText(text));
}

void TUpdateForm::SetStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || static_cast<size_t>(panel) >= StatusPanels.size()) return;
  StatusPanels[static_cast<size_t>(panel)]->setText(ToDisplayText(text));
}

void TUpdateForm::RepaintStatusBar() {
  // A boot loader's run shows its percentage after every answer, hundreds a second: painting
  // at once is needed only while the window thread stays busy, and twenty times a second is
  // enough for that. The panels' own repaint follows in the next pass of the event loop.
  const auto now = std::chrono::steady_clock::now();
  if (now - statusPainted_ < std::chrono::milliseconds(kStatusPaintMs)) return;
  statusPainted_ = now;
  UpdateStatusBar->repaint();
}

void TUpdateForm::SetApplicationTitle(std::string_view title) {
  // On a Linux desktop the window's title is what the task bar shows.
  setWindowTitle(ToDisplayText(title));
  if (!pictureFolder_.empty() && !programmingPictured_) {
    if (const std::optional<double> percent = TitlePercent(title); percent && *percent >= 40) {
      programmingPictured_ = true;
      TakePicture("programming.png");
    }
  }
}

void TUpdateForm::SetProgress(int32_t position) {
  WaitProgressBar->setValue(position);
}

int32_t TUpdateForm::Progress() const {
  return WaitProgressBar->value();
}

void TUpdateForm::SetProgressMax(int32_t maximum) {
  WaitProgressBar->setMaximum(maximum);
}

int32_t TUpdateForm::ProgressMax() const {
  return WaitProgressBar->maximum();
}

update::BoxAnswer TUpdateForm::ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                           std::string_view caption, std::string_view text) {
  const update::BoxAnswer answer =
      ShowMessageBox(this, options_.settings.LanguageIndex, icon, buttons, caption, text);
  if (answer == update::BoxAnswer::No) answeredNo_ = true;
  return answer;
}

void TUpdateForm::SetOkEnabled(bool enabled) {
  OkBitBtn->setEnabled(enabled);
  // OK offered again during a run: it has ended without success.
  if (enabled) {
    RecordRun(UpdateSession::RunEnd::kFailed);
    EndAutoRun(1);
  }
}

void TUpdateForm::BeginRecordedRun() {
  runRecordDue_ = true;
  answeredNo_ = false;
}

void TUpdateForm::RecordRun(UpdateSession::RunEnd end) {
  if (!runRecordDue_) return;
  runRecordDue_ = false;
  session_->RecordRun(end, answeredNo_);
}

void TUpdateForm::SetWaitPanelVisible(bool visible) {
  WaitPanel->setVisible(visible);
  if (visible) WaitPanel->raise();
}

void TUpdateForm::SetSecTimerRunning(bool running) {
  if (running) {
    SecTimer->start();
  } else {
    SecTimer->stop();
  }
}

void TUpdateForm::EnableProgrammingMenu() {
  TG480eProgrammingItem->setEnabled(true);
}

void TUpdateForm::CloseWindow() {
  // The engine closes the window only when a run ends without success ("no instrument found").
  RecordRun(UpdateSession::RunEnd::kClosed);
  EndAutoRun(1);
  // Deferred: the engine asks from deep inside an event handler that is still running.
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TUpdateForm::RunFinished() {
  RecordRun(UpdateSession::RunEnd::kSuccess);
  EndAutoRun(0);
}

void TUpdateForm::StartAutoRun() {
  autoRunning_ = true;
  OkBitBtnClick();
}

void TUpdateForm::SavePicturesIn(std::filesystem::path folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);  // a failure is reported per picture
  pictureFolder_ = std::move(folder);
}

void TUpdateForm::TakePicture(const char* name) {
  if (pictureFolder_.empty()) return;
  const std::filesystem::path file = pictureFolder_ / name;
  if (!SaveWindowPicture(*this, file)) {
    std::fprintf(stderr, "picture of the window not saved: %s\n", file.string().c_str());
  }
}

void TUpdateForm::EndAutoRun(int exitCode) {
  if (!autoRunning_) return;
  autoRunning_ = false;
  // Now, while the window still shows the run's end: the program ends with the next pass.
  TakePicture("end.png");
  QMetaObject::invokeMethod(
      this, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
}

void TUpdateForm::OkBitBtnClick() {
  if (!portsOpen_) {
    // No port could be used at start: look again (an adapter may have been plugged in), and
    // say at once why not instead of searching.
    session_->RetakeInventory();
    if (const std::string problem = OpenPortsOrSayWhy(); !problem.empty()) {
      const int32_t language = options_.settings.LanguageIndex;
      ShowError(messages::Text(messages::CAPTION_ERROR, language), problem);
      EndAutoRun(kStartupFailed);
      return;
    }
  }
  // The language cannot change once a run has begun.
  Sprache->setEnabled(false);
  BeginRecordedRun();
  session_->PressOk();
}

void TUpdateForm::SecTimerTimer() {
  WaitProgressBar->setValue(WaitProgressBar->value() + 1);
}

void TUpdateForm::TG480eProgrammingClick(int32_t tag) {
  TG480eProgrammingItem->setEnabled(false);
  BeginRecordedRun();
  Engine().Flows().menu.TG480eProgrammingClick(tag);
}

void TUpdateForm::BenchXXXClick(int32_t tag) {
  BenchXXX->setEnabled(false);
  BeginRecordedRun();
  Engine().Flows().menu.BenchXXXClick(tag);
}

void TUpdateForm::Beenden() {
  close();
}

std::string TUpdateForm::ManualName() const {
  return shell::ManualName(options_);
}

bool TUpdateForm::ReadmeClick() {
  const int32_t language = options_.settings.LanguageIndex;
  const std::string name = ManualName();
  const std::filesystem::path manual = FindBeside(name);
  if (!manual.empty() && openDocument_(manual)) return true;
  ShowMessage(update::BoxIcon::Error, update::BoxButtons::Ok,
              messages::Text(messages::CAPTION_ERROR, language),
              ManualFailureText(language, manual, name));
  return false;
}

bool TUpdateForm::RunRecordClick() {
  const int32_t language = options_.settings.LanguageIndex;
  const std::filesystem::path record = session_->RecordFile();
  std::error_code error;
  if (!record.empty() && std::filesystem::exists(record, error)) {
    if (openDocument_(record)) return true;
    ShowMessage(update::BoxIcon::Error, update::BoxButtons::Ok,
                messages::Text(messages::CAPTION_ERROR, language),
                messages::Filled(messages::MSG_RECORD_NOT_OPENED, language, record.string()));
    return false;
  }
  ShowMessage(update::BoxIcon::Information, update::BoxButtons::Ok,
              messages::Text(messages::CAPTION_INFO, language),
              messages::Filled(messages::MSG_NO_RECORD_YET, language, record.string()));
  return false;
}

void TUpdateForm::LanguageClick(int32_t tag) {
  // A failed rewrite of Update.ini is reported there; the switch holds for this run.
  FormReport report(*this);
  TakeLanguage(options_, *session_, tag, report);
  const int32_t language = options_.settings.LanguageIndex;
  (language == 1 ? Englisch : Deutsch)->setChecked(true);
  TranslateWindow();
  NameRunRecordItem();
  ClearLog();
  AppendLog(StartText(options_, language));
}

void TUpdateForm::SWVersionClick() {
  ShowMessage(update::BoxIcon::Information, update::BoxButtons::Ok,
              messages::Text(messages::CAPTION_INFO, options_.settings.LanguageIndex),
              VersionBoxText(options_.settings, UPDATER_VERSION));
}

void TUpdateForm::SpeedButton1Click() {
  SendWakeSequence(options_, *session_);
}

void TUpdateForm::ShowNotice(bool visible, std::string_view caption) {
  InfoStaticText->setText(ToDisplayText(caption));
  // As wide as the notice needs, up to the OK button.
  const int room = OkBitBtn->x() - InfoStaticText->x() - 4;
  InfoStaticText->resize(std::clamp(InfoStaticText->sizeHint().width(), kInfoWidth, room),
                         InfoStaticText->height());
  InfoStaticText->setVisible(visible);
}

void TUpdateForm::FormKeyUp(int key, Qt::KeyboardModifiers shift) {
  if ((shift & Qt::ShiftModifier) && key == Qt::Key_F12) SetClockByKey(options_, *session_, *this);
  if ((shift & Qt::ControlModifier) && key == Qt::Key_F1) {
    ShowNotice(ToggleDebugMode(*session_), messages::kDebugModeNotice);
  }
  // The X server takes Ctrl+Alt+F10 for a switch to a text console: Ctrl+Shift+F10 does the same.
  if ((shift & Qt::ControlModifier) && (shift & (Qt::AltModifier | Qt::ShiftModifier)) &&
      key == Qt::Key_F10) {
    ShowNotice(ToggleVersionCheck(*session_), messages::kIgnoreVersionNotice);
  }
}

bool TUpdateForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) keySeen_ = nullptr;
  if (event->type() != QEvent::KeyRelease || !watched->isWidgetType()) return false;
  if (static_cast<QWidget*>(watched)->window() != this) return false;
  // A release a control ignores goes on to its parents: the window takes it once.
  if (event == keySeen_) return false;
  keySeen_ = event;
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (!key->isAutoRepeat()) FormKeyUp(key->key(), key->modifiers());
  return false;
}

void TUpdateForm::Beep() {
  QApplication::beep();
}

void TUpdateForm::closeEvent(QCloseEvent* event) {
  StopPanel->show();
  StopPanel->raise();
  StopPanel->repaint();
  session_->StopLoaders();
  session_->Ports().CloseAll();
  QMainWindow::closeEvent(event);
}

}  // namespace shell
