// A language file of any content, and captions of any name and text looked up in it; a file
// the lookups added to is written and read back.
#include <cstdint>
#include <string>

#include "fuzz/support.h"
#include "translation/language.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const std::string name(input.Bytes(input.Byte() % 24));
  const std::string text(input.Bytes(input.Byte() % 64));
  const std::string hint(input.Bytes(input.Byte() % 64));
  const fuzz::ScratchFolder& folder = fuzz::Scratch();
  translation::TLanguage language;
  language.Dialogfile = folder.Write("Update.Eng", input.Rest()).string();
  language.LoadTranslateText();
  if (language.Learning()) fuzz::Fail();
  (void)language.TranslateText(name, text);
  (void)language.TranslateHintText(name, hint);
  if (!language.SaveTranslateText().empty()) fuzz::Fail();
  translation::TLanguage reread;
  reread.Dialogfile = language.Dialogfile;
  reread.LoadTranslateText();
  (void)reread.TranslateText(name, text);
  (void)translation::DecodeLineBreaks(translation::EncodeLineBreaks(text));
  return 0;
}
