#include "clsClassicCrypto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "codepage.h"

namespace calvexa {
namespace {

// A text of the characters of the given ANSI codes.
std::u16string Codes(std::initializer_list<int> codes) {
  std::u16string text;
  for (int code : codes) text.push_back(AnsiToChar(static_cast<std::uint8_t>(code)));
  return text;
}

// A text as the result buffer returns it: every character through the code page and back.
std::u16string ThroughCodePage(const std::u16string& text) { return AnsiToText(TextToAnsi(text)); }

std::u16string Repeat(std::u16string_view piece, std::size_t times) {
  std::u16string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text.append(piece);
  return text;
}

// Distinct characters, so a moved or lost character shows.
std::u16string Numbered(std::size_t length) {
  std::u16string text(length, u'\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(u'!' + i % 90);
  return text;
}

class Texts {
 public:
  explicit Texts(std::uint32_t seed) : random_(seed) {}

  // Any character of the code page.
  std::u16string CodePage(std::size_t maxLength) {
    std::u16string text(Length(maxLength), u'\0');
    for (auto& ch : text) ch = AnsiToChar(static_cast<std::uint8_t>(Below(256)));
    return text;
  }

  // Any 16-bit character, most of them outside the code page.
  std::u16string Any(std::size_t maxLength) {
    std::u16string text(Length(maxLength), u'\0');
    for (auto& ch : text) ch = static_cast<char16_t>(Below(0x10000));
    return text;
  }

  std::u16string LettersAndSpaces(std::size_t maxLength) {
    static constexpr std::u16string_view kAlphabet =
        u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ";
    std::u16string text(Length(maxLength), u'\0');
    for (auto& ch : text) ch = kAlphabet[Below(kAlphabet.size())];
    return text;
  }

  // Non-empty words of any characters but the space, joined by single spaces.
  std::u16string SingleSpaced(std::size_t maxWords, std::size_t maxWordLength) {
    std::u16string text;
    const std::size_t words = 1 + Below(maxWords);
    for (std::size_t w = 0; w < words; ++w) {
      if (w > 0) text.push_back(u' ');
      const std::size_t length = 1 + Below(maxWordLength);
      for (std::size_t i = 0; i < length; ++i) {
        char16_t ch = static_cast<char16_t>(Below(0x10000));
        text.push_back(ch == u' ' ? u'_' : ch);
      }
    }
    return text;
  }

  std::size_t Below(std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
  }

 private:
  std::size_t Length(std::size_t maxLength) { return Below(maxLength + 1); }
  std::mt19937 random_;
};

struct TextRow {
  const char* name;
  std::u16string input;
  std::u16string expected;
};

void PrintTo(const TextRow& row, std::ostream* os) { *os << row.name; }

// Binary text.

class Ascii2BinaryRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Ascii2BinaryRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2Binary(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, Ascii2BinaryRows,
    ::testing::Values(TextRow{"empty", u"", u""}, TextRow{"A", u"A", u"01000001"},
                      TextRow{"Hi", u"Hi", u"0100100001101001"},
                      TextRow{"code 0", Codes({0}), u"00000000"},
                      TextRow{"code 255", Codes({255}), u"11111111"},
                      TextRow{"euro sign is 0x80", u"\u20AC", u"10000000"},
                      TextRow{"outside the code page is ?", u"\u4E2D", u"00111111"}));

class Binary2AsciiRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Binary2AsciiRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Binary2Ascii(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, Binary2AsciiRows,
    ::testing::Values(
        TextRow{"empty", u"", u""}, TextRow{"01000001", u"01000001", u"A"},
        TextRow{"two groups", u"0100000101000010", u"AB"},
        TextRow{"7 digits are filled with 0", u"0111000", u"p"},
        TextRow{"4 digits after no group are dropped", u"0100", u""},
        TextRow{"4 digits after one group count", u"010000010111", u"Ap"},
        TextRow{"3 trailing digits are dropped", u"01000001010", u"A"},
        TextRow{"5 trailing digits count", u"0100000101110", u"Ap"},
        TextRow{"4 digits after two groups are dropped", u"01000001010000100111", u"AB"},
        TextRow{"digit 2 weighs double", u"00000002", Codes({2})},
        TextRow{"value 256 fails", u"20000000", u""},
        TextRow{"value above 255 fails", u"12345678", u""},
        TextRow{"other characters count 0", u"0100000x", u"@"},
        TextRow{"11111111", u"11111111", Codes({255})},
        TextRow{"10000000 is the euro sign", u"10000000", u"\u20AC"},
        TextRow{"failure in a later group gives nothing", u"0100000190000000", u""}));

TEST(Ascii2Binary, LongestAcceptedText) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2Binary(Repeat(u"A", 32765)).size(), 262120u);
  const std::u16string digits = crypto.Ascii2Binary(Repeat(u"A", 32766));
  EXPECT_EQ(digits, Repeat(u"01000001", 32766));
  EXPECT_EQ(crypto.Ascii2Binary(Repeat(u"A", 32767)), u"");
  EXPECT_EQ(crypto.Ascii2Binary(Repeat(u"A", 32768)), u"");
  EXPECT_EQ(crypto.Ascii2Binary(Repeat(u"A", 70000)), u"");
  EXPECT_EQ(crypto.Ascii2Binary(u"Hi"), u"0100100001101001") << "usable after a failure";
}

TEST(Binary2Ascii, LongestAcceptedText) {
  clsClassicCrypto crypto;
  // 32,763 digits are 4,095 groups; from 32,764 on the group count rounds to 4,096.
  const std::u16string groups = Repeat(u"01000001", 4095);
  EXPECT_EQ(crypto.Binary2Ascii(groups + u"010"), Repeat(u"A", 4095));
  EXPECT_EQ(crypto.Binary2Ascii(groups + u"0100"), u"");
  EXPECT_EQ(crypto.Binary2Ascii(groups + u"01000001"), u"");
  EXPECT_EQ(crypto.Binary2Ascii(Repeat(u"0", 300000)), u"");
}

TEST(Binary2Ascii, RoundTripUpTo4095Characters) {
  clsClassicCrypto crypto;
  Texts texts(61);
  for (int i = 0; i < 200; ++i) {
    const std::u16string text = texts.CodePage(i < 5 ? 4095 : 300);
    ASSERT_EQ(crypto.Binary2Ascii(crypto.Ascii2Binary(text)), text) << "row " << i;
  }
  const std::u16string longest = texts.CodePage(0) + Repeat(u"\u00FF", 4095);
  EXPECT_EQ(crypto.Binary2Ascii(crypto.Ascii2Binary(longest)), longest);
  EXPECT_EQ(crypto.Binary2Ascii(crypto.Ascii2Binary(longest + u"x")), u"");
}

// Hexadecimal text.

class HexEncodeRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(HexEncodeRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.HexEncode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, HexEncodeRows,
    ::testing::Values(TextRow{"empty", u"", u""}, TextRow{"A", u"A", u"41"},
                      TextRow{"Hi!", u"Hi!", u"486921"}, TextRow{"line feed", u"\n", u"0A"},
                      TextRow{"code 0", Codes({0}), u"00"},
                      TextRow{"code 255", Codes({255}), u"FF"},
                      TextRow{"euro sign", u"\u20AC", u"80"},
                      TextRow{"outside the code page is ?", u"\u4E2D", u"3F"}));

class HexDecodeRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(HexDecodeRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.HexDecode(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, HexDecodeRows,
    ::testing::Values(TextRow{"empty", u"", u""}, TextRow{"414243", u"414243", u"ABC"},
                      TextRow{"lower case", u"4a", u"J"}, TextRow{"0a", u"0a", u"\n"},
                      TextRow{"0A", u"0A", u"\n"}, TextRow{"lone last digit", u"417", u"A\a"},
                      TextRow{"A alone is 10", u"A", Codes({10})},
                      TextRow{"4G stops at G", u"4G", Codes({4})},
                      TextRow{"zz is 0", u"zz", Codes({0})},
                      TextRow{"leading blank skipped", u" 4", Codes({4})},
                      TextRow{"trailing blank skipped", u"4 ", Codes({4})},
                      TextRow{"tab and line feed are blanks", u"\t\n", Codes({0})},
                      TextRow{"carriage return is no blank", u"\r4", Codes({0})},
                      TextRow{"ff", u"ff", Codes({255})},
                      TextRow{"80 is the euro sign", u"80", u"\u20AC"},
                      TextRow{"full-width digits are no digits", u"\uFF14\uFF11", Codes({0})}));

TEST(Hex, EveryCodeRoundTrips) {
  clsClassicCrypto crypto;
  std::u16string all;
  for (int code = 0; code < 256; ++code) all += Codes({code});
  const std::u16string hex = crypto.HexEncode(all);
  ASSERT_EQ(hex.size(), 512u);
  EXPECT_EQ(hex.substr(0, 6), u"000102");
  EXPECT_EQ(hex.substr(506), u"FDFEFF");
  EXPECT_EQ(crypto.HexDecode(hex), all);
}

TEST(Hex, RoundTripOfRandomTextsHasNoLengthLimit) {
  clsClassicCrypto crypto;
  Texts texts(62);
  for (int i = 0; i < 200; ++i) {
    const std::u16string text = i % 2 ? texts.CodePage(500) : texts.Any(500);
    const std::u16string hex = crypto.HexEncode(text);
    ASSERT_EQ(hex.size(), 2 * text.size());
    ASSERT_EQ(crypto.HexDecode(hex), ThroughCodePage(text)) << "row " << i;
  }
  const std::u16string large = Repeat(u"\u00E9\u20ACz", 40000);
  EXPECT_EQ(crypto.HexDecode(crypto.HexEncode(large)), large);
}

// Reversal.

TEST(ReverseString, Examples) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.ReverseString(u""), u"");
  EXPECT_EQ(crypto.ReverseString(u"abc"), u"cba");
  EXPECT_EQ(crypto.ReverseString(u"a\u4E2D\u20AC"), u"\u20AC?a");
}

