#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "numtext.h"
#include "show.h"

namespace calvexa {
namespace {

const NumberSeparators kEnglish{u".", u","};
const NumberSeparators kGerman{u",", u"."};
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

TEST(HexText, SixteenAndThirtyTwoBits) {
  const std::pair<std::int16_t, std::u16string_view> shorts[] = {
      {0, u"0"}, {10, u"A"}, {255, u"FF"}, {-1, u"FFFF"}, {32767, u"7FFF"}, {-32768, u"8000"},
  };
  for (const auto& [value, hex] : shorts) EXPECT_EQ(HexText(value), hex) << value;
  const std::pair<std::int32_t, std::u16string_view> longs[] = {
      {255, u"FF"},       {65535, u"FFFF"},        {65536, u"10000"},  {-1, u"FFFFFFFF"},
      {-10, u"FFFFFFF6"}, {kMax32, u"7FFFFFFF"},   {kMin32, u"80000000"},
  };
  for (const auto& [value, hex] : longs) EXPECT_EQ(HexText(value), hex) << value;
}

TEST(HexText, FloatsAndTextsRoundFirst) {
  EXPECT_EQ(HexText(2.5), u"2");
  EXPECT_EQ(HexText(-1.0), u"FFFFFFFF");
  EXPECT_EQ(HexText(2147483648.0), std::nullopt);
  EXPECT_EQ(HexText(u"3.5", kEnglish), u"4");
  EXPECT_EQ(HexText(u"&HFFFF", kEnglish), u"FFFFFFFF");
  EXPECT_EQ(HexText(u"12abc", kEnglish), std::nullopt);
}

TEST(NumberText, Integers) {
  EXPECT_EQ(NumberText(0), u"0");
  EXPECT_EQ(NumberText(-1), u"-1");
  EXPECT_EQ(NumberText(kMax32), u"2147483647");
  EXPECT_EQ(NumberText(kMin32), u"-2147483648");
}

struct FloatRow {
  double value;
  std::u16string_view text;
};

TEST(NumberText, Floats) {
  const FloatRow rows[] = {
      {0.6, u"0.6"},
      {0.1 + 0.2, u"0.3"},
      {-1.5, u"-1.5"},
      {-0.0, u"0"},
      {2147483648.0, u"2147483648"},
      {1e14, u"100000000000000"},
      {999999999999999.0, u"999999999999999"},
      {123456789012345.6, u"123456789012346"},
      {999999999999999.9, u"1E+15"},  // rounding carries into the exponent
      {1e15, u"1E+15"},
      {-1e15, u"-1E+15"},
      {3.45876451382054e18, u"3.45876451382054E+18"},
      {1e100, u"1E+100"},
      {std::numeric_limits<double>::max(), u"1.79769313486232E+308"},
      {0.0001, u"0.0001"},
      {0.000123456789012345, u"0.000123456789012345"},
      {0.00001, u"1E-05"},
      {-0.000015, u"-1.5E-05"},
      {2e-300, u"2E-300"},
      {std::numeric_limits<double>::denorm_min(), u"4.94065645841247E-324"},
      {std::numeric_limits<double>::infinity(), u"Infinity"},
      {-std::numeric_limits<double>::infinity(), u"-Infinity"},
      {std::numeric_limits<double>::quiet_NaN(), u"NaN"},
  };
  for (const auto& row : rows) EXPECT_EQ(NumberText(row.value, kEnglish), row.text) << row.value;
}

TEST(NumberText, LocaleDecimalSeparator) {
  EXPECT_EQ(NumberText(0.6, kGerman), u"0,6");
  EXPECT_EQ(NumberText(1.5e20, kGerman), u"1,5E+20");
  EXPECT_EQ(NumberText(1234567.0, kGerman), u"1234567");  // never grouped
  EXPECT_EQ(NumberText(0.5, NumberSeparators{u"", u""}), u"0.5");
}

TEST(TrimSpaces, OnlyCodeThirtyTwo) {
  const std::pair<std::u16string_view, std::u16string_view> rows[] = {
      {u"", u""}, {u"   ", u""}, {u"  a b  ", u"a b"}, {u"\ta\t", u"\ta\t"}, {u" \t ", u"\t"},
  };
  for (const auto& [text, trimmed] : rows) EXPECT_EQ(TrimSpaces(text), trimmed) << Show(text);
}

}  // namespace
}  // namespace calvexa
