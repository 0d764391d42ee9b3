#include "codepage.h"

#include <algorithm>
#include <array>

namespace calvexa {
namespace {

// Windows-1252 0x80-0x9F; the undefined five stand for themselves.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t AnsiToChar(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

std::uint8_t CharToAnsi(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<std::uint8_t>(ch);
  const auto* hit = std::find(kHighControls.begin(), kHighControls.end(), ch);
  if (hit == kHighControls.end()) return kAnsiReplacement;
  return static_cast<std::uint8_t>(0x80 + (hit - kHighControls.begin()));
}

// Both conversions run over whole megabyte texts: the common characters, which stand for
// themselves, are converted in place and only the rest looked up.
void TextToAnsi(std::u16string_view text, std::uint8_t* out) {
  // One look-up per character: decoded text holds the code page's other characters often, and
  // searching for them, or a branch on each, would cost several times the look-up.
  static const std::vector<std::uint8_t> kBytes = [] {
    std::vector<std::uint8_t> bytes(0x10000);
    for (std::size_t c = 0; c < bytes.size(); ++c) bytes[c] = CharToAnsi(static_cast<char16_t>(c));
    return bytes;
  }();
  const std::uint8_t* table = kBytes.data();
  const char16_t* in = text.data();
  for (std::size_t i = 0, n = text.size(); i < n; ++i) out[i] = table[in[i]];
}

void AnsiToText(std::span<const std::uint8_t> bytes, char16_t* out) {
  // One look-up per byte: decoded bytes are random, and a branch on each would miss often.
  static const std::array<char16_t, 256> kChars = [] {
    std::array<char16_t, 256> chars{};
    for (int b = 0; b < 256; ++b) chars[b] = AnsiToChar(static_cast<std::uint8_t>(b));
    return chars;
  }();
  for (std::size_t i = 0, n = bytes.size(); i < n; ++i) out[i] = kChars[bytes[i]];
}

void TextToAnsi(std::u16string_view text, std::vector<std::uint8_t>& bytes) {
  if (bytes.capacity() > 4 * text.size() + (std::size_t{1} << 20)) {
    bytes.clear();
    bytes.shrink_to_fit();
  }
  bytes.resize(text.size());
  TextToAnsi(text, bytes.data());
}

std::vector<std::uint8_t> TextToAnsi(const std::u16string& text) {
  std::vector<std::uint8_t> bytes(text.size());
  TextToAnsi(text, bytes.data());
  return bytes;
}

std::u16string AnsiToText(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size(), u'\0');
  AnsiToText(bytes, text.data());
  return text;
}

}  // namespace calvexa
