// TV24_Dialog: the modal window in which the user edits a port's line parameters. Which fields
// may change is decided per field by the port's dialog flags. Values the lists cannot offer
// (57600 and 115200 bit/s, Mark and Space parity, a port that is not present) are shown as an
// extra entry and kept as they are on OK.
#pragma once

#include <QDialog>
#include <cstdint>

#include "serial/com_port.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace shell {

class TV24_Dialog : public QDialog {
 public:
  // deviceList: the port indices (0 = COM1) present, deviceCount of them.
  TV24_Dialog(QWidget* owner, int language, const int32_t* deviceList, int deviceCount);

  // Fills the boxes from record and shows the dialog modally. Returns 1 (OK: record edited) or
  // 2 (Cancel: record unchanged).
  int ShowSettings(const serial::TDlgParameter& flags, serial::V24ParameterTag* record);
  // The first half of ShowSettings: enables and fills the boxes.
  void Fill(const serial::TDlgParameter& flags, serial::V24ParameterTag* record);

  // OK: writes the boxes into the record and closes with 1. A time-out that is not a whole
  // number of milliseconds leaves the record and the dialog as they are, after a message.
  void V24_Adjust_okayClick();
  void V24_Adjust_cancelClick();

  QFrame* V24AdjustPanel = nullptr;
  QFrame* V24AdjustPanel1 = nullptr;
  QLabel* Label_Datenbit = nullptr;
  QLabel* Label_Paritaet = nullptr;
  QLabel* Label_StopBits = nullptr;
  QLabel* Label_Baudrate = nullptr;
  QLabel* Label_Handshake = nullptr;
  QLabel* Label_RXTimeout = nullptr;
  QLabel* Label_TXTimeout = nullptr;
  QLabel* Label_NoNullChar = nullptr;
  QLabel* Label_NoString = nullptr;
  QLabel* Label_Schnittstelle = nullptr;
  QComboBox* Schnittstellen_Box = nullptr;
  QComboBox* TX_Timeout_Box = nullptr;
  QComboBox* RX_Timeout_Box = nullptr;
  QComboBox* Handshake_Box = nullptr;
  QComboBox* Baudrate_Box = nullptr;
  QComboBox* StopBit_Box = nullptr;
  QComboBox* Paritaet_Box = nullptr;
  QComboBox* Datenbit_Box = nullptr;
  QComboBox* NullZeichenBox = nullptr;
  QComboBox* NoStringBox = nullptr;
  QPushButton* V24_Adjust_okay = nullptr;
  QPushButton* V24_Adjust_cancel = nullptr;

 private:
  void BuildRows();
  void FillPorts(int32_t port);
  // The time-out in box, or false after telling the user what is wrong.
  bool ReadTimeout(QComboBox* box, QLabel* label, int32_t& value);

  serial::V24ParameterTag* record_ = nullptr;
  const int32_t* deviceList_ = nullptr;
  int deviceCount_ = 0;
  int language_ = 0;
  // The flag texts as shown: an unchanged box keeps the record's byte.
  QString shownNoNull_;
  QString shownNoString_;
};

// The dialog for TComPort::OpenDialog, owned by owner.
serial::SettingsDialog V24SettingsDialog(QWidget* owner);

}  // namespace shell
