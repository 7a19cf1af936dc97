#include "shell/update_form.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
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

#include "core/event_codes.h"
#include "shell/message_box.h"
#include "shell/time_scale.h"
#include "update/display.h"

namespace shell {
namespace {

constexpr int kClientWidth = 547;
constexpr int kClientHeight = 494;
constexpr int kKeyPanelHeight = 58;
constexpr int kStatusWidths[] = {200, 50, 50, 120, 80};

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

}  // namespace

TUpdateForm::TUpdateForm(core::WindowSystem& windows, FormOptions options)
    : options_(std::move(options)) {
  setWindowTitle(QStringLiteral("Download :"));
  BuildElements();
  BuildMenus();
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  const int32_t language = options_.settings.LanguageIndex;
  Deutsch->setChecked(language == 0);
  Englisch->setChecked(language == 1);
  std::vector<std::string> progFile2;
  for (const package::DeviceEntry& entry : options_.devices.DeviceTable) {
    if (progFile2.size() == 4) break;
    progFile2.push_back(entry.ProgFile2);
  }
  firmware_ = ScanFirmwareFiles(options_.programFolder, progFile2);
  ApplyFirmwareScan();
  serial::ErrorBox portErrorBox =
      options_.portErrorBox ? options_.portErrorBox
                            : [this](const std::string& caption, const std::string& text) {
                                ShowError(caption, text);
                              };
  session_ = std::make_unique<UpdateSession>(windows, *this, options_.settings, options_.devices,
                                             firmware_.files, std::move(portErrorBox));
  ShowStartText();
  StatusPanels[0]->setText(QString::fromStdString(session_->OpenPorts()));
}

TUpdateForm::~TUpdateForm() = default;

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
  InfoStaticText->setGeometry(24, 20, 160, 17);
  InfoStaticText->hide();
  SpeedButton1 = new QToolButton(KeyPanel);
  SpeedButton1->setGeometry(456, 16, 25, 25);
  SpeedButton1->hide();

  UpdateStatusBar = new QStatusBar(this);
  setStatusBar(UpdateStatusBar);
  UpdateStatusBar->setSizeGripEnabled(false);
  for (int width : kStatusWidths) {
    auto* panel = new QLabel(UpdateStatusBar);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
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
  }
  BenchXXX = Bearbeiten->addAction(QStringLiteral("Bench XXX"));
  UpdateEnd = Bearbeiten->addAction(QStringLiteral("&Beenden"));
  connect(UpdateEnd, &QAction::triggered, this, [this] { close(); });

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

  Help = menuBar()->addMenu(QStringLiteral("&Hilfe"));
  Readme = Help->addAction(QStringLiteral("&Read me ..."));
  SWVersion = Help->addAction(QStringLiteral("&Version ..."));
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
  const int32_t language = options_.settings.LanguageIndex;
  // No run has started: the record is empty and no port has answered yet.
  AppendLog(update::ExpandMessage(options_.devices.StartTextIn(language), language,
                                  update::DownloadContext{}, 0));
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
  UpdateStatusBar->repaint();
}

void TUpdateForm::SetApplicationTitle(std::string_view title) {
  QGuiApplication::setApplicationDisplayName(ToDisplayText(title));
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
  return ShowMessageBox(this, icon, buttons, caption, text);
}

void TUpdateForm::SetOkEnabled(bool enabled) {
  OkBitBtn->setEnabled(enabled);
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
  // Deferred: the engine asks from deep inside an event handler that is still running.
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TUpdateForm::OkBitBtnClick() {
  // The language cannot change once a run has begun.
  Sprache->setEnabled(false);
  session_->PressOk();
}

void TUpdateForm::SecTimerTimer() {
  WaitProgressBar->setValue(WaitProgressBar->value() + 1);
}

void TUpdateForm::closeEvent(QCloseEvent* event) {
  StopPanel->show();
  StopPanel->raise();
  StopPanel->repaint();
  session_->Ports().CloseAll();
  QMainWindow::closeEvent(event);
}

}  // namespace shell
