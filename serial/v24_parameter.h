// The persistent line parameters of a port object and the per-field switches of its settings
// dialog. The parameter file ("ComData.cfg") is the raw 36-byte record.
#pragma once

#include <string>

#include "serial/v24_types.h"

namespace serial {

class TV24Parameter {
 public:
  // Zero-filled, then 8 data bits, 4800 bit/s and a 1000 ms write time-out.
  TV24Parameter();

  // Remembers persist and file; with persist and a file name, loads the file first.
  V24ParameterTag* GetParameter(bool persist, const std::string& file);
  // Copies the record in; stores it in the file while UseDatei and DateiName say so.
  void SetParameter(const V24ParameterTag* record);

  // 0, or -10 when the file cannot be opened. A missing file is created holding the record.
  static int LoadDatei(const std::string& file, V24ParameterTag* record);
  static int SaveDatei(const std::string& file, const V24ParameterTag* record);

  V24ParameterTag Parameter;
  bool UseDatei = false;
  std::string DateiName;
};

// Which fields the settings dialog lets the user change; all false after construction.
// Members in storage order.
struct TDlgParameter {
  bool DatenBits = false;
  bool Schnittstelle = false;
  bool Paritaet = false;
  bool StopBits = false;
  bool Baudrate = false;
  bool Handshake = false;
  bool RXTimeOut = false;
  bool TXTimeOut = false;
  bool KeinNullZeichen = false;
  bool KeinString = false;
};

}  // namespace serial
