#include "codepage.h"

#include <gtest/gtest.h>

namespace calvexa {
namespace {

TEST(CodePage, EveryByteRoundTrips) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::u16string text = AnsiToText(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(TextToAnsi(text), all);
}

struct Mapping {
  char16_t ch;
  std::uint8_t byte;
};

TEST(CodePage, KnownCharacters) {
  const Mapping rows[] = {
      {u'\0', 0x00},   {u'A', 0x41},    {u'\x7F', 0x7F}, {u'\u20AC', 0x80},
      {u'\u0081', 0x81}, {u'\u201A', 0x82}, {u'\u0160', 0x8A}, {u'\u008D', 0x8D},
      {u'\u008F', 0x8F}, {u'\u0090', 0x90}, {u'\u2122', 0x99}, {u'\u009D', 0x9D},
      {u'\u0178', 0x9F}, {u'\u00A0', 0xA0}, {u'\u00E9', 0xE9}, {u'\u00FF', 0xFF},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CharToAnsi(row.ch), row.byte) << int(row.ch);
    EXPECT_EQ(AnsiToChar(row.byte), row.ch) << int(row.byte);
  }
}

TEST(CodePage, CharactersOutsideBecomeQuestionMark) {
  // U+0080 is no Windows-1252 character: byte 0x80 is the euro sign.
  for (char16_t ch : {u'\u0080', u'\u009F', u'\u0100', u'\u0162', u'\u4E2D', u'\uFFFF'}) {
    EXPECT_EQ(CharToAnsi(ch), 63) << int(ch);
  }
  // An astral character is a surrogate pair: two characters, two question marks.
  EXPECT_EQ(TextToAnsi(u"\U0001F600"), (std::vector<std::uint8_t>{63, 63}));
}

}  // namespace
}  // namespace calvexa