TEST(ReverseString, LongestAcceptedText) {
  clsClassicCrypto crypto;
  const std::u16string text = Numbered(32767);
  std::u16string reversed(text.rbegin(), text.rend());
  EXPECT_EQ(crypto.ReverseString(text), reversed);
  EXPECT_EQ(crypto.ReverseString(Numbered(32768)), u"");
}

// Caesar shift.

struct CaesarRow {
  const char* name;
  std::u16string text;
  std::int16_t difference;
  std::u16string expected;
  std::int16_t reduced;
};

void PrintTo(const CaesarRow& row, std::ostream* os) { *os << row.name; }

class CaesarRows : public ::testing::TestWithParam<CaesarRow> {};

TEST_P(CaesarRows, Shifts) {
  clsClassicCrypto crypto;
  std::int16_t difference = GetParam().difference;
  EXPECT_EQ(crypto.CaesarShift(GetParam().text, difference), GetParam().expected);
  EXPECT_EQ(difference, GetParam().reduced);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, CaesarRows,
    ::testing::Values(
        CaesarRow{"Hello World by 3", u"Hello World", 3, u"Khoor Zruog", 3},
        CaesarRow{"xyz wraps", u"xyz", 3, u"abc", 3}, CaesarRow{"XYZ wraps", u"XYZ", 3, u"ABC", 3},
        CaesarRow{"30 is reduced to 4", u"Hello", 30, u"Lipps", 4},
        CaesarRow{"52 is reduced to 26", u"ab", 52, u"ab", 26},
        CaesarRow{"53 is reduced to 1", u"ab", 53, u"bc", 1},
        CaesarRow{"largest difference", u"a", 32767, u"h", 7},
        CaesarRow{"z by 1", u"z", 1, u"a", 1}, CaesarRow{"Z by 1", u"Z", 1, u"A", 1},
        CaesarRow{"26 keeps letters", u"aZ", 26, u"aZ", 26},
        CaesarRow{"digit shifts like a lower-case letter", u"1", 3, u"4", 3},
        CaesarRow{"9 by 26", u"9", 26, u"S", 26},
        CaesarRow{"{ wraps at z", u"{", 3, u"d", 3},
        CaesarRow{"spaces only are kept", u"   ", 5, u"   ", 5},
        CaesarRow{"empty text still reduces", u"", 53, u"", 1},
        CaesarRow{"negative shifts down without wrap", u"a", -1, u"`", -1},
        CaesarRow{"A by -65 is code 0", u"A", -65, Codes({0}), -65},
        CaesarRow{"a code below 0 fails", u"A", -66, u"", -66},
        CaesarRow{"lowest difference fails", u"\u00FF", -32768, u"", -32768},
        CaesarRow{"accented lower case always wraps", u"\u00E9", 3, Codes({233 + 3 - 26}), 3},
        CaesarRow{"accented upper case wraps at Z", u"\u00C9", 3, Codes({201 + 3 - 26}), 3},
        CaesarRow{"S caron is upper case", u"\u0160", 1, Codes({138 + 1 - 26}), 1},
        CaesarRow{"y diaeresis is lower case", u"\u00FF", 26, Codes({255}), 26},
        CaesarRow{"multiplication sign has no case", u"\u00D7", 1, Codes({215 + 1 - 26}), 1},
        CaesarRow{"outside the code page shifts ?", u"\u4E2D\u0100", 3, u"BB", 3},
        CaesarRow{"title-case digraph adds nothing", u"a\u01C5b", 1, u"bc", 1}));

