#include <gtest/gtest.h>

#include "core/text.h"

namespace core {
namespace {

TEST(Text, FindText) {
  struct Case {
    const char* text;
    const char* pattern;
    int32_t from;
    int32_t expected;
  };
  const Case cases[] = {
      {"A.2003", ".", 0, 2}, {"2,3,4", ",", 3, 4}, {"2,3,4", ",", 1, 2},
      {"abc", "", 0, 0},     {"", "a", 0, 0},      {"abcabc", "bc", 3, 5},
      {"abc", "abcd", 0, 0}, {"abc", "c", 9, 0},   {"Abc", "a", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.text, c.pattern, c.from), c.expected)
        << c.text << " / " << c.pattern << " from " << c.from;
  }
}

TEST(Text, DeleteAndInsertKeepTheRest) {
  std::string text = "COM X.";
  DeleteChars(text, 5, 1);
  EXPECT_EQ(text, "COM .");
  InsertText("3", text, 5);
  EXPECT_EQ(text, "COM 3.");
  InsertText("!", text, 7);  // size + 1 appends
  EXPECT_EQ(text, "COM 3.!");
  InsertText("?", text, 9);  // beyond the end: nothing
  DeleteChars(text, 6, 99);  // clipped to the text
  EXPECT_EQ(text, "COM 3");
  DeleteChars(text, 0, 1);
  EXPECT_EQ(text, "COM 3");
}

TEST(Text, HexToInt) {
  const std::pair<const char*, int32_t> cases[] = {
      {"ff", 255},     {"1A", 26}, {"5438", 21560},  {"0", 0},
      {"FFFF", 65535}, {"", 0},    {"12345", 0x1234}};
  for (const auto& [text, value] : cases) EXPECT_EQ(HexToInt(text), value) << text;
}

TEST(Text, WideConversionsAndCodePage) {
  EXPECT_EQ(AnsiToWide("A\xE4"), std::u16string(u"A\u00E4"));
  EXPECT_EQ(WideToAnsi(u"A\u00E4\u20AC"), std::string("A\xE4\xAC"));
  // Windows-1252 package text to UTF-8 and back.
  EXPECT_EQ(Cp1252ToUtf8("Ger\xE4t \x80"), "Gerät €");
  EXPECT_EQ(Utf8ToCp1252("Gerät € Ω"), "Ger\xE4t \x80 ?");
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8("\xDC\xD6\xC4\xDF")), "\xDC\xD6\xC4\xDF");
}

// A package file read and written back keeps every byte, also the five the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).
TEST(Text, EveryCodePageByteSurvivesTheRoundTrip) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(bytes)), bytes);
}

}  // namespace
}  // namespace core
