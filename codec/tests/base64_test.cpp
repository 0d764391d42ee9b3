#include "base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "codepage.h"

namespace calvexa {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::u16string U(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Bit-by-bit reference, independent of the codec's grouping: six bits at a time, pad to four.
std::u16string ReferenceEncodeUnbroken(const Bytes& bytes) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::u16string out;
  const std::size_t bits = bytes.size() * 8;
  for (std::size_t bit = 0; bit < bits; bit += 6) {
    unsigned v = 0;
    for (std::size_t k = bit; k < bit + 6; ++k) {
      const unsigned b = k < bits ? (bytes[k / 8] >> (7 - k % 8)) & 1 : 0;
      v = v * 2 + b;
    }
    out += static_cast<char16_t>(alphabet[v]);
  }
  while (out.size() % 4 != 0) out += u'=';
  return out;
}

Bytes Sequence(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng());
  return b;
}

struct EncodeRow {
  const char* name;
  Bytes input;
  const char* expected;
};

TEST(Base64Encode, KnownTexts) {
  const EncodeRow rows[] = {
      {"A", {0x41}, "QQ=="},
      {"AB", {0x41, 0x42}, "QUI="},
      {"ABC", {0x41, 0x42, 0x43}, "QUJD"},
      {"ABCD", {0x41, 0x42, 0x43, 0x44}, "QUJDRA=="},
      {"CR LF", {0x0D, 0x0A}, "DQo="},
      {"zero byte", {0x00}, "AA=="},
      {"FF FF FF", {0xFF, 0xFF, 0xFF}, "////"},
      {"FB FF", {0xFB, 0xFF}, "+/8="},
  };
  const Base64 codec;
  for (const auto& row : rows) {
    EXPECT_EQ(codec.EncodeArray64(row.input), U(row.expected)) << row.name;
    EXPECT_EQ(codec.DecodeArray64(U(row.expected)), row.input) << row.name;
  }
}

TEST(Base64Encode, EmptyInputGivesEmptyText) {
  const Base64 codec;
  EXPECT_EQ(codec.EncodeArray64({}), u"");
  EXPECT_EQ(codec.Encode64(u""), u"");
  EXPECT_EQ(codec.Decode64(u""), u"");
}

TEST(Base64Encode, EveryByteValue) {
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const Base64 codec;
  for (int i = 0; i < 256; ++i) {
    const Bytes one{all[i]};
    EXPECT_EQ(codec.EncodeArray64(one), ReferenceEncodeUnbroken(one)) << i;
    EXPECT_EQ(codec.DecodeArray64(codec.EncodeArray64(one)), one) << i;
  }
  EXPECT_EQ(codec.DecodeArray64(codec.EncodeArray64(all)), all);
}

// The codec's text is the reference text with CR LF after every complete 76-character line,
// but only once the text is longer than one line.
std::u16string BreakLines(const std::u16string& unbroken) {
  if (unbroken.size() <= 76) return unbroken;
  std::u16string out;
  for (std::size_t i = 0; i < unbroken.size(); i += 76) {
    out += unbroken.substr(i, 76);
    if (i + 76 <= unbroken.size()) out += u"\r\n";
  }
  return out;
}

TEST(Base64Encode, EveryLengthUpTo120RoundTrips) {
  const Base64 codec;
  for (std::size_t n = 0; n <= 120; ++n) {
    const Bytes input = Sequence(n, static_cast<unsigned>(n));
    const std::u16string text = codec.EncodeArray64(input);
    EXPECT_EQ(text, BreakLines(ReferenceEncodeUnbroken(input))) << n;
    if (n > 0) {
      EXPECT_EQ(codec.DecodeArray64(text), input) << n;
    }
  }
}

TEST(Base64Encode, LineBreakBoundaries) {
  struct Row {
    std::size_t bytes, length;
    bool endsInBreak;
  };
  const Row rows[] = {{57, 76, false}, {58, 82, false}, {114, 156, true}, {115, 160, false}};
  const Base64 codec;
  for (const auto& row : rows) {
    const std::u16string text = codec.EncodeArray64(Bytes(row.bytes, 0x41));
    EXPECT_EQ(text.size(), row.length) << row.bytes;
    EXPECT_EQ(text.ends_with(u"\r\n"), row.endsInBreak) << row.bytes;
    if (row.length > 76) {
      EXPECT_EQ(text.substr(76, 2), u"\r\n") << row.bytes;
    }
  }
}