TEST(CaesarShift, LongestAcceptedText) {
  clsClassicCrypto crypto;
  std::int16_t difference = 1;
  EXPECT_EQ(crypto.CaesarShift(Repeat(u"a", 32766), difference), Repeat(u"b", 32766));
  difference = 40;
  EXPECT_EQ(crypto.CaesarShift(Repeat(u"a", 32767), difference), u"");
  EXPECT_EQ(difference, 14) << "reduced before the failure";
  EXPECT_EQ(crypto.CaesarShift(Repeat(u"a", 32768), difference), u"");
}

TEST(CaesarShift, ShiftBackBy26MinusD) {
  clsClassicCrypto crypto;
  Texts texts(63);
  for (std::int16_t d = 0; d <= 26; ++d) {
    for (int i = 0; i < 10; ++i) {
      const std::u16string text = texts.LettersAndSpaces(200);
      std::int16_t there = d;
      std::int16_t back = static_cast<std::int16_t>(26 - d);
      ASSERT_EQ(crypto.CaesarShift(crypto.CaesarShift(text, there), back), text) << "d " << d;
    }
  }
}

// Transposition.

class Ascii2TranspositionRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Ascii2TranspositionRows, Transposes) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2Transposition(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Classic, Ascii2TranspositionRows,
                         ::testing::Values(TextRow{"empty", u"", u""}, TextRow{"a", u"a", u"a"},
                                           TextRow{"ab", u"ab", u"ab"},
                                           TextRow{"abc", u"abc", u"acb"},
                                           TextRow{"abcde", u"abcde", u"adbec"},
                                           TextRow{"abcdef", u"abcdef", u"adbecf"},
                                           TextRow{"abcdefg", u"abcdefg", u"aebfcgd"},
                                           TextRow{"spaces move too", u"a b c", u"a  cb"}));

