#include "translation/language.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/text.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_folder.h"
#include "translation/qt_translate.h"

namespace translation {
namespace {

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A language file as a translator's editor saves it: Windows-1252, CR LF.
std::string LanguageFile(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += core::Utf8ToCp1252(line) + "\r\n";
  return bytes;
}

class DerivedLabel : public QLabel {
 public:
  using QLabel::QLabel;
};

// A small window with an element of each kind the translation meets.
struct Window {
  QMainWindow window;
  std::map<std::string, QObject*> elements;

  Window() {
    window.setObjectName(QStringLiteral("TestForm"));
    window.setWindowTitle(QStringLiteral("Fenster"));
    auto* client = new QWidget(&window);
    window.setCentralWidget(client);
    auto* layout = new QVBoxLayout(client);
    auto* group = Add(new QGroupBox(QString::fromUtf8("Gerät"), client), "UpdateGroupBox");
    layout->addWidget(group);
    for (const char* name : {"NameLabel", "X", "L", "Empty"}) {
      layout->addWidget(Add(new QLabel(client), name));
    }
    Label("NameLabel")->setText(QStringLiteral("Name:"));
    Label("X")->setText(QStringLiteral("a"));
    Label("L")->setText(QStringLiteral("eine Zeile"));
    layout->addWidget(Add(new QPushButton(QStringLiteral("OK"), client), "OkBitBtn"));
    layout->addWidget(Add(new DerivedLabel(QStringLiteral("Abgeleitet"), client), "Derived"));
    auto* tagged = Add(new QLabel(QStringLiteral("Fest"), client), "Tagged");
    SetTag(tagged, -1);
    layout->addWidget(tagged);
    window.menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&Datei"));
    Add(file, "Bearbeiten");
    Add(file->addAction(QString::fromUtf8("&Schließen")), "UpdateEnd");
    QMenu* sub = file->addMenu(QStringLiteral("&Programmieren"));
    Add(sub, "TG480eProgramming");
    Add(sub->addAction(QStringLiteral("&Multi")), "DevMulti480e");
  }

  template <typename T>
  T* Add(T* object, const char* name) {
    object->setObjectName(QString::fromUtf8(name));
    elements[name] = object;
    return object;
  }
  QLabel* Label(const std::string& name) { return static_cast<QLabel*>(elements.at(name)); }

