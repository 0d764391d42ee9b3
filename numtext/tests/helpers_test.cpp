#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

#include "numtext.h"

namespace calvexa {
namespace {

std::string Show(std::u16string_view t) { return testing::PrintToString(std::u16string(t)); }

using namespace std::literals;
using Limits = std::numeric_limits<double>;

const NumberSeparators kEnglish{u".", u","};
const NumberSeparators kGerman{u",", u"."};
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

TEST(CodeOfChar, EveryCodeRoundTripsAndOthersFail) {
  for (std::int32_t code = 0; code < 256; ++code) {
    const auto text = CharFromCode(code);
    ASSERT_TRUE(text && text->size() == 1) << code;
    EXPECT_EQ(CodeOfChar(*text + u"x"), code);
  }
  EXPECT_EQ(CodeOfChar(u"\u4E2D"), 63);
  EXPECT_EQ(CodeOfChar(u""), std::nullopt);
  EXPECT_EQ(CharFromCode(-1), std::nullopt);
  EXPECT_EQ(CharFromCode(256), std::nullopt);
}

TEST(LeadingNumber, Reads) {
  const std::pair<std::u16string, std::optional<double>> rows[] = {
      {u"12abc", 12}, {u"abc", 0}, {u"", 0}, {u"1 2", 12}, {u"\t-\n5", -5}, {u"\r5", 0},
      {u"1e3", 1000}, {u"1 e 3", 1000}, {u"1,5", 1}, {u"1.2.3", 1.2}, {u".5", 0.5}, {u"-", 0},
      {u"--5", 0}, {u"1e+", 1}, {u"1d3", 1}, {u"0x1F", 0}, {u"&O17", 0}, {u"&H", 0},
      {u"& h f f", 255}, {u"&H7FFF", 32767}, {u"&h8000", -32768}, {u"&hFFFF", -1},
      {u"&h10000", 65536}, {u"&H0000FFFF", -1}, {u"&H7FFFFFFF", 2147483647.0},
      {u"&H80000000", kMin32}, {u"&HFFFFFFFF", -1}, {u"&H100000000", {}}, {u"-&HFF", 0},
      {u"1e308", 1e308}, {u"1e400", {}}, {u"-1e400", {}}, {u"1e-400", 0},
      {u"&H" + std::u16string(1 << 20, u'0') + u"FF", 255},
      {u"1" + std::u16string(1 << 20, u'0') + u"e-1048576", 1},
      {u"0." + std::u16string(1 << 20, u'0') + u"1e1048577", 1},
      {u"1e" + std::u16string(1 << 20, u'0') + u"400", {}},
  };
  for (const auto& [text, value] : rows) EXPECT_EQ(LeadingNumber(text), value) << Show(text);
}

TEST(TextToLong, Reads) {
  const std::tuple<std::u16string_view, bool, std::optional<std::int32_t>> rows[] = {
      {u"", false, {}}, {u"   ", false, {}}, {u"12abc", false, {}}, {u"1 2", false, {}},
      {u"\t4", false, {}}, {u"- 5", false, {}}, {u"-&HFF", false, {}}, {u".", false, {}},
      {u"1e", false, {}}, {u"1.2.3", false, {}}, {u",5", false, {}}, {u"1,,0", false, {}},
      {u"&H", false, {}}, {u"&HFG", false, {}}, {u" 7 ", true, 7}, {u"5.", true, 5},
      {u"+.5", true, 0}, {u"1E3", true, 1000}, {u"12,34,567.5", true, 1234568}, {u"2.5", true, 2},
      {u"3.5", true, 4}, {u"-2.5", true, -2}, {u"-3.5", true, -4},
      {u"2147483647", true, 2147483647}, {u"2147483648", true, {}}, {u"-2147483648", true, kMin32},
      {u"-2147483649", true, {}}, {u"2147483647.5", true, {}}, {u"-2147483648.5", true, kMin32},
      {u"&hff", true, 255}, {u"&HFFFF", true, -1}, {u"&H10000", true, 65536},
      {u"&HFFFFFFFF", true, -1}, {u"&H100000000", true, {}}, {u"1e400", true, {}},
  };
  for (const auto& [text, isNumber, value] : rows) {
    EXPECT_EQ(IsNumberText(text, kEnglish), isNumber) << Show(text);
    EXPECT_EQ(TextToLong(text, kEnglish), value) << Show(text);
  }
  EXPECT_EQ(TextToLong(u"1.000,5", kGerman), 1000);
  EXPECT_EQ(TextToLong(u"1\u202F000", NumberSeparators{u",", u"\u202F"}), 1000);
  EXPECT_EQ(TextToLong(u"1,5", NumberSeparators{u",", u","}), 2);  // the decimal one wins
}

TEST(RoundToLong, TiesToEvenAndRange) {
  const std::pair<double, std::optional<std::int32_t>> rows[] = {
      {2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {-0.5, 0}, {-0.49999999999999994, 0},
      {2147483647.4, 2147483647}, {2147483647.5, {}}, {-2147483648.5, kMin32},
      {-2147483648.5000005, {}}, {Limits::infinity(), {}}, {Limits::quiet_NaN(), {}},
  };
  for (const auto& [value, rounded] : rows) EXPECT_EQ(RoundToLong(value), rounded) << value;
}

TEST(HexText, EachWidth) {
  const std::pair<std::optional<std::u16string>, std::u16string_view> rows[] = {
      {HexText(std::int16_t{10}), u"A"}, {HexText(std::int16_t{-1}), u"FFFF"},
      {HexText(std::int16_t{-32768}), u"8000"}, {HexText(0), u"0"}, {HexText(65536), u"10000"},
      {HexText(-10), u"FFFFFFF6"}, {HexText(kMin32), u"80000000"}, {HexText(-2.5), u"FFFFFFFE"},
      {HexText(2147483648.0), u"-"}, {HexText(u"&HFFFF", kEnglish), u"FFFFFFFF"},
      {HexText(u"12abc", kEnglish), u"-"},
  };
  for (const auto& [hex, expected] : rows) EXPECT_EQ(hex.value_or(u"-"), expected);
}

TEST(NumberText, Forms) {
  EXPECT_EQ(NumberText(kMin32), u"-2147483648");
  const std::pair<double, std::u16string_view> rows[] = {
      {0.6, u"0.6"}, {0.1 + 0.2, u"0.3"}, {-0.0, u"0"}, {2147483648.0, u"2147483648"},
      {999999999999999.0, u"999999999999999"}, {123456789012345.6, u"123456789012346"},
      {999999999999999.9, u"1E+15"}, {-1e15, u"-1E+15"}, {1e100, u"1E+100"},
      {3.45876451382054e18, u"3.45876451382054E+18"}, {0.0001, u"0.0001"},
      {0.000123456789012345, u"0.000123456789012345"}, {-0.000015, u"-1.5E-05"},
      {2e-300, u"2E-300"}, {Limits::denorm_min(), u"4.94065645841247E-324"},
      {Limits::max(), u"1.79769313486232E+308"}, {-Limits::infinity(), u"-Infinity"},
  };
  for (const auto& [value, text] : rows) EXPECT_EQ(NumberText(value, kEnglish), text) << value;
  EXPECT_EQ(NumberText(1.5e20, kGerman), u"1,5E+20");
  EXPECT_EQ(NumberText(1234567.5, kGerman), u"1234567,5");  // never grouped
}

TEST(TrimSpaces, OnlyCodeThirtyTwo) {
  EXPECT_EQ(TrimSpaces(u"   "), u"");
  EXPECT_EQ(TrimSpaces(u"  a b  "), u"a b");
  EXPECT_EQ(TrimSpaces(u" \ta\t "), u"\ta\t");
}

}  // namespace
}  // namespace calvexa