class Transposition2AsciiRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Transposition2AsciiRows, Restores) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Transposition2Ascii(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Classic, Transposition2AsciiRows,
                         ::testing::Values(TextRow{"empty", u"", u""}, TextRow{"a", u"a", u"a"},
                                           TextRow{"ab", u"ab", u"ab"},
                                           TextRow{"adbecf", u"adbecf", u"abcdef"},
                                           TextRow{"aebfcgd", u"aebfcgd", u"abcdefg"},
                                           TextRow{"not from a transposition", u"abcd", u"acbd"}));

TEST(Transposition, LongestAcceptedTexts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2Transposition(Numbered(32767)).size(), 32767u);
  EXPECT_EQ(crypto.Ascii2Transposition(Numbered(32768)), u"");
  EXPECT_EQ(crypto.Transposition2Ascii(Numbered(32765)).size(), 32765u);
  EXPECT_EQ(crypto.Transposition2Ascii(Numbered(32766)), u"");
  EXPECT_EQ(crypto.Transposition2Ascii(Numbered(32767)), u"");
  EXPECT_EQ(crypto.Transposition2Ascii(Numbered(32768)), u"");
  const std::u16string text = Numbered(32765);
  EXPECT_EQ(crypto.Transposition2Ascii(crypto.Ascii2Transposition(text)), text);
}

TEST(Transposition, RoundTripOfRandomTexts) {
  clsClassicCrypto crypto;
  Texts texts(64);
  for (int i = 0; i < 300; ++i) {
    const std::u16string text = texts.CodePage(i < 3 ? 32765 : 400);
    const std::u16string transposed = crypto.Ascii2Transposition(text);
    ASSERT_EQ(transposed.size(), text.size());
    std::u16string sorted = transposed, expected = text;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sorted, expected) << "each character exactly once, row " << i;
    ASSERT_EQ(crypto.Transposition2Ascii(transposed), text) << "row " << i;
  }
}

// Pig Latin.

