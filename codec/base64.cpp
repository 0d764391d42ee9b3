#include "base64.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codepage.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define CALVEXA_WIDE_DECODE 1
#endif

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

// out.append(s, n) a few hundred characters at a time. Copies that size are done with vector
// moves; a larger one is done with the string instructions, which on some processors take
// nearly twice as long to write a large result (9 ms instead of 5 for 94 MB here).
void AppendInPieces(std::u16string& out, const char16_t* s, std::size_t n) {
  constexpr std::size_t kPiece = 256;
  for (; n > kPiece; s += kPiece, n -= kPiece) out.append(s, kPiece);
  out.append(s, n);
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

#if CALVEXA_WIDE_DECODE
#define CALVEXA_AVX2 __attribute__((target("avx2")))

// Decoding with AVX2 the runs that make up nearly all of a large Base64 text: 32 values with at
// most one CR LF among them (a text broken into lines of 76). The constants are made once for a
// whole run of blocks and stay in registers or in cache.
class WideDecoder {
 public:
  CALVEXA_AVX2 WideDecoder() {
    // Windows-1252 0x80-0x9F by their low four bits, the halves of the characters apart.
    std::uint8_t t[4][32];  // low 0x80-0x8F, low 0x90-0x9F, high ..., high ...
    for (int b = 0; b < 32; ++b) {
      const char16_t c = AnsiToChar(static_cast<std::uint8_t>(0x80 + b));
      t[b / 16][b % 16] = t[b / 16][16 + b % 16] = static_cast<std::uint8_t>(c);
      t[2 + b / 16][b % 16] = t[2 + b / 16][16 + b % 16] = static_cast<std::uint8_t>(c >> 8);
    }
    for (int k = 0; k < 4; ++k) highHalves[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t[k]));
  }

  // Decodes such blocks of eight whole groups from s[0, n), at most `blocks` of them, while they
  // come, writing 24 characters for each at out (and scribbling up to 4 more after them).
  // Returns the blocks decoded; `read` is the characters they took.
  CALVEXA_AVX2 std::size_t Decode(const char16_t* s, std::size_t n, char16_t* out,
                                  std::size_t blocks, std::size_t& read) const {
    const char16_t* const start = s;
    std::size_t done = 0;
    for (; done < blocks && n >= 32; ++done, out += 24) {
      __m256i a = Load(s), b = Load(s + 16);
      __m256i x = LowBytes(a, b);
      // The low bytes flag "=", CR and LF, and the characters that only share a low byte with
      // one (those go the careful way). A block whose only flags are one CR LF pair (or its CR
      // alone, last) takes the values before it, then those after it, two characters on.
      if (const std::uint32_t hits = HitsOf(x)) {
        const auto k = static_cast<unsigned>(__builtin_ctz(hits));
        if (hits != 3u << k || n < 34 || s[k] != kCR || s[k + 1] != kLF) break;
        const __m256i before = _mm256_set1_epi16(static_cast<short>(k));
        a = _mm256_blendv_epi8(Load(s + 2), a, _mm256_cmpgt_epi16(before, lanes));
        b = _mm256_blendv_epi8(Load(s + 18), b, _mm256_cmpgt_epi16(before, lanesAfter));
        x = LowBytes(a, b);
        if (HitsOf(x) != 0) break;
        s += 2;
        n -= 2;
      }
      Block(x, out);
      s += 32;
      n -= 32;
    }
    read = static_cast<std::size_t>(s - start);
    return done;
  }

 private:
  static CALVEXA_AVX2 __m256i Load(const char16_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }

  // The low bytes of the 32 characters in a and b, in order (the pack interleaves the lanes).
  CALVEXA_AVX2 __m256i LowBytes(__m256i a, __m256i b) const {
    return _mm256_permute4x64_epi64(
        _mm256_packus_epi16(_mm256_and_si256(a, lowBytes), _mm256_and_si256(b, lowBytes)), 0xD8);
  }

  // Where the low bytes x are those of "=", CR or LF: bit k for the character at k.
  CALVEXA_AVX2 std::uint32_t HitsOf(__m256i x) const {
    const __m256i hits = _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(x, crByte), _mm256_cmpeq_epi8(x, lfByte)),
                                         _mm256_cmpeq_epi8(x, padByte));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
  }

  // One of the halves of the characters for 0x80-0x9F, from the table for 0x80-0x8F or the one
  // for 0x90-0x9F by the low four bits.
  static CALVEXA_AVX2 __m256i Look(const __m256i* tables, __m256i index, __m256i second) {
    return _mm256_blendv_epi8(_mm256_shuffle_epi8(tables[0], index),
                              _mm256_shuffle_epi8(tables[1], index), second);
  }

  // Decodes the 32 values whose characters have the low bytes x (a character outside the
  // alphabet counts as 0, as in the table) and writes their 24 characters at out, with up to 4
  // more scribbled after them.
  CALVEXA_AVX2 void Block(__m256i x, char16_t* out) const {
    // Values by the two halves of each byte: the high half says which range of the alphabet it
    // may be in and its offset there, the low half whether it is inside that range.
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(x, 4), lowNibble);
    const __m256i low = _mm256_and_si256(x, lowNibble);
    const __m256i outside = _mm256_cmpeq_epi8(
        _mm256_and_si256(_mm256_shuffle_epi8(rangesOfLow, low), _mm256_shuffle_epi8(rangeOfHigh, high)),
        _mm256_setzero_si256());
    // "+" and "/" share a high half: "/" is 3 nearer.
    const __m256i offset = _mm256_add_epi8(_mm256_shuffle_epi8(offsetOfHigh, high),
                                           _mm256_and_si256(_mm256_cmpeq_epi8(x, slashSign), minusThree));
    const __m256i values = _mm256_andnot_si256(outside, _mm256_add_epi8(x, offset));
    // Four values of six bits to one group of 24 (pairs, then pairs of pairs), its three bytes
    // first to last in twelve bytes of each lane.
    const __m256i pairs = _mm256_maddubs_epi16(values, pairWeights);
    const __m256i y = _mm256_shuffle_epi8(_mm256_madd_epi16(pairs, groupWeights), groupBytes);
    // The bytes as characters: themselves, except 0x80-0x9F from the table.
    const __m256i in80 = _mm256_cmpeq_epi8(_mm256_and_si256(y, highMask), highBits);
    const __m256i index = _mm256_and_si256(y, lowNibble);
    const __m256i second = _mm256_cmpeq_epi8(_mm256_and_si256(y, secondBit), secondBit);
    const __m256i lowHalf = _mm256_blendv_epi8(y, Look(highHalves, index, second), in80);
    const __m256i highHalf = _mm256_and_si256(Look(highHalves + 2, index, second), in80);
    const __m256i first8 = _mm256_unpacklo_epi8(lowHalf, highHalf);
    const __m256i next8 = _mm256_unpackhi_epi8(lowHalf, highHalf);
    // Each lane holds twelve characters: eight, then four (and four to be overwritten).
    const auto at = [out](std::size_t i) { return reinterpret_cast<__m128i*>(out + i); };
    _mm_storeu_si128(at(0), _mm256_castsi256_si128(first8));
    _mm_storeu_si128(at(8), _mm256_castsi256_si128(next8));
    _mm_storeu_si128(at(12), _mm256_extracti128_si256(first8, 1));
    _mm_storeu_si128(at(20), _mm256_extracti128_si256(next8, 1));
  }

  static CALVEXA_AVX2 __m256i Bytes(int c) { return _mm256_set1_epi8(static_cast<char>(c)); }
  // The same sixteen bytes in both lanes, for a lookup by the low four bits of each byte.
  template <typename... Byte>
  static CALVEXA_AVX2 __m256i Lanes(Byte... b) {
    const __m128i half = _mm_setr_epi8(static_cast<char>(b)...);
    return _mm256_set_m128i(half, half);
  }

  const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i lanesAfter = _mm256_add_epi16(lanes, _mm256_set1_epi16(16));
  const __m256i lowBytes = _mm256_set1_epi16(0xFF);
  const __m256i crByte = Bytes(kCR), lfByte = Bytes(kLF), padByte = Bytes(kPad);
  const __m256i slashSign = Bytes('/'), minusThree = Bytes(-3);
  // By the high half of a byte: its range of the alphabet ("+" and "/", digits, A-O and a-o,
  // P-Z and p-z) as one bit, and the offset from the byte to its value ('+' for the first).
  const __m256i rangeOfHigh = Lanes(0, 0, 1, 2, 4, 8, 4, 8, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i offsetOfHigh = Lanes(0, 0, 62 - '+', 52 - '0', -'A', -'A', 26 - 'a', 26 - 'a', 0, 0, 0, 0, 0, 0, 0, 0);
  // By the low half: the ranges it is inside of.
  const __m256i rangesOfLow = Lanes(2 | 8, 2 | 4 | 8, 2 | 4 | 8, 2 | 4 | 8, 2 | 4 | 8, 2 | 4 | 8, 2 | 4 | 8, 2 | 4 | 8,
                                    2 | 4 | 8, 2 | 4 | 8, 4 | 8, 1 | 4, 4, 4, 4, 1 | 4);
  const __m256i pairWeights = _mm256_set1_epi32(0x01400140), groupWeights = _mm256_set1_epi32(0x00011000);
  const __m256i groupBytes = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1,
                                              2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i highMask = Bytes(0xE0), highBits = Bytes(0x80), lowNibble = Bytes(0x0F), secondBit = Bytes(0x10);
  __m256i highHalves[4];
};

