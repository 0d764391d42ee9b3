#include "base64.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codepage.h"

namespace calvexa {
namespace {

constexpr std::size_t kLineLength = 76;
constexpr std::size_t kBytesPerLine = kLineLength / 4 * 3;
constexpr char16_t kPad = u'=';
constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';

// Appends the Base64 of in[0, n) to out, from the start of a line: every group but the last is
// complete and the last is padded; when broken, every complete line ends with CR LF.
void AppendLines(const std::uint8_t (&t)[64], const std::uint8_t* in, std::size_t n, bool broken,
                 std::u16string& out) {
  if (n == 0) return;
  // Lines are encoded into a small buffer that stays in cache and appended to the result in
  // blocks: the result's memory is written once, never zero-filled first.
  constexpr std::size_t kBlockLines = 64;
  char16_t block[kBlockLines * (kLineLength + 2)];
  char16_t* o = block;
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
  if (broken && (i + 3) % kBytesPerLine == 0) {
    o[0] = kCR;
    o[1] = kLF;
    o += 2;
  }
  out.append(block, static_cast<std::size_t>(o - block));
}

// Reads the values of s[from, n), handing each complete group to put (oldest value in the high
// bits), and stops after the first complete group that ends at or after until.
struct Scan {
  std::size_t end = 0, values = 0;
  std::uint32_t group = 0;  // the leftover values at the text's end
  unsigned count = 0;
  bool atEnd = true;
};
// Whether a character's low byte is that of "=", CR or LF, which need a closer look.
constexpr auto kMaybeSkipped = [] {
  std::array<std::uint8_t, 256> flags{};
  flags[kPad] = flags[kCR] = flags[kLF] = 1;
  return flags;
}();

// Whether any of the eight characters at s is "=", CR or LF: compared side by side.
bool AnySkipped(const char16_t* s) {
  using Lanes = std::uint16_t __attribute__((vector_size(16)));
  constexpr Lanes kPads = {kPad, kPad, kPad, kPad, kPad, kPad, kPad, kPad};
  constexpr Lanes kCRs = {kCR, kCR, kCR, kCR, kCR, kCR, kCR, kCR};
  constexpr Lanes kLFs = {kLF, kLF, kLF, kLF, kLF, kLF, kLF, kLF};
  Lanes v;
  std::memcpy(&v, s, sizeof v);
  const auto hits = (v == kPads) | (v == kCRs) | (v == kLFs);
  std::uint64_t words[2];
  std::memcpy(words, &hits, sizeof words);
  return (words[0] | words[1]) != 0;
}

template <typename Put>
Scan ScanValues(const std::uint8_t (&table)[256], const char16_t* s, std::size_t n,
                std::size_t from, std::size_t until, Put put) {
  std::uint32_t group = 0;
  unsigned count = 0;
  std::size_t values = 0;
  std::size_t i = from;
  const auto groupAt = [&](std::size_t at) {
    return std::uint32_t{table[s[at] & 0xFF]} << 18 | std::uint32_t{table[s[at + 1] & 0xFF]} << 12 |
           std::uint32_t{table[s[at + 2] & 0xFF]} << 6 | table[s[at + 3] & 0xFF];
  };
  while (i < n) {
    // The common case: characters that are all values make whole groups at once, eight or
    // four at a time.
    while (count == 0 && n - i >= 8 && !AnySkipped(s + i)) {
      put(groupAt(i));
      values += 4;
      if ((i += 4) >= until) return {i, values, 0, 0, false};
      put(groupAt(i));
      values += 4;
      if ((i += 4) >= until) return {i, values, 0, 0, false};
    }
    if (count == 0 && n - i >= 4 &&
        !(kMaybeSkipped[s[i] & 0xFF] | kMaybeSkipped[s[i + 1] & 0xFF] |
          kMaybeSkipped[s[i + 2] & 0xFF] | kMaybeSkipped[s[i + 3] & 0xFF])) {
      put(groupAt(i));
      values += 4;
      if ((i += 4) >= until) return {i, values, 0, 0, false};
      continue;
    }
    if (i >= n) break;
    const char16_t c = s[i++];
    // CR LF pairs of the original text go in one left-to-right pass, so a pair that would only
    // come together once another is removed ("\r\r\n\n") stays and decodes as two zero values.
    if (c == kCR && i < n && s[i] == kLF) {
      ++i;
      continue;
    }
    if (c == kPad) continue;
    group = (group << 6) | table[c & 0xFF];
    ++values;
    if (++count == 4) {
      put(group);
      group = 0;
      count = 0;
      if (i >= until) return {i, values, 0, 0, false};
    }
  }
  return {n, values, group, count, true};
}

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
    AppendLines(bytEncodeTable, bytInput.data(), n, broken, out);
    return out;
  } catch (...) {
    return {};
  }
}

void Base64::Encode64Lines(std::u16string_view sInput, bool broken, std::u16string& out) const {
  // Converted a few lines at a time into a buffer that stays in cache: whole lines, so every
  // piece but the last starts and ends a line.
  constexpr std::size_t kPiece = 64 * kBytesPerLine;
  std::uint8_t bytes[kPiece];
  for (std::size_t i = 0; i < sInput.size(); i += kPiece) {
    const std::size_t n = std::min(kPiece, sInput.size() - i);
    TextToAnsi(sInput.substr(i, n), bytes);
    AppendLines(bytEncodeTable, bytes, n, broken, out);
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
  const Scan scan = ScanValues(bytDecodeTable, sInput.data(), n, 0, n + 1, [&](std::uint32_t group) {
    o[0] = static_cast<std::uint8_t>(group >> 16);
    o[1] = static_cast<std::uint8_t>(group >> 8);
    o[2] = static_cast<std::uint8_t>(group);
    o += 3;
  });
  if (scan.values == 0) throw Base64DecodeError();
  if (scan.count == 2) {
    *o++ = static_cast<std::uint8_t>(scan.group >> 4);
  } else if (scan.count == 3) {
    *o++ = static_cast<std::uint8_t>(scan.group >> 10);
    *o++ = static_cast<std::uint8_t>(scan.group >> 2);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

Base64::DecodeRun Base64::Decode64Run(std::u16string_view sInput, std::size_t from,
                                      std::size_t until, std::u16string& out) const {
  static const auto kChars = [] {
    std::array<char16_t, 256> chars{};
    for (int b = 0; b < 256; ++b) chars[b] = AnsiToChar(static_cast<std::uint8_t>(b));
    return chars;
  }();
  // Characters are decoded into a buffer that stays in cache and appended to out in blocks.
  constexpr std::size_t kBlock = 3 * 1024;
  char16_t chars[kBlock + 2];
  std::size_t used = 0;
  const Scan scan = ScanValues(bytDecodeTable, sInput.data(), sInput.size(), from, until,
                               [&](std::uint32_t group) {
                                 chars[used] = kChars[group >> 16];
                                 chars[used + 1] = kChars[(group >> 8) & 0xFF];
                                 chars[used + 2] = kChars[group & 0xFF];
                                 if ((used += 3) == kBlock) {
                                   out.append(chars, used);
                                   used = 0;
                                 }
                               });
  if (scan.count == 2) {
    chars[used++] = kChars[(scan.group >> 4) & 0xFF];
  } else if (scan.count == 3) {
    chars[used++] = kChars[(scan.group >> 10) & 0xFF];
    chars[used++] = kChars[(scan.group >> 2) & 0xFF];
  }
  out.append(chars, used);
  return {scan.end, scan.values, scan.atEnd};
}

}  // namespace calvexa