class Ascii2PigLatinRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Ascii2PigLatinRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2PigLatin(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, Ascii2PigLatinRows,
    ::testing::Values(TextRow{"hello world", u"hello world", u"ellohay orldway"},
                      TextRow{"I am", u"I am", u"Iay maay"},
                      TextRow{"punctuation moves too", u"Hello, World!", u"ello,Hay orld!Way"},
                      TextRow{"one letter", u"a", u"aay"}, TextRow{"one word", u"abc", u"bcaay"},
                      TextRow{"case is kept", u"Hello", u"elloHay"},
                      TextRow{"tab belongs to the word", u"ab\tc d", u"b\tcaay day"},
                      TextRow{"characters outside the code page are kept", u"\u4E2D\u6587",
                              u"\u6587\u4E2Day"},
                      TextRow{"empty fails", u"", u""}, TextRow{"two spaces fail", u"a  b", u""},
                      TextRow{"trailing space fails", u"a ", u""},
                      TextRow{"leading space fails", u" a", u""},
                      TextRow{"a single space fails", u" ", u""}));

class PigLatin2AsciiRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(PigLatin2AsciiRows, Converts) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.PigLatin2Ascii(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, PigLatin2AsciiRows,
    ::testing::Values(TextRow{"ellohay orldway", u"ellohay orldway", u"hello world"},
                      TextRow{"Iay maay", u"Iay maay", u"I am"}, TextRow{"aay", u"aay", u"a"},
                      TextRow{"bcaay", u"bcaay", u"abc"},
                      TextRow{"xyz keeps one letter", u"xyz", u"x"},
                      TextRow{"any last two characters go", u"hellozz", u"ohell"},
                      TextRow{"empty fails", u"", u""}, TextRow{"xy fails", u"xy", u""},
                      TextRow{"short word fails", u"aay xy", u""},
                      TextRow{"two spaces fail", u"aay  bay", u""}));

TEST(PigLatin, RoundTripOfSingleSpacedTexts) {
  clsClassicCrypto crypto;
  Texts texts(65);
  for (int i = 0; i < 300; ++i) {
    const std::u16string text = texts.SingleSpaced(40, 12);
    ASSERT_EQ(crypto.PigLatin2Ascii(crypto.Ascii2PigLatin(text)), text) << "row " << i;
  }
}

TEST(PigLatin, SpaceLimits) {
  clsClassicCrypto crypto;
  // 32,766 spaces are the most; 32,767 spaces fail.
  const std::u16string most = u"a" + Repeat(u" a", 32766);
  EXPECT_EQ(crypto.Ascii2PigLatin(most), u"aay" + Repeat(u" aay", 32766));
  EXPECT_EQ(crypto.Ascii2PigLatin(most + u" a"), u"");
  EXPECT_EQ(crypto.PigLatin2Ascii(u"aay" + Repeat(u" aay", 32766)), most);
  EXPECT_EQ(crypto.PigLatin2Ascii(u"aay" + Repeat(u" aay", 32767)), u"");
  // A word followed by a space may have 32,765 characters; the last word has no limit.
  const std::u16string word = Repeat(u"b", 32764);
  EXPECT_EQ(crypto.Ascii2PigLatin(u"a" + word + u" c"), word + u"aay cay");
  EXPECT_EQ(crypto.Ascii2PigLatin(u"ab" + word + u" c"), u"");
  EXPECT_EQ(crypto.PigLatin2Ascii(u"bb" + word + u" cay"), u"");
  EXPECT_EQ(crypto.Ascii2PigLatin(u"c a" + Repeat(word, 3)), u"cay " + Repeat(word, 3) + u"aay");
}

// Random substitution cipher.

// The digit of a cipher character by its band, or -1 outside every band.
int BandDigit(char16_t ch) {
  const int code = CharToAnsi(ch);
  return code >= 55 && code <= 254 ? (code - 55) / 20 : -1;
}

std::string Digits(const std::u16string& cipher) {
  std::string digits;
  for (char16_t ch : cipher) {
    const int d = BandDigit(ch);
    digits.push_back(d < 0 ? '!' : static_cast<char>('0' + d));
  }
  return digits;
}

// The shift a code gives, read from the cipher of the character of code 0.
int ShiftOf(clsClassicCrypto& crypto, const std::u16string& code) {
  return std::stoi(Digits(crypto.Ascii2Random(Codes({0}), code)));
}

struct ShiftRow {
  const char* name;
  std::u16string code;
  int shift;
};

void PrintTo(const ShiftRow& row, std::ostream* os) { *os << row.name; }

class CodeShiftRows : public ::testing::TestWithParam<ShiftRow> {};

