#include "translation/win_translate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/text.h"
#include "tests/support/temp_folder.h"
#include "translation/language.h"

namespace translation {
namespace {

std::string LanguageFile(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += core::Utf8ToCp1252(line) + "\r\n";
  return bytes;
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

constexpr UINT kEndItem = 11;

// A small window as the updater's is built: a caption, a label, a button, a field the program
// fills and a menu bar with a submenu.
class WinTranslateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"Download :", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    label_ = Child(L"STATIC", L"Seriennummer:");
    button_ = Child(L"BUTTON", L"OK");
    field_ = Child(L"STATIC", L"14040101");
    bar_ = CreateMenu();
    file_ = CreatePopupMenu();
    AppendMenuW(file_, MF_STRING, kEndItem, L"&Beenden");
    AppendMenuW(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(file_), L"&Datei");
    SetMenu(window_, bar_);
  }
  void TearDown() override { DestroyWindow(window_); }

  HWND Child(const wchar_t* type, const wchar_t* text) {
    return CreateWindowExW(0, type, text, WS_CHILD, 0, 0, 10, 10, window_, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }

  std::vector<WinElement> Elements(int fieldTag) const {
    using Kind = WinElement::Kind;
    return {
        {"UpdateForm", Kind::Window, window_},
        {"SerLabel", Kind::Window, label_},
        {"OkBitBtn", Kind::Window, button_},
        {"SerStaticText", Kind::Window, field_, nullptr, 0, fieldTag},
        {"Bearbeiten", Kind::Submenu, nullptr, bar_, 0},
        {"UpdateEnd", Kind::Command, nullptr, file_, kEndItem},
    };
  }

  std::string Text(const WinElement& element) const { return ElementText(element); }

  test::TempFolder folder_;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND button_ = nullptr;
  HWND field_ = nullptr;
  HMENU bar_ = nullptr;
  HMENU file_ = nullptr;
};

TEST_F(WinTranslateTest, ControlsAndMenuItemsTakeTheirTranslationsByName) {
  TLanguage language;
  language.TagNoTranslate = 7;
  language.Dialogfile = folder_
                            .Write("Update.Eng", LanguageFile({
                                                     "[UpdateForm]Download ::=Download :",
                                                     "[SerLabel]Seriennummer::=Serial number:",
                                                     "[OkBitBtn]OK:=Start\\\\now",
                                                     "[SerStaticText]14040101:=gone",
                                                     "[Bearbeiten]&Datei:=&File",
                                                     "[UpdateEnd]&Beenden:=E&xit",
                                                 }))
                            .string();
  const std::vector<WinElement> elements = Elements(7);
  EXPECT_EQ(TranslateDialog(language, elements), "");
  const std::string expected[] = {"Download :", "Serial number:", "Start\r\nnow",
                                  // The field the program fills keeps its text.
                                  "14040101", "&File", "E&xit"};
  for (size_t i = 0; i < elements.size(); ++i) {
    EXPECT_EQ(Text(elements[i]), expected[i]) << elements[i].name;
  }
}

TEST_F(WinTranslateTest, WithoutALanguageFileTheCaptionsStayAndTheFileIsLearned) {
  TLanguage language;
  const std::filesystem::path file = folder_.Path() / "Update.Deu";
  language.Dialogfile = file.string();
  SetWindowTextW(label_, L"Gerät");
  const std::vector<WinElement> elements = Elements(0);
  EXPECT_EQ(TranslateDialog(language, elements), "");
  EXPECT_EQ(Text(elements[1]), "Gerät");
  EXPECT_EQ(Text(elements[4]), "&Datei");
  // One caption line and one hint line per element, Windows-1252 with CR LF.
  EXPECT_EQ(ReadBytes(file), LanguageFile({
                                 "[UpdateForm]=",
                                 "[Hint][UpdateForm]:=",
                                 "[SerLabel]=",
                                 "[Hint][SerLabel]:=",
                                 "[OkBitBtn]=",
                                 "[Hint][OkBitBtn]:=",
                                 "[SerStaticText]=",
                                 "[Hint][SerStaticText]:=",
                                 "[Bearbeiten]=",
                                 "[Hint][Bearbeiten]:=",
                                 "[UpdateEnd]=",
                                 "[Hint][UpdateEnd]:=",
                             }));
}

TEST_F(WinTranslateTest, ADisabledLanguageNeitherReadsNorWrites) {
  TLanguage language;
  language.Enabled = false;
  const std::filesystem::path file = folder_.Path() / "Update.Deu";
  language.Dialogfile = file.string();
  EXPECT_EQ(TranslateDialog(language, Elements(0)), "");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(Text(Elements(0)[0]), "Download :");
}

}  // namespace
}  // namespace translation