  // The caption of an element as the user sees it.
  QString Caption(const std::string& name) {
    if (name == "TestForm") return window.windowTitle();
    QObject* object = elements.at(name);
    if (auto* menu = qobject_cast<QMenu*>(object)) return menu->title();
    if (auto* action = qobject_cast<QAction*>(object)) return action->text();
    if (auto* group = qobject_cast<QGroupBox*>(object)) return group->title();
    if (auto* button = qobject_cast<QPushButton*>(object)) return button->text();
    return static_cast<QLabel*>(object)->text();
  }
};

// What learning records for the test window: caption entries for the window, the captioned
// widgets and the menu items; one hint entry for each widget and menu item; nothing for the
// derived label, the tagged one, or Qt's helpers.
std::vector<std::string> LearntLines() {
  return {
      "[TestForm]=",
      "[UpdateGroupBox]=",
      "[Hint][UpdateGroupBox]:=",
      "[NameLabel]=",
      "[Hint][NameLabel]:=",
      "[X]=",
      "[Hint][X]:=",
      "[L]=",
      "[Hint][L]:=",
      "[Hint][Empty]:=",
      "[OkBitBtn]=",
      "[Hint][OkBitBtn]:=",
      "[Bearbeiten]=",
      "[Hint][Bearbeiten]:=",
      "[UpdateEnd]=",
      "[Hint][UpdateEnd]:=",
      "[TG480eProgramming]=",
      "[Hint][TG480eProgramming]:=",
      "[DevMulti480e]=",
      "[Hint][DevMulti480e]:=",
  };
}

struct EntryCase {
  const char* what;
  std::vector<std::string> lines;
  std::string element;
  std::string caption;  // UTF-8, line breaks as "\n"
};

TEST(TranslateDialog, EntryLinesGiveCaptions) {
  test::App();
  const EntryCase cases[] = {
      {"translated caption", {"[OkBitBtn]OK:=Start"}, "OkBitBtn", "Start"},
      {"entry without translation keeps the source", {"[OkBitBtn]OK:="}, "OkBitBtn", "OK"},
      {"empty translation", {"[OkBitBtn]="}, "OkBitBtn", ""},
      {"value after the first equals sign", {"[X]a=b:=c"}, "X", "b:=c"},
      {"hint line before the caption line is the one found",
       {"[Hint][NameLabel]:=", "[NameLabel]Name::=Name:"},
       "NameLabel",
       "[NameLabel]"},
      {"two backslashes are a line break", {"[L]=Zeile 1\\\\Zeile 2"}, "L", "Zeile 1\nZeile 2"},
      {"umlauts of a Windows-1252 file",
       {"[UpdateGroupBox]=Gerät für Größen"},
       "UpdateGroupBox",
       "Gerät für Größen"},
      {"window caption", {"[TestForm]=Window"}, "TestForm", "Window"},
      {"menu", {"[Bearbeiten]=&File"}, "Bearbeiten", "&File"},
      {"menu item", {"[UpdateEnd]&Schließen:=&Exit"}, "UpdateEnd", "&Exit"},
      {"item of a submenu", {"[DevMulti480e]=&Multi meter"}, "DevMulti480e", "&Multi meter"},
      {"a derived class is none of the classes", {"[Derived]=Derived"}, "Derived", "Abgeleitet"},
      {"tag equal to TagNoTranslate", {"[Tagged]=Fixed"}, "Tagged", "Fest"},
      {"empty caption stays empty", {"[Empty]=Text"}, "Empty", ""},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder folder;
    const auto file = folder.Write("Update.Eng", LanguageFile(c.lines));
    Window window;
    TLanguage language;
    language.Dialogfile = file.string();
    EXPECT_EQ(TranslateDialog(language, &window.window), "");
    EXPECT_EQ(window.Caption(c.element).toStdString(), c.caption);
    EXPECT_FALSE(language.Learning());
  }
}

TEST(TranslateDialog, UnknownCaptionIsAppendedAndTheFileRewritten) {
  test::App();
  test::TempFolder folder;
  const auto file = folder.Write("Update.Eng", LanguageFile({"[OkBitBtn]OK:=Start"}));
  Window window;
  window.Label("L")->setText(QStringLiteral("Zeile 1\nZeile 2"));
  TLanguage language;
  language.Dialogfile = file.string();
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  EXPECT_EQ(window.Caption("L"), "Zeile 1\nZeile 2");
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.rfind("[OkBitBtn]OK:=Start\r\n", 0), 0u);
  EXPECT_NE(bytes.find("[L]Zeile 1\\\\Zeile 2:=\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(core::Utf8ToCp1252("[UpdateGroupBox]Gerät:=\r\n")), std::string::npos);
  // A second pass finds the new entries and keeps the captions.
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  EXPECT_EQ(window.Caption("L"), "Zeile 1\nZeile 2");
  EXPECT_EQ(window.Caption("UpdateGroupBox"), QString::fromUtf8("Gerät"));
  EXPECT_EQ(ReadBytes(file), bytes);
}

TEST(TranslateDialog, LearningWritesOneEntryPerCaptionThatReadsBack) {
  test::App();
  test::TempFolder folder;
  const auto file = folder.Path() / "Update.Deu";
  Window window;
  TLanguage language;
  language.Dialogfile = file.string();
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  EXPECT_TRUE(language.Learning());
  EXPECT_EQ(window.Caption("UpdateGroupBox"), QString::fromUtf8("Gerät"));
  EXPECT_EQ(window.Caption("UpdateEnd"), QString::fromUtf8("&Schließen"));

  const std::vector<std::string> expected = LearntLines();
  EXPECT_EQ(language.Entries(), expected);
  std::string bytes;
  for (const std::string& line : expected) bytes += line + "\r\n";
  EXPECT_EQ(ReadBytes(file), bytes);

  // A translator completes the file (in Windows-1252); the next pass reads it, umlauts intact.
  std::ofstream(file, std::ios::binary)
      << LanguageFile({"[UpdateGroupBox]=Gerätedaten", "[UpdateEnd]=&Schließen"});
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  EXPECT_FALSE(language.Learning());
  EXPECT_EQ(window.Caption("UpdateGroupBox"), QString::fromUtf8("Gerätedaten"));
  EXPECT_EQ(window.Caption("UpdateEnd"), QString::fromUtf8("&Schließen"));
}

TEST(TranslateDialog, DisabledNeitherReadsNorWrites) {
  test::App();
  test::TempFolder folder;
  const auto missing = folder.Path() / "Update.Deu";
  const auto present = folder.Write("Update.Eng", LanguageFile({"[OkBitBtn]OK:=Start"}));
  for (const auto& file : {missing, present}) {
    Window window;
    TLanguage language;
    language.Enabled = false;
    language.Dialogfile = file.string();
    EXPECT_EQ(TranslateDialog(language, &window.window), "");
    EXPECT_EQ(window.Caption("OkBitBtn"), "OK");
    EXPECT_TRUE(language.Entries().empty());
    EXPECT_FALSE(language.Learning());
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(ReadBytes(present), "[OkBitBtn]OK:=Start\r\n");
}

TEST(TranslateDialog, LanguageFileThatCannotBeWrittenIsReported) {
  test::App();
  test::TempFolder folder;
  Window window;
  TLanguage language;
  language.Dialogfile = (folder.Path() / "no-such-folder" / "Update.Deu").string();
  const std::string error = TranslateDialog(language, &window.window);
  EXPECT_NE(error.find("Update.Deu"), std::string::npos);
  EXPECT_EQ(window.Caption("OkBitBtn"), "OK");
}

// A missing German file must not spoil a later switch to a complete English one: the learning
// of the failed load ends when a file can be read again.
TEST(TranslateDialog, ReadableFileAfterALearningPassTranslates) {
  test::App();
  test::TempFolder folder;
  const auto english = folder.Write("Update.Eng", LanguageFile({"[OkBitBtn]OK:=Start"}));
  Window window;
  TLanguage language;
  language.Dialogfile = (folder.Path() / "Update.Deu").string();
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  ASSERT_TRUE(language.Learning());
  language.Dialogfile = english.string();
  ASSERT_EQ(TranslateDialog(language, &window.window), "");
  EXPECT_EQ(window.Caption("OkBitBtn"), "Start");
  EXPECT_EQ(ReadBytes(english).rfind("[OkBitBtn]OK:=Start\r\n", 0), 0u);
}

// Switching to a language whose file is missing: the file made for the translator holds this
// window's entries only, whatever the language left behind held, so that what the translator
// fills in is the entry found. The captions stay in the language left.
TEST(TranslateDialog, MissingFileAfterASwitchLearnsOnlyThisWindow) {
  test::App();
  const struct {
    const char* what;
    std::vector<std::string> left;  // the file of the language left
    std::string okCaption;          // the OK button's caption in that language
  } cases[] = {
      {"translated file", {"[OkBitBtn]OK:=Start", "[UpdateGroupBox]=Device"}, "Start"},
      {"file with untranslated entries", {"[OkBitBtn]OK:=", "[Hint][OkBitBtn]:="}, "OK"},
      {"file of another window", {"[OtherForm]=Other", "[OkBitBtn]=Go"}, "Go"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder folder;
    const auto left = folder.Write("Update.Eng", LanguageFile(c.left));
    const auto missing = folder.Path() / "Update.Deu";
    Window window;
    TLanguage language;
    language.Dialogfile = left.string();
    ASSERT_EQ(TranslateDialog(language, &window.window), "");
    language.Dialogfile = missing.string();
    ASSERT_EQ(TranslateDialog(language, &window.window), "");
    EXPECT_TRUE(language.Learning());
    EXPECT_EQ(window.Caption("OkBitBtn").toStdString(), c.okCaption);
    EXPECT_EQ(language.Entries(), LearntLines());
    EXPECT_EQ(ReadBytes(missing), LanguageFile(LearntLines()));

    // The translator fills in the OK button's line of the file as written; the next pass takes
    // it.
    std::string bytes = ReadBytes(missing);
    const size_t at = bytes.find("[OkBitBtn]=\r\n");
    ASSERT_NE(at, std::string::npos);
    bytes.insert(at + std::string("[OkBitBtn]=").size(), "Los");
    std::ofstream(missing, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(TranslateDialog(language, &window.window), "");
    EXPECT_EQ(window.Caption("OkBitBtn"), "Los");
  }
}

}  // namespace
}  // namespace translation