TEST_P(CodeShiftRows, GivesTheShift) {
  clsClassicCrypto crypto;
  EXPECT_EQ(ShiftOf(crypto, GetParam().code), GetParam().shift);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, CodeShiftRows,
    ::testing::Values(ShiftRow{"empty code", u"", 0},
                      ShiftRow{"sum 2 rounds to 0", Codes({1, 0}), 0},
                      ShiftRow{"sum 3 rounds up to 1", Codes({1}), 1},
                      ShiftRow{"sum 327 gives 55", u"m", 55},
                      ShiftRow{"sum 326 gives 54", u"ml", 54},
                      ShiftRow{"sum 765 gives 128", Codes({255}), 128},
                      ShiftRow{"middle of 2 is the first", u"Az", 42},
                      ShiftRow{"middle of 3 is the second", u"AzB", 42},
                      ShiftRow{"middle of 4 is the second", u"AzBB", 42},
                      ShiftRow{"middle of 5 is the third", u"AAzAA", 42},
                      ShiftRow{"only three characters count", u"A\u00FF\u00FFzB\u00FF\u00FFB", 42},
                      ShiftRow{"characters outside the code page count as ?", u"\u4E2D", 32}));

TEST(Ascii2Random, EmptyCodeMeansShiftZero) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Ascii2Random(u"", u"abc"), u"");
  const std::u16string cipher = crypto.Ascii2Random(u"A", u"");
  ASSERT_EQ(cipher.size(), 3u);
  EXPECT_EQ(Digits(cipher), "065");
  EXPECT_EQ(crypto.Random2Ascii(Codes({60, 180, 160}), u""), u"A");
}

TEST(Ascii2Random, CodesPlusShiftAreThreeDigits) {
  clsClassicCrypto crypto;
  EXPECT_EQ(Digits(crypto.Ascii2Random(Codes({255}), Codes({255}))), "383");
  EXPECT_EQ(Digits(crypto.Ascii2Random(u"\u4E2D\u20AC\n", u"")), "063128010");
  EXPECT_EQ(Digits(crypto.Ascii2Random(Codes({0, 9, 99, 100}), Codes({1}))), "001010100101");
}

class Random2AsciiRows : public ::testing::TestWithParam<TextRow> {};

