#include "winshell/update_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "core/win_text.h"
#include "package/messages.h"
#include "platform/program_folder.h"
#include "shell/form_commands.h"
#include "shell/form_layout.h"
#include "update/engine.h"
#include "update/programming_flows.h"
#include "winshell/resource.h"
#include "winshell/win_dialogs.h"
#include "winshell/win_picture.h"

namespace winshell {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kClassName[] = L"UpdaterMainWindow";
using namespace shell::layout;

// Window timers of the main window.
constexpr UINT_PTR kSecTimer = 1;
constexpr UINT_PTR kStartTimer = 2;
// Ends an automatic run after the handler that ended it has returned.
constexpr UINT kEndMessage = WM_APP + 2;

// The texts of the window's fixed elements as the resource's German captions are.
constexpr const char* kLabelCaptions[] = {"Name:", "Seriennummer:", "PCB Nummer :", "Version:"};

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

int TextWidth(HWND control, HFONT font, std::string_view text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  const std::wstring wide = DisplayText(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

HFONT PanelFont(const LOGFONTW& base, int pixels, bool bold) {
  LOGFONTW font = base;
  font.lfHeight = -pixels;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return CreateFontIndirectW(&font);
}

}  // namespace

TUpdateForm::TUpdateForm(Win32WindowSystem& windows, shell::FormOptions options)
    : windows_(windows), options_(std::move(options)) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  type.lpfnWndProc = Procedure;
  type.hInstance = instance;
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  type.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  type.lpszClassName = kClassName;
  RegisterClassExW(&type);

  MainMenu1 = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));
  Bearbeiten = GetSubMenu(MainMenu1, 0);
  TG480eProgramming = GetSubMenu(Bearbeiten, 0);
  Sprache = GetSubMenu(MainMenu1, 1);
  Help = GetSubMenu(MainMenu1, 2);
  accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  const int top = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
  window_ = CreateWindowExW(0, kClassName, L"Download :", WS_OVERLAPPEDWINDOW, left, top, width,
                            height, nullptr, MainMenu1, instance, this);
  if (!window_) throw std::runtime_error(wintext::SystemErrorText(GetLastError()));

  BuildElements();
  UpdateSprachDialog.Dialogfile = "own.lng";
  const int32_t language = options_.settings.LanguageIndex;
  CheckMenuRadioItem(Sprache, ID_DEUTSCH, ID_ENGLISCH, language == 1 ? ID_ENGLISCH : ID_DEUTSCH,
                     MF_BYCOMMAND);
  firmware_ = shell::ScanPackageFirmware(options_.programFolder, options_.devices, language);
  ApplyFirmwareScan();
  serial::ErrorBox portErrorBox =
      options_.portErrorBox ? options_.portErrorBox
                            : [this](const std::string& caption, const std::string& text) {
                                ShowError(caption, text);
                              };
  session_ =
      std::make_unique<shell::UpdateSession>(windows_, *this, options_.settings, options_.devices,
                                             firmware_.files, std::move(portErrorBox));
  ShowStartText();
  TranslateWindow();
  windows_.SetMessageFilter([this](MSG& message) { return FilterMessage(message); });
  OpenPortsOrSayWhy();
}

TUpdateForm::~TUpdateForm() {
  windows_.SetMessageFilter(nullptr);
  Shutdown();
  if (window_) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  for (HFONT font : {font_, waitFont_, stopFont_}) {
    if (font) DeleteObject(font);
  }
}

fs::path TUpdateForm::ExecutableFolder() const {
  return platform::ProgramFolder("");
}

