#include "base64.h"

#include <algorithm>
#include <cstring>

#include "codepage.h"

namespace calvexa {
namespace {

constexpr std::size_t kLineLength = 76;
constexpr std::size_t kBytesPerLine = kLineLength / 4 * 3;
constexpr char16_t kPad = u'=';
constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';

}  // namespace

Base64::Base64() : bytDecodeTable{} {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) {
    bytEncodeTable[i] = static_cast<std::uint8_t>(kAlphabet[i]);
    bytDecodeTable[bytEncodeTable[i]] = static_cast<std::uint8_t>(i);
  }
}

std::u16string Base64::Encode64(const std::u16string& sInput) const {
  if (sInput.empty()) return {};
  return EncodeArray64(TextToAnsi(sInput));
}

std::u16string Base64::EncodeArray64(const std::vector<std::uint8_t>& bytInput) const noexcept {
  try {
    const std::size_t n = bytInput.size();
    if (n == 0) return {};
    const std::size_t chars = (n + 2) / 3 * 4;
    // Only a text longer than one line is broken; then every complete line gets its CR LF.
    const bool broken = chars > kLineLength;
    std::u16string out;
    out.reserve(chars + (broken ? 2 * (chars / kLineLength) : 0));

    // Lines are encoded into a small buffer that stays in cache and appended to the reserved
    // result in blocks: the result's memory is written once, never zero-filled first.
    constexpr std::size_t kBlockLines = 64;
    char16_t block[kBlockLines * (kLineLength + 2)];
    char16_t* o = block;
    const std::uint8_t* in = bytInput.data();
    const auto& t = bytEncodeTable;
    // Every group but the last is complete; the last is handled apart even when it is complete.
    const std::size_t lastGroup = (n - 1) / 3 * 3;
    std::size_t i = 0;
    while (i < lastGroup) {
      const std::size_t lineEnd = std::min(lastGroup, i + kBytesPerLine);
      for (; i < lineEnd; i += 3) {
        const unsigned b0 = in[i], b1 = in[i + 1], b2 = in[i + 2];
        o[0] = t[b0 >> 2];
        o[1] = t[((b0 & 3) << 4) | (b1 >> 4)];
        o[2] = t[((b1 & 15) << 2) | (b2 >> 6)];
        o[3] = t[b2 & 63];
        o += 4;
      }
      if (broken && i % kBytesPerLine == 0) {
        o[0] = kCR;
        o[1] = kLF;
        o += 2;
      }
      if (o - block > static_cast<std::ptrdiff_t>((kBlockLines - 1) * (kLineLength + 2))) {
        out.append(block, static_cast<std::size_t>(o - block));
        o = block;
      }
    }
    const unsigned b0 = in[i];
    const unsigned b1 = n - i > 1 ? in[i + 1] : 0;
    const unsigned b2 = n - i > 2 ? in[i + 2] : 0;
    o[0] = t[b0 >> 2];
    o[1] = t[((b0 & 3) << 4) | (b1 >> 4)];
    o[2] = n - i > 1 ? t[((b1 & 15) << 2) | (b2 >> 6)] : kPad;
    o[3] = n - i > 2 ? t[b2 & 63] : kPad;
    o += 4;
    if (broken && chars % kLineLength == 0) {
      o[0] = kCR;
      o[1] = kLF;
      o += 2;
    }
    out.append(block, static_cast<std::size_t>(o - block));
    return out;
  } catch (...) {
    return {};
  }
}

std::u16string Base64::Decode64(const std::u16string& sInput) const {
  if (sInput.empty()) return {};
  return AnsiToText(DecodeArray64(sInput));
}

std::vector<std::uint8_t> Base64::DecodeArray64(const std::u16string& sInput) const {
  const std::size_t n = sInput.size();
  std::vector<std::uint8_t> out(n / 4 * 3 + 2);
  std::uint8_t* o = out.data();
  const char16_t* s = sInput.data();
  std::uint32_t group = 0;  // up to four 6-bit values, oldest in the high bits
  unsigned count = 0;
  std::size_t values = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = s[i];
    // CR LF pairs of the original text go in one left-to-right pass, so a pair that would only
    // come together once another is removed ("\r\r\n\n") stays and decodes as two zero values.
    if (c == kCR && i + 1 < n && s[i + 1] == kLF) {
      ++i;
      continue;
    }
    if (c == kPad) continue;
    group = (group << 6) | bytDecodeTable[c & 0xFF];
    ++values;
    if (++count == 4) {
      o[0] = static_cast<std::uint8_t>(group >> 16);
      o[1] = static_cast<std::uint8_t>(group >> 8);
      o[2] = static_cast<std::uint8_t>(group);
      o += 3;
      group = 0;
      count = 0;
    }
  }
  if (values == 0) throw Base64DecodeError();
  if (count == 2) {
    *o++ = static_cast<std::uint8_t>(group >> 4);
  } else if (count == 3) {
    *o++ = static_cast<std::uint8_t>(group >> 10);
    *o++ = static_cast<std::uint8_t>(group >> 2);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace calvexa