TEST_P(Random2AsciiRows, DeciphersWithShiftZero) {
  clsClassicCrypto crypto;
  EXPECT_EQ(crypto.Random2Ascii(GetParam().input, u""), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Classic, Random2AsciiRows,
    ::testing::Values(TextRow{"empty", u"", u""},
                      TextRow{"lowest codes of 0 6 5", Codes({55, 175, 155}), u"A"},
                      TextRow{"highest codes of 0 6 5", Codes({74, 194, 174}), u"A"},
                      TextRow{"short last group", Codes({60, 180, 160, 60}), u"A" + Codes({0})},
                      TextRow{"last group of two digits", Codes({60, 180, 160, 80, 60}),
                              u"A" + Codes({10})},
                      TextRow{"code 54 fails", Codes({60, 180, 54}), u""},
                      TextRow{"code 255 fails", Codes({60, 180, 255}), u""},
                      TextRow{"outside the code page reads as ?, in band 0", u"\u4E2DWW", Codes({11})},
                      TextRow{"group 256 fails", Codes({95, 155, 175}), u""},
                      TextRow{"group 255", Codes({95, 155, 155}), Codes({255})}));

TEST(Random2Ascii, AnotherShiftGivesTheAbsoluteDifference) {
  clsClassicCrypto crypto;
  const std::u16string shift10 = Codes({20});
  ASSERT_EQ(ShiftOf(crypto, shift10), 10);
  EXPECT_EQ(crypto.Random2Ascii(Codes({55, 55, 155}), shift10), Codes({5}));
  const std::u16string cipher = crypto.Ascii2Random(u"A", u"");
  EXPECT_EQ(crypto.Random2Ascii(cipher, shift10), u"7");
  EXPECT_EQ(crypto.Random2Ascii(cipher, Codes({255})), u"?");
  EXPECT_EQ(crypto.Random2Ascii(crypto.Ascii2Random(Codes({255}), Codes({255})), u""), u"");
}

TEST(RandomCipher, RoundTripWithTheCodeAndAnotherOfTheSameShift) {
  clsClassicCrypto crypto;
  Texts texts(66);
  // Pairs of codes of equal shift: m*3 = 327 = l+n+m.
  const std::u16string codes[][2] = {{u"m", u"lnm"}, {u"", Codes({1, 0})},
                                     {Codes({255}), u"\u00FF\u00FF\u4E2D\u00FF"},
                                     {u"Az", u"AAzAA"}};
  for (int i = 0; i < 200; ++i) {
    const auto& pair = codes[i % 4];
    ASSERT_EQ(ShiftOf(crypto, pair[0]), ShiftOf(crypto, pair[1]));
    const std::u16string text = texts.CodePage(300);
    const std::u16string cipher = crypto.Ascii2Random(text, pair[0]);
    ASSERT_EQ(cipher.size(), 3 * text.size());
    ASSERT_EQ(crypto.Random2Ascii(cipher, pair[0]), text) << "row " << i;
    ASSERT_EQ(crypto.Random2Ascii(cipher, pair[1]), text) << "row " << i;
  }
  const std::u16string any = texts.Any(300);
  EXPECT_EQ(crypto.Random2Ascii(crypto.Ascii2Random(any, u"key"), u"key"), ThroughCodePage(any));
}

TEST(RandomCipher, EveryCipherCharacterLiesInItsDigitsBand) {
  clsClassicCrypto crypto;
  Texts texts(67);
  std::array<int, 20> draws{};
  int total = 0;
  for (int i = 0; i < 40; ++i) {
    const std::u16string text = texts.CodePage(1000);
    const std::u16string code = texts.CodePage(5);
    const std::u16string cipher = crypto.Ascii2Random(text, code);
    const int shift = ShiftOf(crypto, code);
    std::string expected;
    for (char16_t ch : text) {
      const int v = CharToAnsi(ch) + shift;
      expected += std::to_string(v / 100) + std::to_string(v / 10 % 10) + std::to_string(v % 10);
    }
    ASSERT_EQ(Digits(cipher), expected);
    for (char16_t ch : cipher) {
      const int code = CharToAnsi(ch);
      ++draws[(code - 55) % 20];
      ++total;
    }
  }
  // The offset within a band is u * 19 rounded: 0 and 19 half as likely as the others.
  ASSERT_GT(total, 30000);
  for (int r = 0; r < 20; ++r) {
    const double expected = total * (r == 0 || r == 19 ? 1.0 / 38 : 1.0 / 19);
    EXPECT_NEAR(draws[r], expected, 0.15 * expected) << "offset " << r;
  }
}

TEST(RandomCipher, EncipheringsDiffer) {
  clsClassicCrypto crypto;
  const std::u16string text = u"Twenty characters ok";
  ASSERT_EQ(text.size(), 20u);
  const std::u16string first = crypto.Ascii2Random(text, u"code");
  const std::u16string second = crypto.Ascii2Random(text, u"code");
  EXPECT_EQ(first.size(), second.size());
  EXPECT_NE(first, second);
  EXPECT_EQ(crypto.Random2Ascii(first, u"code"), text);
  EXPECT_EQ(crypto.Random2Ascii(second, u"code"), text);
  // Each object seeds its own generator once.
  clsClassicCrypto other;
  EXPECT_NE(other.Ascii2Random(text, u"code"), crypto.Ascii2Random(text, u"code"));
  // Draws within one call differ too (a clock re-seed per draw repeated them).
  const std::u16string zeros = crypto.Ascii2Random(Repeat(Codes({0}), 20), u"");
  EXPECT_GT(std::set<char16_t>(zeros.begin(), zeros.end()).size(), 5u);
}

// The process-events hook.

TEST(ProcessEventsHook, CalledWhereTheWindowGetsATurn) {
  clsClassicCrypto crypto;
  int calls = 0;
  crypto.SetProcessEventsHook([&] { ++calls; });
  const auto count = [&](auto&& call) {
    calls = 0;
    call();
    return calls;
  };
  // Once per character and once per digit.
  EXPECT_EQ(count([&] { crypto.Ascii2Random(u"hello", u"k"); }), 20);
  const std::u16string cipher = crypto.Ascii2Random(u"hello", u"k");
  // Once per cipher character and once per group of three digits.
  EXPECT_EQ(count([&] { crypto.Random2Ascii(cipher, u"k"); }), 20);
  EXPECT_EQ(count([&] { crypto.Random2Ascii(cipher.substr(0, 14), u"k"); }), 19);
  EXPECT_EQ(count([&] { crypto.Random2Ascii(Codes({54, 60, 60}), u"k"); }), 1);
  // Once per space and once more at the end, also when the conversion then fails.
  EXPECT_EQ(count([&] { crypto.Ascii2PigLatin(u"a b c"); }), 3);
  EXPECT_EQ(count([&] { crypto.PigLatin2Ascii(u"aay bay cay"); }), 3);
  EXPECT_EQ(count([&] { crypto.Ascii2PigLatin(u""); }), 1);
  EXPECT_EQ(count([&] { crypto.PigLatin2Ascii(u"a  b"); }), 3);
  // The other methods never yield.
  EXPECT_EQ(count([&] {
              std::int16_t d = 3;
              crypto.Ascii2Binary(u"abc");
              crypto.Binary2Ascii(u"01000001");
              crypto.HexEncode(u"abc");
              crypto.HexDecode(u"414243");
              crypto.ReverseString(u"abc");
              crypto.CaesarShift(u"abc", d);
              crypto.Ascii2Transposition(u"abc");
              crypto.Transposition2Ascii(u"abc");
            }),
            0);
  crypto.SetProcessEventsHook(nullptr);
  EXPECT_EQ(crypto.Ascii2PigLatin(u"a b"), u"aay bay");
}

TEST(ProcessEventsHook, AnExceptionFailsTheMethodOnly) {
  clsClassicCrypto crypto;
  int calls = 0;
  crypto.SetProcessEventsHook([&] {
    if (++calls == 5) throw std::runtime_error("window closed");
  });
  EXPECT_EQ(crypto.Ascii2Random(u"abc", u""), u"");
  EXPECT_EQ(crypto.Ascii2Binary(u"A"), u"01000001") << "the buffer was reset";
  calls = 0;
  EXPECT_EQ(crypto.Ascii2PigLatin(u"a b c d e f"), u"");
}

TEST(ProcessEventsHook, ACallFromTheHookCannotDisturbTheRunningCall) {
  clsClassicCrypto crypto;
  std::vector<std::u16string> nested;
  bool inHook = false;
  crypto.SetProcessEventsHook([&] {
    if (inHook) return;
    inHook = true;
    nested.push_back(crypto.HexEncode(u"A"));
    nested.push_back(crypto.Ascii2PigLatin(u"ab"));
    inHook = false;
  });
  const std::u16string text = u"nested calls";
  const std::u16string cipher = crypto.Ascii2Random(text, u"k");
  ASSERT_FALSE(nested.empty());
  for (std::size_t i = 0; i < nested.size(); i += 2) {
    EXPECT_EQ(nested[i], u"41") << "a buffer of its own";
    EXPECT_EQ(nested[i + 1], u"baay") << "Pig Latin needs no buffer";
  }
  crypto.SetProcessEventsHook({});
  EXPECT_EQ(crypto.Random2Ascii(cipher, u"k"), text);
  EXPECT_EQ(crypto.HexEncode(u"A"), u"41");
}

// A hook that frees the caller's strings, clears itself or installs another: the result is that of
// the texts at the call, and a replaced hook (on the heap, where a use after free shows) runs on.
TEST(ProcessEventsHook, ResultIsThatOfTheTextsAtTheCall) {
  static const std::u16string plain = u"hello brave new world", code = u"a code of many characters";
  const std::u16string pig = u"ellohay ravebay ewnay orldway";
  using Call = std::u16string (*)(clsClassicCrypto&, std::u16string&, std::u16string&);
  const std::tuple<std::u16string, Call, std::u16string, int> rows[] = {
      {plain, [](auto& c, auto& t, auto& k) {
         return clsClassicCrypto().Random2Ascii(c.Ascii2Random(t, k), code); }, plain, 84},
      {plain, [](auto& c, auto& t, auto&) { return c.Ascii2PigLatin(t); }, pig, 4},
      {pig, [](auto& c, auto& t, auto&) { return c.PigLatin2Ascii(t); }, plain, 4}};
  for (int row = 0; row < 9; ++row) {
    const auto& [input, call, expected, turns] = rows[row / 3];
    const int action = row % 3;  // free the texts, clear itself, install another
    clsClassicCrypto crypto;
    std::u16string text = input, key = code;
    int first = 0, second = 0;
    crypto.SetProcessEventsHook([&, heap = std::u16string(64, u'h')] {
      if (action == 0) std::u16string().swap(text), std::u16string().swap(key);
      if (action == 1) crypto.SetProcessEventsHook(nullptr);
      if (action == 2) crypto.SetProcessEventsHook([&] { ++second; });
      first += heap.size() == 64;
    });
    EXPECT_EQ((std::tuple{call(crypto, text, key), first, second}),
              (std::tuple{expected, action == 0 ? turns : 1, action == 2 ? turns - 1 : 0})) << row;
  }
}

}  // namespace
}  // namespace calvexa