HWND TUpdateForm::Control(const wchar_t* type, const char* text, DWORD style, int id) {
  HWND control = CreateWindowExW(0, type, DisplayText(text).c_str(), WS_CHILD | style, 0, 0, 0, 0,
                                 window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return control;
}

void TUpdateForm::BuildElements() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  waitFont_ = PanelFont(metrics.lfMessageFont, 32, true);
  stopFont_ = PanelFont(metrics.lfMessageFont, 21, false);

  // Created first, so they lie above the others when shown; the others are clipped by them.
  constexpr DWORD kPanel = SS_CENTER | SS_CENTERIMAGE | WS_BORDER;
  WaitPanel = Control(WC_STATICW, "Bitte warten ...", kPanel);
  SendMessageW(WaitPanel, WM_SETFONT, reinterpret_cast<WPARAM>(waitFont_), FALSE);
  StopPanel = Control(WC_STATICW, "Update wird beendet ...", kPanel);
  SendMessageW(StopPanel, WM_SETFONT, reinterpret_cast<WPARAM>(stopFont_), FALSE);

  constexpr DWORD kShown = WS_VISIBLE | WS_CLIPSIBLINGS;
  HWND* labels[] = {&NameLabel, &SerLabel, &PCBLabel, &SWLabel};
  HWND* texts[] = {&NameStaticText, &SerStaticText, &PCBStaticText, &SWStaticText};
  for (int i = 0; i < 4; ++i) {
    *labels[i] = Control(WC_STATICW, kLabelCaptions[i], kShown | SS_LEFT);
    *texts[i] = Control(WC_STATICW, "", kShown | SS_LEFT | SS_SUNKEN | SS_NOPREFIX);
  }
  DLLabel = Control(WC_STATICW, "Download-Liste", WS_CLIPSIBLINGS | SS_LEFT);
  DLListBox = Control(WC_LISTBOXW, "", WS_CLIPSIBLINGS | WS_BORDER | WS_VSCROLL | LBS_NOTIFY);
  // Below the elements it frames.
  UpdateGroupBox = Control(WC_BUTTONW, "Gerät", kShown | BS_GROUPBOX);

  UpdateMemo = Control(
      WC_EDITW, "", kShown | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      IDC_MEMO);
  SendMessageW(UpdateMemo, EM_SETLIMITTEXT, 0, 0);
  WaitProgressBar = Control(PROGRESS_CLASSW, "", kShown);
  SendMessageW(WaitProgressBar, PBM_SETRANGE32, 0, 40);

  KeyPanel = Control(WC_STATICW, "", kShown | SS_ETCHEDHORZ);
  OkBitBtn = Control(WC_BUTTONW, "OK", kShown | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
  InfoStaticText = Control(WC_STATICW, "", WS_CLIPSIBLINGS | SS_LEFT | SS_SUNKEN | SS_NOPREFIX);
  SpeedButton1 = Control(WC_BUTTONW, "", WS_CLIPSIBLINGS | BS_PUSHBUTTON, IDC_SPEEDBUTTON);
  BuildStatusBar();
  LayoutElements();
  SetFocus(OkBitBtn);
}

void TUpdateForm::BuildStatusBar() {
  UpdateStatusBar = Control(STATUSCLASSNAMEW, "", WS_VISIBLE, IDC_STATUSBAR);
  int edges[std::size(kStatusWidths)];
  int right = 0;
  for (size_t index = 0; index < std::size(kStatusWidths); ++index) {
    int width = kStatusWidths[index];
    for (std::string_view sample : kStatusSamples[index]) {
      width = std::max(width, TextWidth(UpdateStatusBar, font_, sample) + 12);
    }
    right += width;
    edges[index] = right;
  }
  SendMessageW(UpdateStatusBar, SB_SETPARTS, std::size(edges), reinterpret_cast<LPARAM>(edges));
  SetStatusPanel(0, "Com X");
}

void TUpdateForm::LayoutElements() {
  if (!UpdateStatusBar) return;  // still being built
  RECT client;
  GetClientRect(window_, &client);
  SendMessageW(UpdateStatusBar, WM_SIZE, 0, 0);
  RECT bar;
  GetWindowRect(UpdateStatusBar, &bar);
  const int width = client.right;
  const int height = client.bottom - (bar.bottom - bar.top);
  const auto place = [](HWND control, int x, int y, int w, int h) {
    SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(UpdateGroupBox, 8, 2, width - 16, 137);
  const HWND labels[] = {NameLabel, SerLabel, PCBLabel, SWLabel};
  const HWND texts[] = {NameStaticText, SerStaticText, PCBStaticText, SWStaticText};
  for (int i = 0; i < 4; ++i) {
    place(labels[i], 24, 26 + 24 * i, 128, 17);
    place(texts[i], 160, 26 + 24 * i, 209, 17);
  }
  place(DLLabel, 376, 10, 150, 17);
  place(DLListBox, 376, 28, 153, 100);
  // The log takes what the fixed elements leave over.
  const int keyTop = height - kKeyPanelHeight;
  const int barTop = keyTop - 24;
  place(UpdateMemo, 8, 144, width - 16, std::max(40, barTop - 4 - 144));
  place(WaitProgressBar, 8, barTop, width - 16, 20);
  place(KeyPanel, 0, keyTop, width, 2);
  place(OkBitBtn, 197, keyTop + 16, 137, 25);
  RECT info;
  GetWindowRect(InfoStaticText, &info);
  place(InfoStaticText, 24, keyTop + 20, std::max<int>(kInfoWidth, info.right - info.left), 17);
  place(SpeedButton1, 456, keyTop + 16, 25, 25);
  place(WaitPanel, 56, 208, 396, 121);
  place(StopPanel, 112, 320, 297, 49);
}

void TUpdateForm::ApplyFirmwareScan() {
  for (const std::string& name : firmware_.listNames) {
    SendMessageW(DLListBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DisplayText(name).c_str()));
  }
  // Win32 menus cannot hide an entry: the programming submenu is taken out of the menu.
  if (!firmware_.programmingMenuVisible) {
    RemoveMenu(Bearbeiten, 0, MF_BYPOSITION);
    programmingShown_ = false;
  }
  constexpr UINT items[] = {ID_DEV_MULTI, ID_DEV_PH, ID_DEV_OXI, ID_DEV_COND};
  for (int k = 0; k < 4; ++k) {
    if (firmware_.deviceItemsEnabled[k]) EnableMenuItem(TG480eProgramming, items[k], MF_ENABLED);
  }
  if (firmware_.benchEnabled) EnableMenuItem(Bearbeiten, ID_BENCH, MF_BYCOMMAND | MF_ENABLED);
}

void TUpdateForm::ShowStartText() {
  AppendLog(shell::StartText(options_, options_.settings.LanguageIndex));
  // Notes about the package files and the firmware list follow the instructions.
  for (const std::string& note : options_.startupNotes) AppendLog(note);
  for (const std::string& note : firmware_.log) AppendLog(note);
}

std::vector<translation::WinElement> TUpdateForm::Elements() const {
  using translation::WinElement;
  using Kind = WinElement::Kind;
  const int keep = UpdateSprachDialog.TagNoTranslate;
  std::vector<WinElement> elements = {
      {"UpdateForm", Kind::Window, window_},
      {"UpdateGroupBox", Kind::Window, UpdateGroupBox},
      {"NameLabel", Kind::Window, NameLabel},
      {"SerLabel", Kind::Window, SerLabel},
      {"PCBLabel", Kind::Window, PCBLabel},
      {"SWLabel", Kind::Window, SWLabel},
      // Texts the program writes at run time keep them when the language changes.
      {"NameStaticText", Kind::Window, NameStaticText, nullptr, 0, keep},
      {"SerStaticText", Kind::Window, SerStaticText, nullptr, 0, keep},
      {"PCBStaticText", Kind::Window, PCBStaticText, nullptr, 0, keep},
      {"SWStaticText", Kind::Window, SWStaticText, nullptr, 0, keep},
      {"DLLabel", Kind::Window, DLLabel},
      {"OkBitBtn", Kind::Window, OkBitBtn},
      {"InfoStaticText", Kind::Window, InfoStaticText, nullptr, 0, keep},
      {"SpeedButton1", Kind::Window, SpeedButton1},
      {"WaitPanel", Kind::Window, WaitPanel},
      {"StopPanel", Kind::Window, StopPanel},
      {"Bearbeiten", Kind::Submenu, nullptr, MainMenu1, 0},
  };
  if (programmingShown_) {
    elements.push_back({"TG480eProgramming", Kind::Submenu, nullptr, Bearbeiten, 0});
  }
  const std::pair<const char*, UINT> programming[] = {{"DevMulti480e", ID_DEV_MULTI},
                                                      {"DevpH480e", ID_DEV_PH},
                                                      {"DevOxi480e", ID_DEV_OXI},
                                                      {"DevCond480e", ID_DEV_COND}};
  for (const auto& [name, id] : programming) {
    elements.push_back({name, Kind::Command, nullptr, TG480eProgramming, id});
  }
  elements.insert(elements.end(), {
                                      {"BenchXXX", Kind::Command, nullptr, Bearbeiten, ID_BENCH},
                                      {"UpdateEnd", Kind::Command, nullptr, Bearbeiten, ID_END},
                                      {"Sprache", Kind::Submenu, nullptr, MainMenu1, 1},
                                      {"Deutsch", Kind::Command, nullptr, Sprache, ID_DEUTSCH},
                                      {"Englisch", Kind::Command, nullptr, Sprache, ID_ENGLISCH},
                                      {"Help", Kind::Submenu, nullptr, MainMenu1, 2},
                                      {"Readme", Kind::Command, nullptr, Help, ID_README},
                                      {"SWVersion", Kind::Command, nullptr, Help, ID_SWVERSION},
                                  });
  return elements;
}

void TUpdateForm::TranslateWindow() {
  UpdateSprachDialog.Dialogfile = shell::LanguageFileOf(options_, ExecutableFolder()).string();
  const std::string error = translation::TranslateDialog(UpdateSprachDialog, Elements());
  DrawMenuBar(window_);
  if (!error.empty()) {
    AppendLog(std::string(messages::In(messages::kLanguageFileNotWritten,
                                       options_.settings.LanguageIndex)) +
              error);
  }
}

bool TUpdateForm::ListControls(const fs::path& file) const {
  std::ofstream out(file, std::ios::binary);
  for (const translation::WinElement& element : Elements()) {
    out << element.name << '\t' << translation::ElementText(element) << "\n";
  }
  for (int panel = 0; panel < kStatusPanels; ++panel) {
    out << "UpdateStatusBar." << panel << '\t' << statusTexts_[static_cast<size_t>(panel)] << "\n";
  }
  return static_cast<bool>(out.flush());
}

std::string TUpdateForm::OpenPortsOrSayWhy() {
  if (std::string problem = session_->PortProblem(); !problem.empty()) {
    SetStatusPanel(0, "");
    AppendLog(problem);
    return problem;
  }
  SetStatusPanel(0, session_->OpenPorts());
  for (const std::string& note : session_->PortNotes()) AppendLog(note);
  portsOpen_ = true;
  return {};
}

void TUpdateForm::Show() {
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  // The automation once the window has been laid out and painted.
  SetTimer(window_, kStartTimer, 300, nullptr);
}

void TUpdateForm::RunAutomation() {
  // Paths from the environment as the system holds them (UTF-16), not in the ANSI code page.
  const auto path = [](const wchar_t* name) -> fs::path {
    const wchar_t* value = _wgetenv(name);
    return value && *value ? fs::path(value) : fs::path();
  };
  const char* autoRun = std::getenv("UPDATE_AUTO_RUN");
  const bool running = autoRun && *autoRun == '1';
  if (const fs::path list = path(L"UPDATE_LIST_CONTROLS"); !list.empty()) {
    if (!ListControls(list)) {
      std::fprintf(stderr, "list of the controls not written: %s\n", list.string().c_str());
    }
  }
  if (const fs::path shot = path(L"UPDATE_SCREENSHOT"); !shot.empty()) {
    if (!SavePicture(shot)) {
      std::fprintf(stderr, "picture of the window not saved: %s\n", shot.string().c_str());
    }
    Beenden();
    return;
  }
  if (const fs::path pictures = path(L"UPDATE_SCREENSHOT_DIR"); !pictures.empty()) {
    SavePicturesIn(pictures);
    TakePicture("start.png");
  }
  if (running) StartAutoRun();
}

LRESULT CALLBACK TUpdateForm::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TUpdateForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || !self->window_) return DefWindowProcW(window, message, wParam, lParam);
  // An exception must not cross the system's code: it is shown, then the program ends.
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ShowBox(window, self->options_.settings.LanguageIndex, update::BoxIcon::Error,
            update::BoxButtons::Ok,
            messages::Text(messages::CAPTION_ERROR, self->options_.settings.LanguageIndex),
            error.what());
  } catch (...) {
    const int32_t language = self->options_.settings.LanguageIndex;
    ShowBox(window, language, update::BoxIcon::Error, update::BoxButtons::Ok,
            messages::Text(messages::CAPTION_ERROR, language),
            messages::Text(messages::MSG_UNKNOWN_ERROR, language));
  }
  PostQuitMessage(3);
  return 0;
}

