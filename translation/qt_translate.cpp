#include "translation/qt_translate.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QVariant>
#include <QWidget>
#include <typeinfo>

#include "translation/language.h"

namespace translation {
namespace {

// Texts cross into the language logic with CR LF line breaks, as the language file keeps them.
std::string ToFileText(const QString& text) {
  return QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

QString FromFileText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString Translated(TLanguage& language, const QString& name, const QString& caption) {
  return FromFileText(language.TranslateText(name.toStdString(), ToFileText(caption)));
}

QString TranslatedHint(TLanguage& language, const QString& name, const QString& hint) {
  return FromFileText(language.TranslateHintText(name.toStdString(), ToFileText(hint)));
}

int TagOf(const QObject* object) {
  const QVariant tag = object->property(kTagProperty);
  return tag.isValid() ? tag.toInt() : 0;
}

// The exact class: a class derived from a widget class counts as none of them (a derived class
// without its own meta-object looks like its base to Qt, so the C++ type decides).
template <typename Widget>
bool Is(const QObject* object) {
  return typeid(*object) == typeid(Widget);
}

// Caption and hint of a widget whose caption is its text().
template <typename Widget>
void TranslateCaption(TLanguage& language, Widget* widget) {
  const QString name = widget->objectName();
  widget->setText(Translated(language, name, widget->text()));
  widget->setToolTip(TranslatedHint(language, name, widget->toolTip()));
}

void TranslateGroupBox(TLanguage& language, QGroupBox* box) {
  const QString name = box->objectName();
  box->setTitle(Translated(language, name, box->title()));
  box->setToolTip(TranslatedHint(language, name, box->toolTip()));
}

// The tab captions go through as one text, each followed by a line break.
void TranslateTabs(TLanguage& language, QTabBar* tabs) {
  const QString name = tabs->objectName();
  QString joined;
  for (int i = 0; i < tabs->count(); ++i) joined += tabs->tabText(i) + QStringLiteral("\n");
  const QStringList parts = Translated(language, name, joined).split(QStringLiteral("\n"));
  for (int i = 0; i < tabs->count() && i < parts.size(); ++i) tabs->setTabText(i, parts[i]);
  tabs->setToolTip(TranslatedHint(language, name, tabs->toolTip()));
}

void TranslateMenuBar(TLanguage& language, QMenuBar* bar) {
  for (QAction* item : bar->actions()) {
    if (QMenu* menu = item->menu()) {
      const QString name = menu->objectName();
      item->setText(Translated(language, name, item->text()));
      item->setStatusTip(TranslatedHint(language, name, item->statusTip()));
      TranslateMenuItems(language, menu);
    }
  }
}

// Qt's own helpers inside widgets carry no name or a "qt_" name: they are not the window's.
bool IsNamed(const QObject* object) {
  const QString name = object->objectName();
  return !name.isEmpty() && !name.startsWith(QStringLiteral("qt_"));
}

void TranslateElement(TLanguage& language, QObject* object) {
  if (Is<QLabel>(object)) {
    TranslateCaption(language, static_cast<QLabel*>(object));
  } else if (Is<QPushButton>(object) || Is<QToolButton>(object) || Is<QCheckBox>(object) ||
             Is<QRadioButton>(object)) {
    TranslateCaption(language, static_cast<QAbstractButton*>(object));
  } else if (Is<QGroupBox>(object)) {
    TranslateGroupBox(language, static_cast<QGroupBox*>(object));
  } else if (Is<QTabBar>(object)) {
    TranslateTabs(language, static_cast<QTabBar*>(object));
  } else if (Is<QMenuBar>(object)) {
    TranslateMenuBar(language, static_cast<QMenuBar*>(object));
  }
}

}  // namespace

void SetTag(QObject* object, int tag) {
  object->setProperty(kTagProperty, tag);
}

void TranslateMenuItems(TLanguage& language, QMenu* menu) {
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) continue;
    QMenu* submenu = item->menu();
    const QString name = submenu ? submenu->objectName() : item->objectName();
    if (name.isEmpty()) continue;
    item->setText(Translated(language, name, item->text()));
    item->setStatusTip(TranslatedHint(language, name, item->statusTip()));
    if (submenu) TranslateMenuItems(language, submenu);
  }
}

std::string TranslateDialog(TLanguage& language, QWidget* window) {
  if (!language.Enabled) return {};
  language.LoadTranslateText();
  window->setWindowTitle(Translated(language, window->objectName(), window->windowTitle()));
  // Depth first in creation order: the order in which the window made its elements.
  for (QObject* object : window->findChildren<QObject*>()) {
    if (!IsNamed(object) || TagOf(object) == language.TagNoTranslate) continue;
    TranslateElement(language, object);
  }
  return language.SaveTranslateText();
}

}  // namespace translation
