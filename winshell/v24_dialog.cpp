#include "winshell/v24_dialog.h"

#include <string_view>

#include "core/win_text.h"
#include "package/messages.h"
#include "shell/v24_form.h"
#include "winshell/resource.h"
#include "winshell/win_dialogs.h"

namespace winshell {
namespace {

using shell::V24Item;

void AddItem(HWND box, const std::string& text, int32_t value) {
  const LRESULT at =
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wintext::Wide(text).c_str()));
  SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(value));
}

// Selects the entry holding value; a value the list does not offer becomes an extra entry, so
// that it is shown and stays as it is.
void SelectValue(HWND box, int row, int32_t value, int language) {
  const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
  for (LRESULT at = 0; at < count; ++at) {
    if (static_cast<int32_t>(SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(at), 0)) ==
        value) {
      SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
      return;
    }
  }
  AddItem(box, shell::V24ExtraText(row, value, language), value);
  SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(count), 0);
}

template <typename Enum>
Enum ValueOf(HWND box, Enum old) {
  const LRESULT at = SendMessageW(box, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return old;
  return static_cast<Enum>(SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
}

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return wintext::Utf8(text);
}

}  // namespace

TV24_Dialog::TV24_Dialog(HWND owner, int language, const int32_t* deviceList, int deviceCount)
    : owner_(owner),
      language_(messages::LanguageRow(language)),
      deviceList_(deviceList),
      deviceCount_(deviceCount) {}

HWND TV24_Dialog::Box(int row) const {
  return GetDlgItem(dialog_, IDC_V24_BOX + row);
}

std::string TV24_Dialog::BoxText(int row) const {
  return WindowText(Box(row));
}

INT_PTR CALLBACK TV24_Dialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<TV24_Dialog*>(lParam);
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    self->dialog_ = dialog;
    self->Fill();
    return TRUE;
  }
  auto* self = reinterpret_cast<TV24_Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self || message != WM_COMMAND) return FALSE;
  if (LOWORD(wParam) == IDOK) {
    if (self->V24_Adjust_okayClick()) EndDialog(dialog, 1);
    return TRUE;
  }
  if (LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, 2);
    return TRUE;
  }
  return FALSE;
}

void TV24_Dialog::Fill() {
  SetWindowTextW(dialog_, DisplayText(shell::V24Caption(language_)).c_str());
  SetDlgItemTextW(dialog_, IDCANCEL, DisplayText(shell::V24CancelText(language_)).c_str());
  for (int row = 0; row < shell::kV24Rows; ++row) {
    const shell::V24Row& names = shell::kV24RowTable[static_cast<size_t>(row)];
    SetDlgItemTextW(dialog_, IDC_V24_LABEL + row,
                    DisplayText(language_ ? names.english : names.german).c_str());
    HWND box = Box(row);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const V24Item& item : shell::V24Items(row)) AddItem(box, item.text, item.value);
    if (const int length = shell::V24MaxLength(row); length > 0) {
      SendMessageW(box, CB_LIMITTEXT, static_cast<WPARAM>(length), 0);
    }
  }
  const bool enabled[] = {flags_.DatenBits,    flags_.Paritaet,        flags_.StopBits,
                          flags_.Baudrate,     flags_.Handshake,       flags_.RXTimeOut,
                          flags_.TXTimeOut,    flags_.KeinNullZeichen, flags_.KeinString,
                          flags_.Schnittstelle};
  for (int row = 0; row < shell::kV24Rows; ++row) EnableWindow(Box(row), enabled[row]);

  const serial::V24ParameterTag& record = *record_;
  SelectValue(Box(shell::kDatenbitRow), shell::kDatenbitRow, record.DatenBits, language_);
  SelectValue(Box(shell::kParitaetRow), shell::kParitaetRow, record.Paritaet, language_);
  SelectValue(Box(shell::kStopBitRow), shell::kStopBitRow, record.StopBits, language_);
  SelectValue(Box(shell::kBaudrateRow), shell::kBaudrateRow, record.Baudrate, language_);
  SelectValue(Box(shell::kHandshakeRow), shell::kHandshakeRow, record.Handshake, language_);
  SetWindowTextW(Box(shell::kRXTimeoutRow), std::to_wstring(record.RXTimeOut).c_str());
  SetWindowTextW(Box(shell::kTXTimeoutRow), std::to_wstring(record.TXTimeOut).c_str());
  shownNoNull_ = shell::V24FlagText(record.KeinNullZeichen);
  shownNoString_ = shell::V24FlagText(record.KeinString);
  SendMessageW(Box(shell::kNullZeichenRow), CB_SETCURSEL, record.KeinNullZeichen ? 1 : 0, 0);
  SendMessageW(Box(shell::kNoStringRow), CB_SETCURSEL, record.KeinString ? 1 : 0, 0);
  HWND ports = Box(shell::kSchnittstelleRow);
  for (const V24Item& item : shell::V24PortItems(deviceList_, deviceCount_)) {
    AddItem(ports, item.text, item.value);
  }
  SelectValue(ports, shell::kSchnittstelleRow, record.Schnittstelle, language_);
}