LRESULT TUpdateForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_SIZE:
      LayoutElements();
      return 0;
    case WM_TIMER:
      if (wParam == kSecTimer) {
        SetProgress(Progress() + 1);
      } else if (wParam == kStartTimer) {
        KillTimer(window_, kStartTimer);
        RunAutomation();
      }
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kEndMessage:
      Beenden();
      return 0;
    case WM_CLOSE:
      Shutdown();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(exitCode_);
      window_ = nullptr;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT TUpdateForm::OnColour(HDC dc, HWND control) {
  if (control == WaitPanel || control == StopPanel) {
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  if (control == NameStaticText || control == SerStaticText || control == PCBStaticText ||
      control == SWStaticText || control == InfoStaticText) {
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_INFOBK));
  }
  if (control == UpdateMemo) {
    // A read-only log still reads as a text field.
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
  }
  return DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(control));
}

void TUpdateForm::OnCommand(int id) {
  switch (id) {
    case IDOK:
      if (IsWindowEnabled(OkBitBtn)) OkBitBtnClick();
      break;
    case ID_DEV_MULTI:
    case ID_DEV_PH:
    case ID_DEV_OXI:
    case ID_DEV_COND:
      TG480eProgrammingClick(id - ID_DEV_MULTI);
      break;
    case ID_BENCH:
      BenchXXXClick(0);
      break;
    case ID_END:
      Beenden();
      break;
    case ID_DEUTSCH:
    case ID_ENGLISCH:
      LanguageClick(id == ID_ENGLISCH ? 1 : 0);
      break;
    case ID_README:
      ReadmeClick();
      break;
    case ID_SWVERSION:
      SWVersionClick();
      break;
    case IDC_SPEEDBUTTON:
      SpeedButton1Click();
      break;
    case ID_KEY_CLOCK:
      shell::SetClockByKey(options_, *session_, *this);
      break;
    case ID_KEY_DEBUG:
      ShowNotice(shell::ToggleDebugMode(*session_), messages::kDebugModeNotice);
      break;
    case ID_KEY_VERSION_CHECK:
      ShowNotice(shell::ToggleVersionCheck(*session_), messages::kIgnoreVersionNotice);
      break;
    default:
      break;
  }
}