TEST(Base64Encode, TextGoesThroughTheCodePage) {
  const Base64 codec;
  EXPECT_EQ(codec.Encode64(u"\u20AC"), u"gA==");    // euro sign is byte 80
  EXPECT_EQ(codec.Encode64(u"\u00A0"), u"oA==");    // no-break space is byte A0
  EXPECT_EQ(codec.Encode64(u"\u4E2D"), u"Pw==");    // outside the code page: "?"
  EXPECT_EQ(codec.Decode64(u"gA=="), u"\u20AC");
}

struct DecodeRow {
  const char* name;
  std::u16string input;
  Bytes expected;
};

TEST(Base64Decode, LenientReading) {
  const DecodeRow rows[] = {
      {"QQ==", u"QQ==", {0x41}},
      {"QQ=", u"QQ=", {0x41}},
      {"QQ", u"QQ", {0x41}},
      {"QUI", u"QUI", {0x41, 0x42}},
      {"Q=Q=", u"Q=Q=", {0x41}},
      {"QU CR LF JD", u"QU\r\nJD", {0x41, 0x42, 0x43}},
      {"QU LF JD", u"QU\nJD", {0x41, 0x40, 0x09}},
      {"Q", u"Q", {}},
      {"----", u"----", {0, 0, 0}},
      {"____", u"____", {0, 0, 0}},
      {"CR CR LF LF", u"\r\r\n\n", {0}},
      {"CR = LF", u"\r=\n", {0}},
      {"code 353 reads as a", u"\u0161\u0161\u0161\u0161", {0x69, 0xA6, 0x9A}},
      {"blanks count as A", u"QQ  ", {0x41, 0x00, 0x00}},
  };
  const Base64 codec;
  for (const auto& row : rows) EXPECT_EQ(codec.DecodeArray64(row.input), row.expected) << row.name;
}

TEST(Base64Decode, NothingLeftFails) {
  const Base64 codec;
  for (const std::u16string input : {u"=", u"==", u"\r\n", u"=\r\n=", u"\r\n\r\n===="}) {
    EXPECT_THROW(codec.DecodeArray64(input), Base64DecodeError);
    EXPECT_THROW(codec.Decode64(input), std::exception);
  }
}

TEST(Base64Decode, ZeroBytesStayInText) {
  const Base64 codec;
  EXPECT_EQ(codec.Decode64(u"----"), std::u16string(3, u'\0'));
  EXPECT_EQ(codec.Decode64(u"Q"), u"");
}

// Runs chained at random stopping points give what the whole text decodes to, on texts that are
// mostly long runs of values (decoded 32 at a time where the processor can) broken by the
// characters that need a closer look: CR LF, a lone CR or LF, "=", and characters whose low byte
// is one of those.
TEST(Base64Decode, ChainedRunsMatchTheWholeText) {
  static const char16_t kCloser[] = u"\r\n=\u010D\u010A\u013D";
  std::mt19937 rng(2026'12'08);
  const Base64 codec;
  for (int round = 0; round < 3000; ++round) {
    std::u16string text;
    for (std::size_t n = rng() % 300; text.size() < n;) {
      const unsigned pick = rng() % 64;
      if (pick == 0) text += kCloser[rng() % 6];
      else if (pick == 1) text += u"\r\n";
      else if (pick == 2) text += static_cast<char16_t>(rng());
      else text += AnsiToChar(static_cast<std::uint8_t>(rng()));  // any byte, in the alphabet or not
    }
    std::u16string whole, runs;
    try {
      whole = codec.Decode64(text);
    } catch (const Base64DecodeError&) {
    }
    Base64::DecodeRun run;
    do run = codec.Decode64Run(text, run.end, run.end + rng() % 200, runs);
    while (!run.atEnd);
    ASSERT_EQ(runs, whole) << "round " << round;
  }
}

TEST(Base64, LargeRandomRoundTrip) {
  const Base64 codec;
  const Bytes input = Sequence(100'003, 7);
  const std::u16string text = codec.EncodeArray64(input);
  EXPECT_EQ(text, BreakLines(ReferenceEncodeUnbroken(input)));
  EXPECT_EQ(codec.DecodeArray64(text), input);
  EXPECT_EQ(codec.Decode64(codec.Encode64(AnsiToText(input))), AnsiToText(input));
}

}  // namespace
}  // namespace calvexa
