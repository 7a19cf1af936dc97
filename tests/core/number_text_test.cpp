// Numbers on the wire under a German desktop locale: read and written with a point.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/german_locale.h"

namespace core {
namespace {

TEST(NumberText, ReadWithAPointUnderAGermanLocale) {
  test::GermanLocale german;
  ASSERT_TRUE(german.Active()) << "no de_DE.UTF-8 locale: install locales-all";
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"2.5", 2.5},          {"1.60", 1.6},       {" 1.05#x", 1.05},     {"-0.5", -0.5},
      {"+3", 3.0},           {"1. 5", 1.0},       {"2,5", 2.0},          {"1e3", 1000.0},
      {".25", 0.25},         {"", std::nullopt},  {"abc", std::nullopt}, {"inf", std::nullopt},
      {"nan", std::nullopt}, {"1e400", HUGE_VAL}, {"1e-400", 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadDecimal(c.text), c.value) << c.text;
  }
}

TEST(NumberText, WrittenWithAPointUnderAGermanLocale) {
  test::GermanLocale german;
  ASSERT_TRUE(german.Active()) << "no de_DE.UTF-8 locale: install locales-all";
  EXPECT_EQ(FixedText(46000.5, 6), "46000.500000");
  EXPECT_EQ(FixedText(99.95, 1), "100.0");
  EXPECT_EQ(FixedText(-1.25, 2), "-1.25");
  EXPECT_EQ(ShortestText(2.5f), "2.5");
  EXPECT_EQ(ShortestText(1.05f), "1.05");
  EXPECT_EQ(ShortestText(947.0f), "947");
}

}  // namespace
}  // namespace core
