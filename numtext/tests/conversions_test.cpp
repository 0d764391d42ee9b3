#include <gtest/gtest.h>

#include <string>

#include "numtext.h"
#include "show.h"

namespace calvexa {
namespace {

using namespace std::literals;

const NumberSeparators kEnglish{u".", u","};
const NumberSeparators kGerman{u",", u"."};
const std::u16string_view kNothing = u"<nothing written>";

struct CodesRow {
  std::u16string_view input;
  std::u16string_view hex;
  std::u16string_view dec;
};

TEST(CharsToCodes, BothButtons) {
  const CodesRow rows[] = {
      {u"Hi!", u"48  69  21", u"72  105  33"},
      {u"a b", u"61  20  62", u"97  32  98"},
      {u"a\tb", u"61  9  62", u"97  9  98"},
      {u"   ", u"20  20  20", u"32  32  32"},
      {u"", u"", u""},
      {u"\0"sv, u"0", u"0"},
      {u"\u20AC\u00FF", u"80  FF", u"128  255"},
      {u"\u4E2D", u"3F", u"63"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CharsToHex(row.input), row.hex) << Show(row.input);
    EXPECT_EQ(CharsToDec(row.input), row.dec) << Show(row.input);
  }
}

TEST(CharsToCodes, AnyLengthConvertsWhole) {
  for (std::size_t length : {32767u, 32768u, 1u << 20}) {
    const std::u16string input = std::u16string(length - 1, u'A') + u'z';
    const auto hex = CharsToHex(input);
    EXPECT_EQ(hex.size(), 4 * length - 2) << length;
    EXPECT_TRUE(hex.ends_with(u"41  7A")) << length;
    EXPECT_TRUE(CharsToDec(input).ends_with(u"65  122")) << length;
  }
}

struct ConversionRow {
  std::u16string_view input;
  std::u16string_view output;
};

TEST(DecToHex, Conversions) {
  const ConversionRow rows[] = {
      {u"255", u"FF"},       {u"65535", u"FFFF"},           {u"-1", u"FFFFFFFF"},
      {u"2147483647", u"7FFFFFFF"},  {u"-2147483648", u"80000000"},
      {u"2.5", u"2"},        {u"3.5", u"4"},                {u"1E3", u"3E8"},
      {u" 42 ", u"2A"},      {u"&HFF", u"FF"},              {u"1,000", u"1"},
      {u"", kDecToHexRefusal},  {u"abc", kDecToHexRefusal}, {u"12abc", kDecToHexRefusal},
      {u"2147483648", u""},  {u"1e400", u""},               {u"&H123456789", u""},
  };
  for (const auto& row : rows) EXPECT_EQ(DecToHex(row.input, kEnglish), row.output) << Show(row.input);
  EXPECT_EQ(DecToHex(u"2,5", kGerman), u"2");  // passes in the locale, read up to the comma
}

TEST(HexToDec, Conversions) {
  const ConversionRow rows[] = {
      {u"FF", u"255"},       {u"ff", u"255"},               {u"7FFF", u"32767"},
      {u"8000", u"-32768"},  {u"FFFF", u"-1"},              {u"10000", u"65536"},
      {u"7FFFFFFF", u"2147483647"},  {u"80000000", u"-2147483648"},
      {u"FFFFFFFF", u"-1"},  {u"0000000000FF", u"255"},     {u"", u"0"},
      {u"1G", u"1"},         {u"0x1F", u"0"},               {u"&HFF", u"0"},
      {u"FF FF", u"-1"},     {u"100000000", u""},
  };
  for (const auto& row : rows) EXPECT_EQ(HexToDec(row.input), row.output) << Show(row.input);
}

TEST(CodesToChars, HexCodes) {
  const ConversionRow rows[] = {
      {u"48,69", u"Hi"},     {u"41", u"A"},                 {u"100", u""},
      {u"41,100,42", u"AB"}, {u"20,41,20", u"A"},           {u"41,", u"A\0"sv},
      {u",,", u"\0\0\0"sv},  {u"48  69", u""},              {u"80", u"\u20AC"},
      {u"4 1, 4 2", u"AB"},  {u"41,123456789,42", u"AB"},
  };
  for (const auto& row : rows) EXPECT_EQ(HexToChars(row.input), row.output) << Show(row.input);
}

TEST(CodesToChars, DecimalCodes) {
  const ConversionRow rows[] = {
      {u"72,105", u"Hi"},    {u"72, 105", u"Hi"},           {u"65.5", u"B"},
      {u"66.5", u"B"},       {u"300", u""},                 {u"-1", u""},
      {u"abc", u"\0"sv},     {u"1e2", u"d"},                {u"65,300,66", u"AB"},
      {u"1e400", u""},       {u"32,65,9", u"A\t"},
  };
  for (const auto& row : rows) EXPECT_EQ(DecToChars(row.input), row.output) << Show(row.input);
}

enum class Op { And, Or, Xor, Not, Shl, Shr };

std::optional<ResultTexts> Apply(Op op, std::u16string_view a, std::u16string_view b,
                                 const NumberSeparators& separators = kEnglish) {
  switch (op) {
    case Op::And: return AndResults(a, b);
    case Op::Or: return OrResults(a, b, separators);
    case Op::Xor: return XorResults(a, b, separators);
    case Op::Not: return NotResults(a, separators);
    case Op::Shl: return ShlResults(a, b, separators);
    case Op::Shr: return ShrResults(a, b, separators);
  }
  return std::nullopt;
}

struct CalcRow {
  Op op;
  std::u16string_view first;
  std::u16string_view second;
  std::u16string_view decimal;  // kNothing: the click writes nothing
  std::u16string_view hex;
};

constexpr std::u16string_view kInv = kInvalidResult;

std::u16string RowName(const CalcRow& row) {
  constexpr std::u16string_view kNames[] = {u" AND ", u" OR ", u" XOR ", u"NOT ", u" SHL ",
                                            u" SHR "};
  const auto name = std::u16string(kNames[static_cast<int>(row.op)]);
  if (row.op == Op::Not) return name + std::u16string(row.first);
  return std::u16string(row.first) + name + std::u16string(row.second);
}

void ExpectRow(const CalcRow& row) {
  const auto got = Apply(row.op, row.first, row.second);
  if (row.decimal == kNothing) {
    EXPECT_EQ(got, std::nullopt) << Show(RowName(row));
  } else {
    EXPECT_EQ(got, (ResultTexts{std::u16string(row.decimal), std::u16string(row.hex)}))
        << Show(RowName(row));
  }
}

TEST(Calculator, Operators) {
  const CalcRow rows[] = {
      {Op::And, u"12", u"10", u"8", u"8"},      {Op::And, u"255", u"15", u"15", u"F"},
      {Op::And, u"-1", u"255", u"255", u"FF"},  {Op::And, u"12abc", u"15", u"12", u"C"},
      {Op::And, u"5.5", u"7", u"6", u"6"},      {Op::And, u"abc", u"5", u"0", u"0"},
      {Op::And, u" ", u"9", u"0", u"0"},        {Op::And, u"&HFF", u"15", u"15", u"F"},
      {Op::And, u"&HFFFF", u"65535", u"65535", u"FFFF"},
      {Op::And, u"3000000000", u"1", kInv, kInv},
      {Op::And, u"", u"5", kNothing, {}},       {Op::And, u"5", u"", kNothing, {}},
      {Op::Or, u"12", u"10", u"14", u"E"},      {Op::Or, u"12abc", u"15", kInv, kInv},
      {Op::Or, u"2.5", u"0", u"2", u"2"},       {Op::Or, u"2147483648", u"0", kInv, kInv},
      {Op::Or, u" 7 ", u"0", u"7", u"7"},       {Op::Or, u" ", u"0", kInv, kInv},
      {Op::Or, u"&HFFFF", u"0", u"-1", u"FFFFFFFF"},
      {Op::Or, u"1,000", u"0", u"1000", u"3E8"}, {Op::Or, u"", u"1", kNothing, {}},
      {Op::Xor, u"12", u"10", u"6", u"6"},      {Op::Xor, u"-1", u"1", u"-2", u"FFFFFFFE"},
      {Op::Xor, u"1", u"x", kInv, kInv},        {Op::Xor, u"1", u"", kNothing, {}},
      {Op::Not, u"0", {}, u"-1", u"FFFFFFFF"},  {Op::Not, u"5", {}, u"-6", u"FFFFFFFA"},
      {Op::Not, u"2147483647", {}, u"-2147483648", u"80000000"},
      {Op::Not, u"-2147483648", {}, u"2147483647", u"7FFFFFFF"},
      {Op::Not, u"-1", {}, u"0", u"0"},         {Op::Not, u"abc", {}, kInv, kInv},
      {Op::Not, u"2147483648", {}, kInv, kInv}, {Op::Not, u"", {}, kNothing, {}},
  };
  for (const auto& row : rows) ExpectRow(row);
}

TEST(Calculator, Shifts) {
  const CalcRow rows[] = {
      {Op::Shl, u"5", u"3", u"40", u"28"},      {Op::Shl, u"5", u"1", u"10", u"A"},
      {Op::Shl, u"5", u"0", u"5", u"5"},        {Op::Shl, u"5", u"", u"5", u"5"},
      {Op::Shl, u"5", u"-0", u"5", u"5"},       {Op::Shl, u"5", u"abc", u"5", u"5"},
      {Op::Shl, u"5", u"-4", kInv, kInv},       {Op::Shl, u"5", u"-0.5", kInv, kInv},
      {Op::Shl, u"1.5", u"2.9", u"6", u"6"},    {Op::Shl, u"", u"", u"0", u"0"},
      {Op::Shl, u"1", u"30", u"1073741824", u"40000000"},
      {Op::Shl, u"1", u"31", kInv, kInv},
      {Op::Shl, u"-1", u"31", u"-2147483648", u"80000000"},
      {Op::Shl, u"0", u"1023", u"0", u"0"},     {Op::Shl, u"0", u"1024", kInv, kInv},
      {Op::Shl, u"1", u"1023.9", kInv, kInv},   {Op::Shl, u"1e300", u"1000", kInv, kInv},
      {Op::Shl, u"1e400", u"0", kInv, kInv},    {Op::Shl, u"1", u"1e400", kInv, kInv},
      {Op::Shl, u"-10", u"1", u"-20", u"FFFFFFEC"},
      {Op::Shl, u"0.3", u"1", u"0.6", u"1"},    {Op::Shl, u"1.25", u"1", u"2.5", u"2"},
      // The hexadecimal box reads the decimal one, which shows 15 digits: ...647.5, even ...648.
      {Op::Shl, u"2147483647.4999999", u"0", kInv, kInv},
      {Op::Shr, u"100", u"2", u"25", u"19"},    {Op::Shr, u"7", u"1", u"3", u"3"},
      {Op::Shr, u"7", u"0", u"7", u"7"},        {Op::Shr, u"7.5", u"0", u"7", u"7"},
      {Op::Shr, u"-7.5", u"0", u"-8", u"FFFFFFF8"},
      {Op::Shr, u"-5", u"1", u"-3", u"FFFFFFFD"},
      {Op::Shr, u"-1", u"5", u"-1", u"FFFFFFFF"},
      {Op::Shr, u"1", u"1023", u"0", u"0"},     {Op::Shr, u"-1e-300", u"1023", u"-1", u"FFFFFFFF"},
      {Op::Shr, u"4294967294", u"1", u"2147483647", u"7FFFFFFF"},
      {Op::Shr, u"4294967296", u"1", kInv, kInv},
      {Op::Shr, u"1", u"-1", kInv, kInv},
  };
  for (const auto& row : rows) ExpectRow(row);
  // The operands are always read with the period; the locale's separator is for the boxes.
  EXPECT_EQ(ShlResults(u"0,3", u"1", kGerman), (ResultTexts{u"0", u"0"}));
  EXPECT_EQ(ShlResults(u"0.3", u"1", kGerman), (ResultTexts{u"0,6", u"1"}));
  EXPECT_EQ(ShlResults(u"1.25", u"1", kGerman), (ResultTexts{u"2,5", u"2"}));
}

}  // namespace
}  // namespace calvexa