// The decoder where the processor has AVX2, or none.
const WideDecoder* Wide() {
  if (!__builtin_cpu_supports("avx2")) return nullptr;
  static const WideDecoder decoder;
  return &decoder;
}
#endif
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
  // The careful way decodes into a buffer that stays in cache, appended to out in blocks.
  constexpr std::size_t kBlock = 3 * 1024;
  char16_t chars[kBlock + 32];
  std::size_t used = 0;
  const auto flush = [&] {
    AppendInPieces(out, chars, used);
    used = 0;
  };
  const auto put = [&](std::uint32_t group) {
    chars[used] = kChars[group >> 16];
    chars[used + 1] = kChars[(group >> 8) & 0xFF];
    chars[used + 2] = kChars[group & 0xFF];
    if ((used += 3) > kBlock - 3) flush();
  };
  const char16_t* s = sInput.data();
  const std::size_t n = sInput.size();
#if CALVEXA_WIDE_DECODE
  const WideDecoder* const wide = Wide();
#else
  constexpr bool wide = false;
#endif
  std::size_t at = from, values = 0;
  for (;;) {
#if CALVEXA_WIDE_DECODE
    // Whole blocks while they come, written straight into out (lengthened for a stretch of
    // them, zero-filled while it is in cache, and cut back to what they wrote), then one group
    // the careful way past what stopped them; a block ends on a group, and the last one ends at
    // or before until.
    if (wide && at < until) flush();
    while (wide && at < until) {
      const std::size_t left = std::min(n, until) - at;
      const std::size_t stretch = std::min<std::size_t>(128, left / 32);
      if (stretch == 0) break;
      const std::size_t size = out.size();
      out.resize(size + 24 * stretch + 4);  // the last block scribbles up to 4 more
      std::size_t read = 0;
      const std::size_t blocks = wide->Decode(s + at, left, out.data() + size, stretch, read);
      out.resize(size + 24 * blocks);
      at += read;
      values += 32 * blocks;
      if (blocks < stretch) break;
    }
    if (at >= until) break;
#endif
    // Past what stopped the blocks (the wide way is tried again a block on).
    const Scan scan = ScanValues(bytDecodeTable, s, n, at, wide ? std::min(until, at + 32) : until, put);
    at = scan.end;
    values += scan.values;
    if (scan.atEnd) {
      if (scan.count == 2) {
        chars[used++] = kChars[(scan.group >> 4) & 0xFF];
      } else if (scan.count == 3) {
        chars[used++] = kChars[(scan.group >> 10) & 0xFF];
        chars[used++] = kChars[(scan.group >> 2) & 0xFF];
      }
      flush();
      return {n, values, true};
    }
    if (at >= until) break;
  }
  flush();
  return {at, values, false};
}

}  // namespace calvexa