bool TV24_Dialog::V24_Adjust_okayClick() {
  if (!record_) return false;
  // Both time-outs are checked before anything is written: a refused OK changes nothing.
  int32_t timeOuts[2] = {};
  const int rows[2] = {shell::kRXTimeoutRow, shell::kTXTimeoutRow};
  for (int i = 0; i < 2; ++i) {
    std::string error;
    const std::string label = WindowText(GetDlgItem(dialog_, IDC_V24_LABEL + rows[i]));
    if (!shell::V24ReadTimeout(BoxText(rows[i]), label, language_, timeOuts[i], error)) {
      ShowBox(dialog_, language_, update::BoxIcon::Error, update::BoxButtons::Ok,
              messages::Text(messages::CAPTION_ERROR, language_), error);
      SetFocus(Box(rows[i]));
      return false;
    }
  }
  serial::V24ParameterTag& record = *record_;
  record.DatenBits = ValueOf(Box(shell::kDatenbitRow), record.DatenBits);
  record.Paritaet = ValueOf(Box(shell::kParitaetRow), record.Paritaet);
  record.StopBits = ValueOf(Box(shell::kStopBitRow), record.StopBits);
  record.Baudrate = ValueOf(Box(shell::kBaudrateRow), record.Baudrate);
  record.Handshake = ValueOf(Box(shell::kHandshakeRow), record.Handshake);
  record.RXTimeOut = timeOuts[0];
  record.TXTimeOut = timeOuts[1];
  record.Schnittstelle = ValueOf(Box(shell::kSchnittstelleRow), record.Schnittstelle);
  record.KeinNullZeichen =
      shell::V24FlagValue(BoxText(shell::kNullZeichenRow), shownNoNull_, record.KeinNullZeichen);
  record.KeinString =
      shell::V24FlagValue(BoxText(shell::kNoStringRow), shownNoString_, record.KeinString);
  return true;
}

int TV24_Dialog::ShowSettings(const serial::TDlgParameter& flags, serial::V24ParameterTag* record) {
  flags_ = flags;
  record_ = record;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_V24),
                                         owner_, Procedure, reinterpret_cast<LPARAM>(this));
  return result == 1 ? 1 : 2;
}

HWND TV24_Dialog::Create(const serial::TDlgParameter& flags, serial::V24ParameterTag* record) {
  flags_ = flags;
  record_ = record;
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_V24), owner_, Procedure,
                            reinterpret_cast<LPARAM>(this));
}

serial::SettingsDialog V24SettingsDialog(HWND owner) {
  return [owner](const serial::TDlgParameter& flags, serial::V24ParameterTag& record,
                 const serial::PortInventory& ports, int language) {
    TV24_Dialog dialog(owner, language, ports.DeviceList.data(), ports.DeviceCount);
    return dialog.ShowSettings(flags, &record);
  };
}

}  // namespace winshell
