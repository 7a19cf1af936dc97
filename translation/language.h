// TLanguage: replaces the captions of a window by the translations of a language file, looked up
// by the element's name. When the file cannot be read it collects the captions and hints into a
// new file a translator can complete. This part holds the file logic only; the Qt adapter
// (qt_translate.h) walks the widgets.
//
// Language file: Windows-1252, one entry per line, CR LF. A line break inside a text is stored
// as two backslashes.
//   [Name]source:=translation   the translation
//   [Name]source:=              the source text
//   [Name]=translation          the translation ("[Name]=" alone: an empty text)
//   [Hint][Name]hint:=          recorded while learning
// The entry of an element is the first line that contains "[Name]" anywhere; its value is what
// follows the line's first "=".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace translation {

class TLanguage {
 public:
  // The language file. The published names Dialogfile and OwnDialogFile both mean this file.
  std::string Dialogfile = "sprache.lng";
  const std::string& OwnDialogFile() const { return Dialogfile; }
  void SetOwnDialogFile(std::string file) { Dialogfile = std::move(file); }

  bool Enabled = true;
  // Elements whose tag equals this keep their captions.
  int32_t TagNoTranslate = -1;

  // The file's lines in file order (UTF-8, without line ends).
  const std::vector<std::string>& Entries() const { return entries_; }
  // The last load could not read the file: captions are recorded instead of translated.
  bool Learning() const { return learning_; }
  // An entry was appended while translating.
  bool Modified() const { return modified_; }

  // Replaces the entries by the file's lines. When the file cannot be read the entries are
  // emptied and learning starts, so the file written then holds the translated window's entries
  // only; a file that can be read again ends it.
  void LoadTranslateText();
  // Writes the entries to the file (replacing it) when learning or modified. Returns an empty
  // text, or what went wrong; the file is then left as it was.
  std::string SaveTranslateText();

  // The caption of one element. Line breaks are CR LF on both sides.
  std::string TranslateText(std::string_view name, std::string_view text);
  // The hint of one element: recorded while learning, otherwise handed back as it is.
  std::string TranslateHintText(std::string_view name, std::string_view hint);

 private:
  std::vector<std::string> entries_;
  bool learning_ = false;
  bool modified_ = false;
};

// A text as stored in a language file: each CR LF becomes two backslashes.
std::string EncodeLineBreaks(std::string_view text);
// The stored form read back: each pair of backslashes, from the left, becomes CR LF.
std::string DecodeLineBreaks(std::string_view text);

}  // namespace translation
