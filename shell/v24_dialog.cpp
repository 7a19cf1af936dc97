#include "shell/v24_dialog.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>
#include <string>

#include "package/messages.h"
#include "shell/message_box.h"

namespace shell {
namespace {

using serial::BaudTag;
using serial::ParitaetTag;

struct Row {
  const char* label;
  const char* german;
  const char* english;
  const char* box;
};

// Top to bottom.
constexpr Row kRows[] = {
    {"Label_Datenbit", "&Datenbit", "Data Bits", "Datenbit_Box"},
    {"Label_Paritaet", "Parität", "Parity", "Paritaet_Box"},
    {"Label_StopBits", "StopBits", "Stop Bits", "StopBit_Box"},
    {"Label_Baudrate", "Baudrate", "Baud Rate", "Baudrate_Box"},
    {"Label_Handshake", "Handshake", "Flow Control", "Handshake_Box"},
    {"Label_RXTimeout", "RX_Timeout /ms", "RX Timeout/ms", "RX_Timeout_Box"},
    {"Label_TXTimeout", "TX_Timeout /ms", "TX Timeout/ms", "TX_Timeout_Box"},
    {"Label_NoNullChar", "kein Nullzeichen", "No NullChar", "NullZeichenBox"},
    {"Label_NoString", "kein String", "No String", "NoStringBox"},
    {"Label_Schnittstelle", "Schnittstelle", "Com Port", "Schnittstellen_Box"},
};

struct Item {
  const char* text;
  int32_t value;
};

// Parity as "none, even, odd"; the values are the record's.
constexpr Item kParityItems[] = {
    {"keine", serial::NoParity}, {"gerade", serial::Even}, {"ungerade", serial::Odd}};

QComboBox* ListBox(QWidget* parent, std::initializer_list<Item> items) {
  auto* box = new QComboBox(parent);
  for (const Item& item : items) box->addItem(QString::fromUtf8(item.text), item.value);
  return box;
}

QComboBox* TextBox(QWidget* parent, std::initializer_list<const char*> items, int maxLength) {
  auto* box = new QComboBox(parent);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  if (maxLength > 0) box->lineEdit()->setMaxLength(maxLength);
  return box;
}

// Selects the entry holding value; a value the list does not offer becomes an extra entry with
// the text given, so that it is shown and stays as it is.
void SelectValue(QComboBox* box, int32_t value, const QString& extraText) {
  int index = box->findData(value);
  if (index < 0) {
    box->addItem(extraText, value);
    index = box->count() - 1;
  }
  box->setCurrentIndex(index);
}

QString Number(int32_t value) {
  return QString::number(value);
}

QString BaudText(int32_t baud) {
  const uint32_t rate = serial::BaudRateOf(static_cast<BaudTag>(baud));
  return rate ? QString::number(rate) : Number(baud);
}

QString ParityText(int32_t parity) {
  if (parity == serial::Mark) return QStringLiteral("Mark");
  if (parity == serial::Space) return QStringLiteral("Space");
  return Number(parity);
}

QString FlagText(uint8_t flag) {
  return flag ? QStringLiteral("true") : QStringLiteral("false");
}

// The byte of a flag box: kept while the text is the one shown, else whether it reads "true".
uint8_t FlagValue(const QComboBox* box, const QString& shown, uint8_t old) {
  const QString text = box->currentText().trimmed();
  if (text == shown) return old;
  return text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

template <typename Enum>
Enum ValueOf(const QComboBox* box, Enum old) {
  return box->currentIndex() < 0 ? old : static_cast<Enum>(box->currentData().toInt());
}

}  // namespace

TV24_Dialog::TV24_Dialog(QWidget* owner, int language, const int32_t* deviceList, int deviceCount)
    : QDialog(owner),
      deviceList_(deviceList),
      deviceCount_(deviceCount),
      language_(messages::LanguageRow(language)) {
  setObjectName(QStringLiteral("V24_Dialog"));
  setWindowTitle(language_ ? QStringLiteral("Settings") : QStringLiteral("Einstellungen"));
  setModal(true);
  BuildRows();
}

void TV24_Dialog::BuildRows() {
  V24AdjustPanel = new QFrame(this);
  V24AdjustPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  V24AdjustPanel1 = new QFrame(this);
  auto* rows = new QGridLayout(V24AdjustPanel);

  Datenbit_Box = ListBox(V24AdjustPanel, {{"7", serial::D_7}, {"8", serial::D_8}});
  Paritaet_Box = ListBox(V24AdjustPanel, {kParityItems[0], kParityItems[1], kParityItems[2]});
  StopBit_Box =
      ListBox(V24AdjustPanel, {{"1", serial::S_1}, {"1.5", serial::S1_5}, {"2", serial::S_2}});
  Baudrate_Box = ListBox(V24AdjustPanel, {{"1200", serial::B__1200},
                                          {"2400", serial::B__2400},
                                          {"4800", serial::B__4800},
                                          {"9600", serial::B__9600},
                                          {"19200", serial::B_19200},
                                          {"38400", serial::B_38400}});
  Handshake_Box = ListBox(V24AdjustPanel, {{"kein Handshake", serial::NoHandshake},
                                           {"RTS/CTS", serial::RTS_CTS},
                                           {"X_On/X_Off", serial::XonXoff},
                                           {"Qolmar X_On/X_Off", serial::Qolmar_XonXoff}});
  RX_Timeout_Box = TextBox(V24AdjustPanel, {"0", "10", "100", "1000"}, 4);
  TX_Timeout_Box = TextBox(V24AdjustPanel, {"0", "10", "100", "1000"}, 0);
  NullZeichenBox = TextBox(V24AdjustPanel, {"false", "true"}, 0);
  NoStringBox = TextBox(V24AdjustPanel, {"false", "true"}, 0);
  Schnittstellen_Box = new QComboBox(V24AdjustPanel);

  QLabel** labels[] = {&Label_Datenbit,  &Label_Paritaet,     &Label_StopBits,  &Label_Baudrate,
                       &Label_Handshake, &Label_RXTimeout,    &Label_TXTimeout, &Label_NoNullChar,
                       &Label_NoString,  &Label_Schnittstelle};
  QComboBox* boxes[] = {Datenbit_Box,  Paritaet_Box,      StopBit_Box,    Baudrate_Box,
                        Handshake_Box, RX_Timeout_Box,    TX_Timeout_Box, NullZeichenBox,
                        NoStringBox,   Schnittstellen_Box};
  for (int i = 0; i < 10; ++i) {
    const Row& row = kRows[i];
    auto* label =
        new QLabel(QString::fromUtf8(language_ ? row.english : row.german), V24AdjustPanel);
    label->setObjectName(QString::fromUtf8(row.label));
    label->setBuddy(boxes[i]);
    boxes[i]->setObjectName(QString::fromUtf8(row.box));
    *labels[i] = label;
    rows->addWidget(label, i, 0);
    rows->addWidget(boxes[i], i, 1);
  }

  V24_Adjust_okay = new QPushButton(QStringLiteral("OK"), V24AdjustPanel1);
  V24_Adjust_okay->setObjectName(QStringLiteral("V24_Adjust_okay"));
  V24_Adjust_okay->setDefault(true);
  V24_Adjust_cancel = new QPushButton(
      language_ ? QStringLiteral("Cancel") : QStringLiteral("Abbrechen"), V24AdjustPanel1);
  V24_Adjust_cancel->setObjectName(QStringLiteral("V24_Adjust_cancel"));
  connect(V24_Adjust_okay, &QPushButton::clicked, this, [this] { V24_Adjust_okayClick(); });
  connect(V24_Adjust_cancel, &QPushButton::clicked, this, [this] { V24_Adjust_cancelClick(); });
  auto* buttons = new QHBoxLayout(V24AdjustPanel1);
  buttons->addStretch();
  buttons->addWidget(V24_Adjust_okay);
  buttons->addWidget(V24_Adjust_cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(V24AdjustPanel);
  layout->addWidget(V24AdjustPanel1);
}

void TV24_Dialog::Fill(const serial::TDlgParameter& flags, serial::V24ParameterTag* record) {
  Datenbit_Box->setEnabled(flags.DatenBits);
  Schnittstellen_Box->setEnabled(flags.Schnittstelle);
  Paritaet_Box->setEnabled(flags.Paritaet);
  StopBit_Box->setEnabled(flags.StopBits);
  Baudrate_Box->setEnabled(flags.Baudrate);
  Handshake_Box->setEnabled(flags.Handshake);
  RX_Timeout_Box->setEnabled(flags.RXTimeOut);
  TX_Timeout_Box->setEnabled(flags.TXTimeOut);
  NullZeichenBox->setEnabled(flags.KeinNullZeichen);
  NoStringBox->setEnabled(flags.KeinString);

  record_ = record;
  SelectValue(Datenbit_Box, record->DatenBits, Number(record->DatenBits));
  SelectValue(Paritaet_Box, record->Paritaet, ParityText(record->Paritaet));
  SelectValue(StopBit_Box, record->StopBits, Number(record->StopBits));
  SelectValue(Baudrate_Box, record->Baudrate, BaudText(record->Baudrate));
  SelectValue(Handshake_Box, record->Handshake, Number(record->Handshake));
  RX_Timeout_Box->setEditText(Number(record->RXTimeOut));
  TX_Timeout_Box->setEditText(Number(record->TXTimeOut));
  shownNoNull_ = FlagText(record->KeinNullZeichen);
  shownNoString_ = FlagText(record->KeinString);
  NullZeichenBox->setCurrentIndex(record->KeinNullZeichen ? 1 : 0);
  NoStringBox->setCurrentIndex(record->KeinString ? 1 : 0);
  FillPorts(record->Schnittstelle);
}

void TV24_Dialog::FillPorts(int32_t port) {
  Schnittstellen_Box->clear();
  for (int i = 0; i < deviceCount_; ++i) {
    Schnittstellen_Box->addItem(QStringLiteral("COM%1").arg(deviceList_[i] + 1), deviceList_[i]);
  }
  const QString absent =
      language_ ? QStringLiteral(" (not present)") : QStringLiteral(" (nicht vorhanden)");
  SelectValue(Schnittstellen_Box, port, QStringLiteral("COM%1").arg(port + 1) + absent);
}

int TV24_Dialog::ShowSettings(const serial::TDlgParameter& flags, serial::V24ParameterTag* record) {
  Fill(flags, record);
  return exec() == QDialog::Accepted ? 1 : 2;
}

bool TV24_Dialog::ReadTimeout(QComboBox* box, QLabel* label, int32_t& value) {
  const std::string text = box->currentText().trimmed().toStdString();
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (!text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 0) {
    return true;
  }
  const std::string message = std::string(messages::In(messages::kTimeoutNotNumber, language_)) +
                              label->text().remove(u'&').toStdString() + " = \"" + text + "\"";
  ShowMessageBox(this, language_, update::BoxIcon::Error, update::BoxButtons::Ok,
                 messages::Text(messages::CAPTION_ERROR, language_), message);
  box->setFocus();
  return false;
}

void TV24_Dialog::V24_Adjust_okayClick() {
  if (!record_) return;
  // Both time-outs are checked before anything is written: a refused OK changes nothing.
  int32_t rxTimeOut = 0;
  int32_t txTimeOut = 0;
  if (!ReadTimeout(RX_Timeout_Box, Label_RXTimeout, rxTimeOut) ||
      !ReadTimeout(TX_Timeout_Box, Label_TXTimeout, txTimeOut)) {
    return;
  }
  serial::V24ParameterTag& record = *record_;
  record.DatenBits = ValueOf(Datenbit_Box, record.DatenBits);
  record.Paritaet = ValueOf(Paritaet_Box, record.Paritaet);
  record.StopBits = ValueOf(StopBit_Box, record.StopBits);
  record.Baudrate = ValueOf(Baudrate_Box, record.Baudrate);
  record.Handshake = ValueOf(Handshake_Box, record.Handshake);
  record.RXTimeOut = rxTimeOut;
  record.TXTimeOut = txTimeOut;
  record.Schnittstelle = ValueOf(Schnittstellen_Box, record.Schnittstelle);
  record.KeinNullZeichen = FlagValue(NullZeichenBox, shownNoNull_, record.KeinNullZeichen);
  record.KeinString = FlagValue(NoStringBox, shownNoString_, record.KeinString);
  done(QDialog::Accepted);
}

void TV24_Dialog::V24_Adjust_cancelClick() {
  done(QDialog::Rejected);
}

serial::SettingsDialog V24SettingsDialog(QWidget* owner) {
  return [owner](const serial::TDlgParameter& flags, serial::V24ParameterTag& record,
                 const serial::PortInventory& ports, int language) {
    TV24_Dialog dialog(owner, language, ports.DeviceList.data(), ports.DeviceCount);
    return dialog.ShowSettings(flags, &record);
  };
}

}  // namespace shell
