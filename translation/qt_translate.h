// The translation of a Qt window: its caption, the captions and hints of its widgets and its menu
// bar, each looked up by the object's name. Widgets are matched by exact class, so a class
// derived from one of them is left alone; a widget whose "Tag" property equals the language's
// TagNoTranslate keeps its caption. The classes: QLabel (labels, static texts, captioned panels),
// QPushButton (buttons), QToolButton (speed buttons), QCheckBox, QRadioButton, QGroupBox (group
// boxes and radio groups), QTabBar (tab controls: all tab captions as one text, a line each) and
// QMenuBar (the main menu with its submenus). Hints are tool tips (status tips of menu items).
#pragma once

#include <string>

class QMenu;
class QObject;
class QWidget;

namespace translation {

class TLanguage;

// The property that carries an element's tag (int); elements without it have tag 0.
inline constexpr char kTagProperty[] = "Tag";
void SetTag(QObject* object, int tag);

// Loads the language file, translates the window and writes the file when it was learning or
// got new entries. Does nothing while the language is not Enabled. Returns an empty text, or why
// the language file could not be written (the captions set stay).
std::string TranslateDialog(TLanguage& language, QWidget* window);
// The items of a menu and of its submenus.
void TranslateMenuItems(TLanguage& language, QMenu* menu);

}  // namespace translation
