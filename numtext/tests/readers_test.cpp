#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "numtext.h"
#include "show.h"

namespace calvexa {
namespace {

using namespace std::literals;

const NumberSeparators kEnglish{u".", u","};
const NumberSeparators kGerman{u",", u"."};

TEST(CodeOfChar, EveryCodeRoundTripsThroughCharFromCode) {
  for (std::int32_t code = 0; code < 256; ++code) {
    const auto text = CharFromCode(code);
    ASSERT_TRUE(text.has_value()) << code;
    ASSERT_EQ(text->size(), 1u);
    EXPECT_EQ(CodeOfChar(*text), code);
  }
}

TEST(CodeOfChar, FirstCharacterCountsAndOutsidersAreQuestionMarks) {
  EXPECT_EQ(CodeOfChar(u"AB"), 65);
  EXPECT_EQ(CodeOfChar(u"\u20AC"), 128);
  EXPECT_EQ(CodeOfChar(u"\u4E2D"), 63);
  EXPECT_EQ(CodeOfChar(u"\U0001F600"), 63);
  EXPECT_EQ(CodeOfChar(u""), std::nullopt);
  for (std::int32_t code : {-1, 256, std::numeric_limits<std::int32_t>::min()}) {
    EXPECT_EQ(CharFromCode(code), std::nullopt) << code;
  }
}

struct LeadingRow {
  std::u16string_view text;
  std::optional<double> value;
};

TEST(LeadingNumber, Reads) {
  const LeadingRow rows[] = {
      {u"12abc", 12},         {u"abc", 0},           {u"", 0},
      {u"1 2", 12},           {u"\t-\n5", -5},       {u"\r5", 0},  // CR is no blank
      {u"1\u00A02", 1},       {u"1e3", 1000},        {u"1 e 3", 1000},
      {u"1,5", 1},            {u"1.2.3", 1.2},       {u".5", 0.5},
      {u"5.", 5},             {u"-", 0},             {u".", 0},
      {u"--5", 0},            {u"+7", 7},            {u"2E-3", 0.002},
      {u"1e", 1},             {u"1e+", 1},           {u"1d3", 1},  // no D exponent
      {u"12%", 12},           {u"0x1F", 0},          {u"&O17", 0},  // no other prefix
      {u"&", 0},              {u"&H", 0},            {u"&hff", 255},
      {u"& h f f", 255},      {u"&H7FFF", 32767},    {u"&h8000", -32768},
      {u"&hFFFF", -1},        {u"&h10000", 65536},   {u"&H0000FFFF", -1},
      {u"&H7FFFFFFF", 2147483647.0}, {u"&H80000000", -2147483648.0},
      {u"&HFFFFFFFF", -1},    {u"&H000000000001", 1}, {u"&H100000000", std::nullopt},
      {u"&HFF.5", 255},       {u"-&HFF", 0},
      {u"1e308", 1e308},      {u"1e400", std::nullopt}, {u"-1e400", std::nullopt},
      {u"1e-400", 0},         {u"4.9e-324", 4.9e-324},
  };
  for (const auto& row : rows) EXPECT_EQ(LeadingNumber(row.text), row.value) << Show(row.text);
}

TEST(LeadingNumber, LongTexts) {
  const std::u16string zeros(1 << 20, u'0');
  EXPECT_EQ(LeadingNumber(u"&H" + zeros + u"FF"), 255);
  EXPECT_EQ(LeadingNumber(u"1" + zeros + u"e-1048576"), 1);
  EXPECT_EQ(LeadingNumber(u"0." + zeros + u"1e1048577"), 1);
  EXPECT_EQ(LeadingNumber(u"9" + zeros), std::nullopt);
  EXPECT_EQ(LeadingNumber(u"-0." + zeros + u"1"), 0);
  EXPECT_EQ(LeadingNumber(u"1e" + zeros + u"400"), std::nullopt);
  EXPECT_EQ(LeadingNumber(u"1e-99999999999999999999999999"), 0);
}

struct WholeRow {
  std::u16string_view text;
  bool isNumber;
  std::optional<std::int32_t> value;
};

TEST(TextToLong, EnglishSeparators) {
  const WholeRow rows[] = {
      {u"", false, {}},          {u"   ", false, {}},          {u"abc", false, {}},
      {u"12abc", false, {}},     {u"1 2", false, {}},          {u"\t42", false, {}},
      {u"- 5", false, {}},       {u"-&HFF", false, {}},        {u".", false, {}},
      {u"-", false, {}},         {u"1e", false, {}},           {u"1.2.3", false, {}},
      {u",5", false, {}},        {u"1,,0", false, {}},         {u"1,", false, {}},
      {u"&H", false, {}},        {u"&HFG", false, {}},         {u"&H FF", false, {}},
      {u" 7 ", true, 7},         {u"+.5", true, 0},            {u"5.", true, 5},
      {u"1E3", true, 1000},      {u"1e+5", true, 100000},      {u"1,000", true, 1000},
      {u"12,34,567.5", true, 1234568},
      {u"2.5", true, 2},         {u"3.5", true, 4},            {u"-2.5", true, -2},
      {u"-3.5", true, -4},       {u"-0.5", true, 0},           {u"1.5", true, 2},
      {u"2147483647", true, 2147483647},      {u"2147483648", true, {}},
      {u"-2147483648", true, -2147483647 - 1}, {u"-2147483649", true, {}},
      {u"2147483646.5", true, 2147483646},    {u"2147483647.5", true, {}},
      {u"-2147483648.5", true, -2147483647 - 1}, {u"-2147483647.5", true, -2147483647 - 1},
      {u"&hff", true, 255},      {u"&HFFFF", true, -1},        {u"&H8000", true, -32768},
      {u"&H10000", true, 65536}, {u"&HFFFFFFFF", true, -1},   {u"&H100000000", true, {}},
      {u"1e400", true, {}},      {u"1e-400", true, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(IsNumberText(row.text, kEnglish), row.isNumber) << Show(row.text);
    EXPECT_EQ(TextToLong(row.text, kEnglish), row.value) << Show(row.text);
  }
}

TEST(TextToLong, OtherSeparators) {
  EXPECT_EQ(TextToLong(u"1.000,5", kGerman), 1000);
  EXPECT_EQ(TextToLong(u"2,5", kGerman), 2);
  EXPECT_EQ(TextToLong(u"2.5", kGerman), 25);
  EXPECT_FALSE(IsNumberText(u"1,000.5", kGerman));
  EXPECT_EQ(TextToLong(u"1\u202F000", NumberSeparators{u",", u"\u202F"}), 1000);
  EXPECT_EQ(TextToLong(u"1,5", NumberSeparators{u",", u","}), 2);  // the decimal one wins
  EXPECT_FALSE(IsNumberText(u"1,000", NumberSeparators{u".", u""}));
}

struct RoundRow {
  double value;
  std::optional<std::int32_t> rounded;
};

TEST(RoundToLong, TiesToEvenAndRange) {
  const RoundRow rows[] = {
      {2.5, 2},  {3.5, 4},   {-2.5, -2},  {-3.5, -4},  {0.5, 0},  {-0.5, 0},
      {-0.0, 0}, {0.49999999999999994, 0}, {2.5000000000000004, 3},
      {2147483647.0, 2147483647}, {2147483647.4, 2147483647}, {2147483647.5, {}},
      {2147483648.0, {}},         {-2147483648.5, -2147483647 - 1},
      {-2147483648.5000005, {}},  {-2147483649.0, {}},
      {std::numeric_limits<double>::infinity(), {}},
      {-std::numeric_limits<double>::infinity(), {}},
      {std::numeric_limits<double>::quiet_NaN(), {}},
  };
  for (const auto& row : rows) EXPECT_EQ(RoundToLong(row.value), row.rounded) << row.value;
}

}  // namespace
}  // namespace calvexa