bool TUpdateForm::FilterMessage(MSG& message) {
  // The window sees its key combinations before its controls do.
  if (!window_ || !message.hwnd || GetAncestor(message.hwnd, GA_ROOT) != window_) return false;
  return accelerators_ && TranslateAcceleratorW(window_, accelerators_, &message);
}

void TUpdateForm::AppendLog(std::string_view text) {
  std::wstring entry = DisplayText(text);
  if (GetWindowTextLengthW(UpdateMemo) > 0) entry.insert(0, L"\r\n");
  const int end = GetWindowTextLengthW(UpdateMemo);
  SendMessageW(UpdateMemo, EM_SETSEL, end, end);
  SendMessageW(UpdateMemo, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(entry.c_str()));
  SendMessageW(UpdateMemo, EM_SCROLLCARET, 0, 0);
}

void TUpdateForm::ClearLog() {
  SetWindowTextW(UpdateMemo, L"");
}

void TUpdateForm::SetDeviceField(update::DeviceField field, std::string_view text) {
  const HWND fields[] = {NameStaticText, SerStaticText, PCBStaticText, SWStaticText};
  SetWindowTextW(fields[static_cast<int>(field)], DisplayText(text).c_str());
}

void TUpdateForm::SetStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels) return;
  statusTexts_[static_cast<size_t>(panel)] = std::string(text);
  SendMessageW(UpdateStatusBar, SB_SETTEXTW, static_cast<WPARAM>(panel),
               reinterpret_cast<LPARAM>(DisplayText(text).c_str()));
}

