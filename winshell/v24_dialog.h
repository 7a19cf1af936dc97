// TV24_Dialog on Win32: the modal window in which the user edits a port's line parameters, the
// dialog IDD_V24 of the resource script. Which fields may change is decided per field by the
// port's dialog flags; what the rows show and how they are read back is the Qt dialog's
// (shell/v24_form.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "serial/com_port.h"

namespace winshell {

class TV24_Dialog {
 public:
  // deviceList: the port indices (0 = COM1) present, deviceCount of them.
  TV24_Dialog(HWND owner, int language, const int32_t* deviceList, int deviceCount);

  // Fills the boxes from record and shows the dialog modally. Returns 1 (OK: record edited) or
  // 2 (Cancel: record unchanged).
  int ShowSettings(const serial::TDlgParameter& flags, serial::V24ParameterTag* record);

  // The dialog without its modal loop (tests drive it): made, captioned and filled; the caller
  // destroys it.
  HWND Create(const serial::TDlgParameter& flags, serial::V24ParameterTag* record);
  // OK: writes the boxes into the record; false (the record and the dialog as they were) after a
  // message when a time-out is not a whole number of milliseconds.
  bool V24_Adjust_okayClick();

 private:
  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void Fill();
  HWND Box(int row) const;
  std::string BoxText(int row) const;

  HWND owner_;
  HWND dialog_ = nullptr;
  int language_;
  const int32_t* deviceList_;
  int deviceCount_;
  serial::TDlgParameter flags_;
  serial::V24ParameterTag* record_ = nullptr;
  // The flag texts as shown: an unchanged box keeps the record's byte.
  std::string shownNoNull_;
  std::string shownNoString_;
};

// The dialog for TComPort::OpenDialog, owned by owner.
serial::SettingsDialog V24SettingsDialog(HWND owner);

}  // namespace winshell
