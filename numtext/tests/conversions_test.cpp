#include <gtest/gtest.h>

#include <string>

#include "numtext.h"

namespace calvexa {
namespace {

std::string Show(std::u16string_view t) { return testing::PrintToString(std::u16string(t)); }

using namespace std::literals;

const NumberSeparators kEnglish{u".", u","};
const NumberSeparators kGerman{u",", u"."};

TEST(CharsToCodes, BothButtons) {
  const std::u16string_view rows[][3] = {
      {u"Hi!", u"48  69  21", u"72  105  33"}, {u"a\tb", u"61  9  62", u"97  9  98"},
      {u"   ", u"20  20  20", u"32  32  32"}, {u"", u"", u""}, {u"\0"sv, u"0", u"0"},
      {u"\u20AC\u00FF", u"80  FF", u"128  255"}, {u"\u4E2D", u"3F", u"63"},
  };
  for (const auto& [input, hex, dec] : rows) {
    EXPECT_EQ(CharsToHex(input), hex) << Show(input);
    EXPECT_EQ(CharsToDec(input), dec) << Show(input);
  }
  for (std::size_t length : {32767u, 32768u, 1u << 20}) {  // any length converts whole
    const std::u16string input = std::u16string(length - 1, u'A') + u'z';
    EXPECT_EQ(CharsToHex(input).size(), 4 * length - 2) << length;
    EXPECT_TRUE(CharsToDec(input).ends_with(u"65  122")) << length;
  }
}

using Rows = std::pair<std::u16string_view, std::u16string_view>[];

TEST(NumberButtons, DecToHexAndHexToDec) {
  const auto refusal = kDecToHexRefusal;
  for (const auto& [input, output] : (Rows{
           {u"255", u"FF"}, {u"-1", u"FFFFFFFF"}, {u"-2147483648", u"80000000"}, {u"2.5", u"2"},
           {u"3.5", u"4"}, {u"1E3", u"3E8"}, {u" 42 ", u"2A"}, {u"&HFF", u"FF"},
           {u"1,000", u"1"}, {u"", refusal}, {u" ", refusal}, {u"12abc", refusal},
           {u"2147483648", u""}, {u"1e400", u""}, {u"&H123456789", u""}})) {
    EXPECT_EQ(DecToHex(input, kEnglish), output) << Show(input);
  }
  EXPECT_EQ(DecToHex(u"2,5", kGerman), u"2");  // passes in the locale, read up to the comma
  for (const auto& [input, output] : (Rows{
           {u"ff", u"255"}, {u"7FFF", u"32767"}, {u"8000", u"-32768"}, {u"FFFF", u"-1"},
           {u"10000", u"65536"}, {u"80000000", u"-2147483648"}, {u"0000000000FF", u"255"},
           {u"", u"0"}, {u"1G", u"1"}, {u"&HFF", u"0"}, {u"FF FF", u"-1"},
           {u"100000000", u""}})) {
    EXPECT_EQ(HexToDec(input), output) << Show(input);
  }
}

TEST(CodeListButtons, HexToCharsAndDecToChars) {
  for (const auto& [input, output] : (Rows{
           {u"48,69", u"Hi"}, {u"100", u""}, {u"41,100,42", u"AB"}, {u"20,41,20", u"A"},
           {u"41,", u"A\0"sv}, {u"48  69", u""}, {u"80", u"\u20AC"}, {u"4 1,4 2", u"AB"},
           {u"41,123456789,42", u"AB"}})) {
    EXPECT_EQ(HexToChars(input), output) << Show(input);
  }
  for (const auto& [input, output] : (Rows{
           {u"72, 105", u"Hi"}, {u"65.5", u"B"}, {u"66.5", u"B"}, {u"300", u""}, {u"-1", u""},
           {u"abc", u"\0"sv}, {u"1e2", u"d"}, {u"1e400", u""}, {u"32,65,9", u"A\t"}})) {
    EXPECT_EQ(DecToChars(input), output) << Show(input);
  }
}

// Both result boxes as "decimal hex"; "-" when the click writes nothing.
std::u16string Boxes(const std::optional<ResultTexts>& texts) {
  return texts ? texts->decimal + u' ' + texts->hexadecimal : u"-";
}

TEST(Calculator, AllOperators) {
  const std::u16string_view rows[][4] = {
      {u"12", u"AND", u"10", u"8 8"}, {u"-1", u"AND", u"255", u"255 FF"},
      {u"12abc", u"AND", u"15", u"12 C"}, {u"5.5", u"AND", u"7", u"6 6"},
      {u" ", u"AND", u"9", u"0 0"}, {u"&HFFFF", u"AND", u"65535", u"65535 FFFF"},
      {u"3000000000", u"AND", u"1", u"INVALID INVALID"}, {u"", u"AND", u"5", u"-"},
      {u"12", u"OR", u"10", u"14 E"}, {u"12abc", u"OR", u"15", u"INVALID INVALID"},
      {u"2.5", u"OR", u"0", u"2 2"}, {u"2147483648", u"OR", u"0", u"INVALID INVALID"},
      {u" 7 ", u"OR", u"0", u"7 7"}, {u" ", u"OR", u"0", u"INVALID INVALID"},
      {u"&HFFFF", u"OR", u"0", u"-1 FFFFFFFF"}, {u"1", u"OR", u"", u"-"},
      {u"-1", u"XOR", u"1", u"-2 FFFFFFFE"}, {u"", u"XOR", u"", u"-"},
      {u"2147483647", u"NOT", {}, u"-2147483648 80000000"}, {u"-1", u"NOT", {}, u"0 0"},
      {u"2147483648", u"NOT", {}, u"INVALID INVALID"}, {u"", u"NOT", {}, u"-"},
      {u"5", u"SHL", u"3", u"40 28"}, {u"5", u"SHL", u"0", u"5 5"}, {u"5", u"SHL", u"", u"5 5"},
      {u"5", u"SHL", u"-0", u"5 5"}, {u"5", u"SHL", u"-0.5", u"INVALID INVALID"},
      {u"1.5", u"SHL", u"2.9", u"6 6"}, {u"", u"SHL", u"", u"0 0"},
      {u"1", u"SHL", u"31", u"INVALID INVALID"}, {u"-1", u"SHL", u"31", u"-2147483648 80000000"},
      {u"0", u"SHL", u"1023", u"0 0"}, {u"0", u"SHL", u"1024", u"INVALID INVALID"},
      {u"1e300", u"SHL", u"1000", u"INVALID INVALID"}, {u"1.25", u"SHL", u"1", u"2.5 2"},
      {u"0.3", u"SHL", u"1", u"0.6 1"},
      // The hexadecimal box reads the decimal one, rounded to 15 digits: 3.5, even 4.
      {u"3.4999999999999996", u"SHL", u"0", u"3.5 4"}, {u"100", u"SHR", u"2", u"25 19"},
      {u"7", u"SHR", u"0", u"7 7"}, {u"-7.5", u"SHR", u"0", u"-8 FFFFFFF8"},
      {u"-5", u"SHR", u"1", u"-3 FFFFFFFD"}, {u"1", u"SHR", u"1023", u"0 0"},
      {u"-1e-300", u"SHR", u"1023", u"-1 FFFFFFFF"},
      {u"4294967296", u"SHR", u"1", u"INVALID INVALID"}, {u"1", u"SHR", u"-1", u"INVALID INVALID"},
  };
  for (const auto& [first, op, second, boxes] : rows) {
    const auto got = op == u"AND"   ? AndResults(first, second)
                     : op == u"OR"  ? OrResults(first, second, kEnglish)
                     : op == u"XOR" ? XorResults(first, second, kEnglish)
                     : op == u"NOT" ? NotResults(first, kEnglish)
                     : op == u"SHL" ? ShlResults(first, second, kEnglish)
                                    : ShrResults(first, second, kEnglish);
    EXPECT_EQ(Boxes(got), boxes) << Show(first) << ' ' << Show(op) << ' ' << Show(second);
  }
  // Operands are read with the period; the locale's separator is for the result boxes.
  EXPECT_EQ(Boxes(ShlResults(u"0,3", u"1", kGerman)), u"0 0");
  EXPECT_EQ(Boxes(ShlResults(u"1.25", u"1", kGerman)), u"2,5 2");
}

}  // namespace
}  // namespace calvexa