void TUpdateForm::RepaintStatusBar() {
  // A boot loader's run shows its percentage after every answer: twenty paints a second are
  // enough while the window thread stays busy.
  const auto now = std::chrono::steady_clock::now();
  if (now - statusPainted_ < std::chrono::milliseconds(kStatusPaintMs)) return;
  statusPainted_ = now;
  UpdateWindow(UpdateStatusBar);
}

void TUpdateForm::SetApplicationTitle(std::string_view title) {
  // The window's title is what the task bar shows.
  SetWindowTextW(window_, DisplayText(title).c_str());
  if (!pictureFolder_.empty() && !programmingPictured_) {
    if (const std::optional<double> percent = shell::TitlePercent(title);
        percent && *percent >= 40) {
      programmingPictured_ = true;
      TakePicture("programming.png");
    }
  }
}

void TUpdateForm::SetProgress(int32_t position) {
  SendMessageW(WaitProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int32_t TUpdateForm::Progress() const {
  return static_cast<int32_t>(SendMessageW(WaitProgressBar, PBM_GETPOS, 0, 0));
}

void TUpdateForm::SetProgressMax(int32_t maximum) {
  SendMessageW(WaitProgressBar, PBM_SETRANGE32, 0, maximum);
}

int32_t TUpdateForm::ProgressMax() const {
  return static_cast<int32_t>(SendMessageW(WaitProgressBar, PBM_GETRANGE, FALSE, 0));
}

update::BoxAnswer TUpdateForm::ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                           std::string_view caption, std::string_view text) {
  return ShowBox(window_, options_.settings.LanguageIndex, icon, buttons, caption, text);
}

void TUpdateForm::SetOkEnabled(bool enabled) {
  EnableWindow(OkBitBtn, enabled);
  // OK offered again during a run: it has ended without success.
  if (enabled) EndAutoRun(1);
}

void TUpdateForm::SetWaitPanelVisible(bool visible) {
  ShowWindow(WaitPanel, visible ? SW_SHOWNA : SW_HIDE);
  if (visible) {
    SetWindowPos(WaitPanel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(WaitPanel);
  }
}

void TUpdateForm::SetSecTimerRunning(bool running) {
  if (running) {
    SetTimer(window_, kSecTimer, 500, nullptr);
  } else {
    KillTimer(window_, kSecTimer);
  }
}

void TUpdateForm::EnableProgrammingMenu() {
  if (programmingShown_) EnableMenuItem(Bearbeiten, 0, MF_BYPOSITION | MF_ENABLED);
}

void TUpdateForm::CloseWindow() {
  // The engine closes the window only when a run ends without success ("no instrument found").
  EndAutoRun(1);
  // Deferred: the engine asks from deep inside an event handler that is still running.
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

void TUpdateForm::RunFinished() {
  EndAutoRun(0);
}

void TUpdateForm::Beep() {
  MessageBeep(MB_OK);
}

void TUpdateForm::SavePicturesIn(fs::path folder) {
  std::error_code error;
  fs::create_directories(folder, error);  // a failure is reported per picture
  pictureFolder_ = std::move(folder);
}

bool TUpdateForm::SavePicture(const fs::path& file) {
  return SaveWindowPicture(window_, file);
}

void TUpdateForm::TakePicture(const char* name) {
  if (pictureFolder_.empty()) return;
  const fs::path file = pictureFolder_ / name;
  if (!SavePicture(file)) {
    std::fprintf(stderr, "picture of the window not saved: %s\n", file.string().c_str());
  }
}

void TUpdateForm::StartAutoRun() {
  autoRunning_ = true;
  OkBitBtnClick();
}

void TUpdateForm::EndAutoRun(int exitCode) {
  if (!autoRunning_) return;
  autoRunning_ = false;
  exitCode_ = exitCode;
  // Now, while the window still shows the run's end: the program ends with the next pass.
  TakePicture("end.png");
  PostMessageW(window_, kEndMessage, 0, 0);
}

void TUpdateForm::Shutdown() {
  if (closing_ || !session_) return;
  closing_ = true;
  ShowWindow(StopPanel, SW_SHOWNA);
  SetWindowPos(StopPanel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(StopPanel);
  session_->StopLoaders();
  session_->Ports().CloseAll();
}

void TUpdateForm::OkBitBtnClick() {
  if (!portsOpen_) {
    // No port could be used at start: look again (an adapter may have been plugged in), and
    // say at once why not instead of searching.
    session_->RetakeInventory();
    if (const std::string problem = OpenPortsOrSayWhy(); !problem.empty()) {
      const int32_t language = options_.settings.LanguageIndex;
      ShowError(messages::Text(messages::CAPTION_ERROR, language), problem);
      EndAutoRun(shell::kStartupFailed);
      return;
    }
  }
  // The language cannot change once a run has begun.
  EnableMenuItem(MainMenu1, 1, MF_BYPOSITION | MF_GRAYED);
  DrawMenuBar(window_);
  session_->PressOk();
}

void TUpdateForm::TG480eProgrammingClick(int32_t tag) {
  if (programmingShown_) EnableMenuItem(Bearbeiten, 0, MF_BYPOSITION | MF_GRAYED);
  session_->Engine().Flows().menu.TG480eProgrammingClick(tag);
}

void TUpdateForm::BenchXXXClick(int32_t tag) {
  EnableMenuItem(Bearbeiten, ID_BENCH, MF_BYCOMMAND | MF_GRAYED);
  session_->Engine().Flows().menu.BenchXXXClick(tag);
}

void TUpdateForm::Beenden() {
  PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool TUpdateForm::ReadmeClick() {
  const int32_t language = options_.settings.LanguageIndex;
  const std::string name = shell::ManualName(options_);
  const fs::path manual = shell::FindBeside(options_, ExecutableFolder(), name);
  // The program the system opens PDF files with.
  if (!manual.empty() &&
      reinterpret_cast<INT_PTR>(ShellExecuteW(window_, L"open", manual.wstring().c_str(), nullptr,
                                              nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  ShowMessage(update::BoxIcon::Error, update::BoxButtons::Ok,
              messages::Text(messages::CAPTION_ERROR, language),
              shell::ManualFailureText(language, manual, name));
  return false;
}

void TUpdateForm::LanguageClick(int32_t tag) {
  // A failed rewrite of Update.ini is reported there; the switch holds for this run.
  FormReport report(*this);
  shell::TakeLanguage(options_, *session_, tag, report);
  const int32_t language = options_.settings.LanguageIndex;
  CheckMenuRadioItem(Sprache, ID_DEUTSCH, ID_ENGLISCH, language == 1 ? ID_ENGLISCH : ID_DEUTSCH,
                     MF_BYCOMMAND);
  TranslateWindow();
  ClearLog();
  AppendLog(shell::StartText(options_, language));
}

void TUpdateForm::SWVersionClick() {
  const int32_t language = options_.settings.LanguageIndex;
  ShowVersionBox(window_, language, messages::Text(messages::CAPTION_INFO, language),
                 shell::VersionBoxText(options_.settings, UPDATER_VERSION));
}

void TUpdateForm::SpeedButton1Click() {
  shell::SendWakeSequence(options_, *session_);
}

void TUpdateForm::ShowNotice(bool visible, std::string_view caption) {
  SetWindowTextW(InfoStaticText, DisplayText(caption).c_str());
  // As wide as the notice needs, up to the OK button.
  RECT info;
  RECT ok;
  GetWindowRect(InfoStaticText, &info);
  GetWindowRect(OkBitBtn, &ok);
  const int room = static_cast<int>(ok.left - info.left) - 4;
  const int width = std::clamp(TextWidth(InfoStaticText, font_, caption) + 8, kInfoWidth,
                               std::max(kInfoWidth, room));
  SetWindowPos(InfoStaticText, nullptr, 0, 0, width, info.bottom - info.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(InfoStaticText, visible ? SW_SHOWNA : SW_HIDE);
}

}  // namespace winshell
