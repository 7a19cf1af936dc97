// The translation of a Win32 window: its caption, the captions of its controls and the items of
// its menu bar, each looked up by the name the window gives it in a table (Win32 controls carry
// no names of their own). Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace translation {

class TLanguage;

// One named element of a Win32 window.
struct WinElement {
  enum class Kind {
    Window,   // a top-level window or a control: its window text
    Command,  // a menu item by its command id
    Submenu,  // a submenu's entry in its parent menu, by position
  };
  std::string name;
  Kind kind = Kind::Window;
  HWND window = nullptr;  // Window
  HMENU menu = nullptr;   // Command, Submenu: the menu that holds the entry
  UINT item = 0;          // Command: the id; Submenu: the position
  int tag = 0;            // elements whose tag is the language's TagNoTranslate keep their texts
};

// The text of an element, UTF-8 with CR LF line breaks.
std::string ElementText(const WinElement& element);
void SetElementText(const WinElement& element, const std::string& text);

// Loads the language file, translates the elements in table order and writes the file when it
// was learning or got new entries. Does nothing while the language is not Enabled. Returns an
// empty text, or why the language file could not be written (the captions set stay).
std::string TranslateDialog(TLanguage& language, const std::vector<WinElement>& elements);

}  // namespace translation
