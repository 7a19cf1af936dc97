#include "winshell/win_dialogs.h"

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "core/win_text.h"
#include "package/messages.h"
#include "shell/package_choice.h"
#include "shell/package_folder.h"
#include "winshell/resource.h"

namespace winshell {
namespace {

namespace fs = std::filesystem;

// Where the package folder of the last start is kept (the user's part of the registry).
constexpr wchar_t kSettingsKey[] = L"Software\\instrument-updater\\update";
constexpr wchar_t kFolderValue[] = L"package/folder";

// The answer an automatic box gives (UPDATE_AUTO_ANSWER), or nothing when a person answers.
std::optional<bool> AutoAnswer() {
  const char* answer = std::getenv("UPDATE_AUTO_ANSWER");
  if (!answer) return std::nullopt;
  if (std::strcmp(answer, "yes") == 0) return true;
  if (std::strcmp(answer, "no") == 0) return false;
  return std::nullopt;
}

void Report(const char* what, std::string_view caption, std::string_view text,
            std::string_view answer) {
  std::fprintf(stderr, "%s [%.*s] %.*s -> %.*s\n", what, static_cast<int>(caption.size()),
               caption.data(), static_cast<int>(text.size()), text.data(),
               static_cast<int>(answer.size()), answer.data());
  std::fflush(stderr);
}

// The open box's buttons get the catalogue's labels, and an automatic answer presses one:
// a hook sees the box when it is activated.
struct BoxLabels {
  int32_t language = 0;
  int autoButton = 0;  // 0: a person answers
  HHOOK hook = nullptr;
};
BoxLabels* openBox = nullptr;

LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  BoxLabels* box = openBox;
  if (code == HCBT_ACTIVATE && box) {
    const auto window = reinterpret_cast<HWND>(wParam);
    const std::pair<int, messages::MessageId> labels[] = {
        {IDOK, messages::BUTTON_OK}, {IDYES, messages::BUTTON_YES}, {IDNO, messages::BUTTON_NO}};
    for (const auto& [id, label] : labels) {
      if (HWND button = GetDlgItem(window, id)) {
        SetWindowTextW(button, DisplayText(messages::Text(label, box->language)).c_str());
      }
    }
    if (box->autoButton != 0) {
      PostMessageW(window, WM_COMMAND, MAKEWPARAM(box->autoButton, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, box->autoButton)));
    }
    openBox = nullptr;  // once: a box opened from this one is a new one
    return CallNextHookEx(box->hook, code, wParam, lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

UINT IconOf(update::BoxIcon icon) {
  switch (icon) {
    case update::BoxIcon::Error:
      return MB_ICONERROR;
    case update::BoxIcon::Question:
      return MB_ICONQUESTION;
    case update::BoxIcon::Information:
      break;
  }
  return MB_ICONINFORMATION;
}

struct VersionBox {
  std::wstring caption;
  std::wstring text;
  bool automatic = false;
};

INT_PTR CALLBACK VersionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* box = reinterpret_cast<const VersionBox*>(lParam);
    SetWindowTextW(dialog, box->caption.c_str());
    SetDlgItemTextW(dialog, IDC_VERSION_TEXT, box->text.c_str());
    SendDlgItemMessageW(dialog, IDC_VERSION_ICON, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_INFORMATION)), 0);
    if (box->automatic) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

struct FolderChoice {
  std::wstring start;
  bool automatic = false;
};

int CALLBACK FolderProcedure(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) {
    const auto* choice = reinterpret_cast<const FolderChoice*>(data);
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(choice->start.c_str()));
    if (choice->automatic) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

}  // namespace

std::wstring DisplayText(std::string_view text) {
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      lines += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      lines += "\r\n";
    } else {
      lines += c;
    }
  }
  return wintext::Wide(lines);
}

update::BoxAnswer ShowBox(HWND owner, int32_t language, update::BoxIcon icon,
                          update::BoxButtons buttons, std::string_view caption,
                          std::string_view text) {
  BoxLabels labels;
  labels.language = language;
  const bool yesNo = buttons == update::BoxButtons::YesNo;
  const std::optional<bool> automatic = AutoAnswer();
  if (automatic) {
    labels.autoButton = !yesNo ? IDOK : (*automatic ? IDYES : IDNO);
    const messages::MessageId pressed = !yesNo       ? messages::BUTTON_OK
                                        : *automatic ? messages::BUTTON_YES
                                                     : messages::BUTTON_NO;
    std::string answer(messages::Text(pressed, language));
    std::erase(answer, '&');
    Report("message box", caption, text, answer);
  }
  labels.hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  openBox = &labels;
  const int result = MessageBoxW(
      owner, DisplayText(text).c_str(), DisplayText(caption).c_str(),
      IconOf(icon) | (yesNo ? MB_YESNO : MB_OK) | (owner ? MB_APPLMODAL : MB_TASKMODAL));
  openBox = nullptr;
  if (labels.hook) UnhookWindowsHookEx(labels.hook);
  if (result == IDYES) return update::BoxAnswer::Yes;
  if (result == IDNO) return update::BoxAnswer::No;
  return update::BoxAnswer::Ok;
}

void ShowVersionBox(HWND owner, int32_t language, std::string_view caption, std::string_view text) {
  VersionBox box{DisplayText(caption), DisplayText(text), AutoAnswer().has_value()};
  if (box.automatic)
    Report("version box", caption, text, messages::Text(messages::BUTTON_OK, language));
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_VERSION), owner, VersionProcedure,
                  reinterpret_cast<LPARAM>(&box));
}

}  // namespace winshell

// The package folder of the first start (shell/package_choice.h) on Win32.
namespace shell {

std::filesystem::path RememberedPackageFolder() {
  wchar_t buffer[MAX_PATH * 4] = {};
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CURRENT_USER, winshell::kSettingsKey, winshell::kFolderValue, RRF_RT_REG_SZ,
                   nullptr, buffer, &size) != ERROR_SUCCESS) {
    return {};
  }
  return std::filesystem::path(buffer);
}

void RememberPackageFolder(const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  const std::wstring text = (error ? folder : absolute.lexically_normal()).wstring();
  RegSetKeyValueW(HKEY_CURRENT_USER, winshell::kSettingsKey, winshell::kFolderValue, REG_SZ,
                  text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::filesystem::path> ChoosePackageFolder(const std::filesystem::path& start,
                                                         int language) {
  const std::optional<std::string> automatic = AutomaticFolderChoice();
  const std::string caption(messages::Text(messages::CAPTION_CHOOSE_PACKAGE, language));
  if (automatic) {
    winshell::Report("folder dialog", caption, start.string(),
                     automatic->empty() ? std::string("Cancel") : *automatic);
  }
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  winshell::FolderChoice choice{start.wstring(), automatic.has_value()};
  const std::wstring title = winshell::DisplayText(caption);
  BROWSEINFOW browse{};
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  browse.lpfn = winshell::FolderProcedure;
  browse.lParam = reinterpret_cast<LPARAM>(&choice);
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  std::optional<std::filesystem::path> folder;
  if (chosen) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) folder = std::filesystem::path(path);
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  if (automatic) {
    if (automatic->empty()) return std::nullopt;
    return std::filesystem::path(*automatic);
  }
  return folder;
}

void ShowStartupBox(int language, std::string_view caption, std::string_view text) {
  winshell::ShowBox(nullptr, language, update::BoxIcon::Error, update::BoxButtons::Ok, caption,
                    text);
}

}  // namespace shell
