#include "shell/v24_dialog.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <string>

#include "package/messages.h"
#include "shell/message_box.h"
#include "shell/v24_form.h"

namespace shell {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A box with the row's entries: a list, or a text box that offers them.
QComboBox* RowBox(QWidget* parent, int row) {
  auto* box = new QComboBox(parent);
  if (V24TakesText(row)) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    if (const int length = V24MaxLength(row); length > 0) box->lineEdit()->setMaxLength(length);
  }
  for (const V24Item& item : V24Items(row)) box->addItem(Text(item.text), item.value);
  return box;
}

// Selects the entry holding value; a value the list does not offer becomes an extra entry, so
// that it is shown and stays as it is.
void SelectValue(QComboBox* box, int row, int32_t value, int language) {
  int index = box->findData(value);
  if (index < 0) {
    box->addItem(Text(V24ExtraText(row, value, language)), value);
    index = box->count() - 1;
  }
  box->setCurrentIndex(index);
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
  setWindowTitle(Text(V24Caption(language_)));
  setModal(true);
  BuildRows();
}

void TV24_Dialog::BuildRows() {
  V24AdjustPanel = new QFrame(this);
  V24AdjustPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  V24AdjustPanel1 = new QFrame(this);
  auto* rows = new QGridLayout(V24AdjustPanel);

  QComboBox** rowBoxes[] = {&Datenbit_Box,  &Paritaet_Box,      &StopBit_Box,    &Baudrate_Box,
                            &Handshake_Box, &RX_Timeout_Box,    &TX_Timeout_Box, &NullZeichenBox,
                            &NoStringBox,   &Schnittstellen_Box};
  for (int row = 0; row < kV24Rows; ++row) *rowBoxes[row] = RowBox(V24AdjustPanel, row);

  QLabel** labels[] = {&Label_Datenbit,  &Label_Paritaet,     &Label_StopBits,  &Label_Baudrate,
                       &Label_Handshake, &Label_RXTimeout,    &Label_TXTimeout, &Label_NoNullChar,
                       &Label_NoString,  &Label_Schnittstelle};
  QComboBox* boxes[] = {Datenbit_Box,  Paritaet_Box,      StopBit_Box,    Baudrate_Box,
                        Handshake_Box, RX_Timeout_Box,    TX_Timeout_Box, NullZeichenBox,
                        NoStringBox,   Schnittstellen_Box};
  for (int i = 0; i < 10; ++i) {
    const V24Row& row = kV24RowTable[static_cast<size_t>(i)];
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
  V24_Adjust_cancel = new QPushButton(Text(V24CancelText(language_)), V24AdjustPanel1);
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
  SelectValue(Datenbit_Box, kDatenbitRow, record->DatenBits, language_);
  SelectValue(Paritaet_Box, kParitaetRow, record->Paritaet, language_);
  SelectValue(StopBit_Box, kStopBitRow, record->StopBits, language_);
  SelectValue(Baudrate_Box, kBaudrateRow, record->Baudrate, language_);
  SelectValue(Handshake_Box, kHandshakeRow, record->Handshake, language_);
  RX_Timeout_Box->setEditText(QString::number(record->RXTimeOut));
  TX_Timeout_Box->setEditText(QString::number(record->TXTimeOut));
  shownNoNull_ = Text(V24FlagText(record->KeinNullZeichen));
  shownNoString_ = Text(V24FlagText(record->KeinString));
  NullZeichenBox->setCurrentIndex(record->KeinNullZeichen ? 1 : 0);
  NoStringBox->setCurrentIndex(record->KeinString ? 1 : 0);
  FillPorts(record->Schnittstelle);
}

void TV24_Dialog::FillPorts(int32_t port) {
  Schnittstellen_Box->clear();
  for (const V24Item& item : V24PortItems(deviceList_, deviceCount_)) {
    Schnittstellen_Box->addItem(Text(item.text), item.value);
  }
  SelectValue(Schnittstellen_Box, kSchnittstelleRow, port, language_);
}

int TV24_Dialog::ShowSettings(const serial::TDlgParameter& flags, serial::V24ParameterTag* record) {
  Fill(flags, record);
  return exec() == QDialog::Accepted ? 1 : 2;
}

bool TV24_Dialog::ReadTimeout(QComboBox* box, QLabel* label, int32_t& value) {
  std::string message;
  if (V24ReadTimeout(box->currentText().toStdString(), label->text().toStdString(), language_,
                     value, message)) {
    return true;
  }
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
  record.KeinNullZeichen = V24FlagValue(NullZeichenBox->currentText().toStdString(),
                                        shownNoNull_.toStdString(), record.KeinNullZeichen);
  record.KeinString = V24FlagValue(NoStringBox->currentText().toStdString(),
                                   shownNoString_.toStdString(), record.KeinString);
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
