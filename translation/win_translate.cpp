#include "translation/win_translate.h"

#include "core/win_text.h"
#include "translation/language.h"

namespace translation {
namespace {

// Controls show a line break only as CR LF; the language logic gets CR LF as well.
std::string WithCrLf(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
    result += text[i];
  }
  return result;
}

std::wstring MenuText(HMENU menu, UINT item, bool byPosition) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  if (!GetMenuItemInfoW(menu, item, byPosition, &info) || info.cch == 0) return {};
  std::wstring text(info.cch + 1, L'\0');
  info.dwTypeData = text.data();
  ++info.cch;
  if (!GetMenuItemInfoW(menu, item, byPosition, &info)) return {};
  text.resize(info.cch);
  return text;
}

void SetMenuText(HMENU menu, UINT item, bool byPosition, const std::wstring& text) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STRING;
  std::wstring copy = text;
  info.dwTypeData = copy.data();
  SetMenuItemInfoW(menu, item, byPosition, &info);
}

}  // namespace

std::string ElementText(const WinElement& element) {
  switch (element.kind) {
    case WinElement::Kind::Window: {
      const int length = GetWindowTextLengthW(element.window);
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      text.resize(static_cast<size_t>(GetWindowTextW(element.window, text.data(), length + 1)));
      return WithCrLf(wintext::Utf8(text));
    }
    case WinElement::Kind::Command:
      return WithCrLf(wintext::Utf8(MenuText(element.menu, element.item, false)));
    case WinElement::Kind::Submenu:
      return WithCrLf(wintext::Utf8(MenuText(element.menu, element.item, true)));
  }
  return {};
}

void SetElementText(const WinElement& element, const std::string& text) {
  const std::wstring wide = wintext::Wide(WithCrLf(text));
  switch (element.kind) {
    case WinElement::Kind::Window:
      SetWindowTextW(element.window, wide.c_str());
      break;
    case WinElement::Kind::Command:
      SetMenuText(element.menu, element.item, false, wide);
      break;
    case WinElement::Kind::Submenu:
      SetMenuText(element.menu, element.item, true, wide);
      break;
  }
}

std::string TranslateDialog(TLanguage& language, const std::vector<WinElement>& elements) {
  if (!language.Enabled) return {};
  language.LoadTranslateText();
  for (const WinElement& element : elements) {
    if (element.tag == language.TagNoTranslate) continue;
    SetElementText(element, language.TranslateText(element.name, ElementText(element)));
    // Win32 controls have no hints: an empty one is recorded while learning.
    language.TranslateHintText(element.name, {});
  }
  return language.SaveTranslateText();
}

}  // namespace translation
