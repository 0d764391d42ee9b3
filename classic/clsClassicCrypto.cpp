#include "clsClassicCrypto.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "codepage.h"

namespace calvexa {
namespace {

// Raised inside a method to end it the way the original's error handler did.
struct Failure {};

constexpr std::int32_t kBufferStep = 1024;

// The original kept positions and counters in 16-bit (and some in 32-bit) integers whose
// range was checked: a value outside the range was an error, never a wrapped value. Every such
// value is computed in 64 bits and narrowed here.
std::int16_t Int16(std::int64_t value) {
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max()) {
    throw Failure{};
  }
  return static_cast<std::int16_t>(value);
}

std::int32_t Int32(std::int64_t value) {
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw Failure{};
  }
  return static_cast<std::int32_t>(value);
}

// A loop with a 16-bit counter: the limit is taken as a 16-bit value on entry, and the step
// after the last pass must still fit, so a loop that runs up to 32767 fails after its last pass.
template <typename Body>
void For16(std::int64_t first, std::int64_t last, std::int64_t step, Body&& body) {
  const std::int64_t limit = Int16(last);
  for (std::int64_t i = Int16(first); step > 0 ? i <= limit : i >= limit; i = Int16(i + step)) {
    body(i);
  }
}

// A loop with a 32-bit counter from 1 to count fails the same way at the top of its range.
void CheckCount32(std::size_t count) {
  if (count >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) throw Failure{};
}

// The character of a code, as the original's Chr: only 0 to 255 are codes.
char16_t CharOfCode(std::int64_t code) {
  if (code < 0 || code > 255) throw Failure{};
  return AnsiToChar(static_cast<std::uint8_t>(code));
}

std::u16string_view One(const char16_t& ch) { return {&ch, 1}; }

// The numeric value of one character as the original read it: a decimal digit is its value,
// anything else 0.
int DigitValue(char16_t ch) { return ch >= u'0' && ch <= u'9' ? ch - u'0' : 0; }

int HexDigitValue(char16_t ch) {
  if (ch >= u'0' && ch <= u'9') return ch - u'0';
  if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
  if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
  return -1;
}

bool IsBlank(char16_t ch) { return ch == u' ' || ch == u'\t' || ch == u'\n'; }

// Does converting to lower case change the character? Exact for the code page's characters
// (A-Z, the accented capitals, Š, Œ, Ž, Ÿ). Any other character has code 63 ('?'), which both
// Caesar rules shift alike, so only those whose case differs both ways matter (below).
bool LowerCaseChanges(char16_t ch) {
  return (ch >= u'A' && ch <= u'Z') || (ch >= u'\u00C0' && ch <= u'\u00DE' && ch != u'\u00D7') ||
         ch == u'\u0160' || ch == u'\u0152' || ch == u'\u017D' || ch == u'\u0178' ||
         ch == u'\u01C5' || ch == u'\u01C8' || ch == u'\u01CB' || ch == u'\u01F2';
}

// The title-case digraphs (Dž, Lj, Nj, Dz) change in both directions and match neither rule.
bool UpperCaseChanges(char16_t ch) {
  return ch == u'\u01C5' || ch == u'\u01C8' || ch == u'\u01CB' || ch == u'\u01F2';
}

// u times 19, rounded to the nearest integer with ties to even, as the original's CInt did.
int RoundHalfEven(double x) {
  const double whole = std::floor(x);
  const double fraction = x - whole;
  int result = static_cast<int>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0)) ++result;
  return result;
}

// The shift of a code text: the codes of its first, middle and last characters, summed in 16
// bits, divided by 6 and rounded half up. 0 when the code is empty or the sum is at most 2.
int ShiftOfCode(const std::u16string& EncryptCode) {
  if (EncryptCode.empty()) return 0;
  const std::size_t length = EncryptCode.size();
  const std::size_t middle = (length + 1) / 2;  // L / 2 rounded half up, from 1
  const std::int16_t sum = Int16(std::int64_t{CharToAnsi(EncryptCode.front())} +
                                 CharToAnsi(EncryptCode.back()) +
                                 CharToAnsi(EncryptCode[middle - 1]));
  return (sum + 3) / 6;
}

int ShiftFromText(const std::u16string& text) {
  int shift = 0;
  for (char16_t ch : text) shift = shift * 10 + DigitValue(ch);
  return shift;
}

std::u16string TrimSpaces(std::u16string text) {
  const std::size_t first = text.find_first_not_of(u' ');
  if (first == std::u16string::npos) return {};
  const std::size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

// The two steps both Pig Latin methods share: count the spaces, letting the window process its
// events once per space and once more at the end, then split at every single space. The count
// and the search position are 16-bit: the position one past a word's space must fit.
template <typename ProcessEventsFn>
std::vector<std::u16string_view> SplitAtSpaces(const std::u16string& Text,
                                               ProcessEventsFn&& processEvents) {
  std::int16_t count = 0;
  std::size_t start = 0;
  for (;;) {
    processEvents();
    const std::size_t found = Text.find(u' ', start);
    if (found == std::u16string::npos) break;
    Int16(static_cast<std::int64_t>(found - start) + 2);
    start = found + 1;
    count = Int16(std::int64_t{count} + 1);
  }
  // An empty text splits into no word at all.
  if (Text.empty()) throw Failure{};
  std::vector<std::u16string_view> words;
  words.reserve(static_cast<std::size_t>(count) + 1);
  const std::u16string_view all(Text);
  start = 0;
  for (;;) {
    const std::size_t found = all.find(u' ', start);
    if (found == std::u16string_view::npos) break;
    words.push_back(all.substr(start, found - start));
    start = found + 1;
  }
  words.push_back(all.substr(start));
  return words;
}

std::mt19937_64 SeededGenerator() noexcept {
  try {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device()};
    return std::mt19937_64(seed);
  } catch (...) {
    // No entropy source on this system: the clock still differs from one object to the next.
    return std::mt19937_64(
        static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  }
}

}  // namespace

clsClassicCrypto::clsClassicCrypto() noexcept
    : BitValue{1, 2, 4, 8, 16, 32, 64, 128}, Random(SeededGenerator()) {}

void clsClassicCrypto::SetProcessEventsHook(std::function<void()> hook) {
  ProcessEventsHook = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
}

void clsClassicCrypto::ProcessEvents() {
  // The running hook holds its own reference: one that replaces or clears itself lives on until
  // it returns, and the new hook is called from the next turn on.
  const std::shared_ptr<const std::function<void()>> hook = ProcessEventsHook;
  if (hook) (*hook)();
}

double clsClassicCrypto::NextUniform() {
  // The top 53 bits as a fraction: uniform in [0, 1), never 1.
  return static_cast<double>(Random() >> 11) * 0x1.0p-53;
}

void clsClassicCrypto::ResetBuffer() {
  BufferLength = 0;
  BufferSize = kBufferStep;
  Buffer.assign(static_cast<std::size_t>(BufferSize) + 1, 0);  // in the storage it has, if it is enough
}

void clsClassicCrypto::AppendToBuffer(std::u16string_view Piece) {
  const std::int64_t n = static_cast<std::int64_t>(Piece.size());
  const std::int32_t needed = Int32(std::int64_t{BufferLength} + n);
  if (needed > BufferSize) {
    // The capacity grows in steps of 1024 until the piece fits, as it always has. The storage
    // behind it grows geometrically, so a long result costs linear time, not one copy of the
    // whole buffer per step.
    const std::int64_t steps = (std::int64_t{needed} - BufferSize + kBufferStep - 1) / kBufferStep;
    BufferSize = Int32(BufferSize + steps * kBufferStep);
    const std::size_t slots = static_cast<std::size_t>(BufferSize) + 1;
    if (slots > Buffer.capacity()) Buffer.reserve(std::max(slots, 2 * Buffer.capacity()));
    Buffer.resize(slots, 0);
  }
  TextToAnsi(Piece, Buffer.data() + BufferLength);
  BufferLength = needed;
}

std::u16string clsClassicCrypto::BufferText() const {
  return AnsiToText(std::span<const std::uint8_t>(Buffer.data(), static_cast<std::size_t>(BufferLength)));
}

std::u16string clsClassicCrypto::TakeBufferText() {
  std::u16string text = BufferText();
  ResetBuffer();
  return text;
}

template <typename Work>
std::u16string clsClassicCrypto::WithBuffer(Work&& work) noexcept {
  // A call from inside the process-events hook gets a buffer of its own: the buffer of the call
  // in progress is set aside and handed back as it was (moves cannot fail). The storage a
  // finished call built in is kept for the next one.
  std::vector<std::uint8_t> outer = std::exchange(Buffer, std::move(Spare));
  const std::int32_t outerLength = std::exchange(BufferLength, 0);
  const std::int32_t outerSize = std::exchange(BufferSize, 0);
  std::u16string result;
  try {
    result = work();
  } catch (...) {
    result.clear();
  }
  Spare = std::exchange(Buffer, std::move(outer));
  BufferLength = outerLength;
  BufferSize = outerSize;
  return result;
}

std::u16string clsClassicCrypto::Ascii2Binary(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    ResetBuffer();
    const std::int16_t n = Int16(static_cast<std::int64_t>(Text.size()));
    For16(1, n, 1, [&](std::int64_t i) {
      const std::int16_t c = CharToAnsi(Text[static_cast<std::size_t>(i - 1)]);
      std::int16_t acc = 0;
      for (int bit = 7; bit >= 0; --bit) {
        if (c - acc >= BitValue[bit]) {
          AppendToBuffer(u"1");
          acc = Int16(std::int64_t{acc} + BitValue[bit]);
        } else {
          AppendToBuffer(u"0");
        }
      }
    });
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::HexDecode(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    ResetBuffer();
    for (std::size_t i = 0; i < Text.size(); i += 2) {
      const std::size_t end = std::min(i + 2, Text.size());
      int value = 0;
      for (std::size_t j = i; j < end; ++j) {
        if (IsBlank(Text[j])) continue;
        const int digit = HexDigitValue(Text[j]);
        if (digit < 0) break;
        value = value * 16 + digit;
      }
      AppendToBuffer(One(CharOfCode(value)));
    }
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::HexEncode(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    ResetBuffer();
    for (char16_t ch : Text) {
      const std::uint8_t code = CharToAnsi(ch);
      const char16_t h[2] = {kDigits[code >> 4], kDigits[code & 0xF]};
      AppendToBuffer(std::u16string_view(h, 2));
    }
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::Binary2Ascii(const std::u16string& BinaryText) noexcept {
  try {
    // Groups: length / 8 rounded half to even, so a last group of 5-7 digits counts, one of
    // 1-3 does not, and one of exactly 4 only after an odd number of whole groups.
    const std::int64_t length = static_cast<std::int64_t>(BinaryText.size());
    const std::int64_t whole = length / 8;
    const std::int64_t rest = length % 8;
    const std::int16_t groups = Int16(whole + ((rest > 4 || (rest == 4 && whole % 2 != 0)) ? 1 : 0));
    std::u16string result;
    result.reserve(static_cast<std::size_t>(groups));
    For16(1, groups, 1, [&](std::int64_t g) {
      std::int16_t value = 0;
      for (int k = 1; k <= 8; ++k) {
        const std::int16_t p = Int16(Int16(8 * (g - 1)) + k);
        const int digit = p <= length ? DigitValue(BinaryText[static_cast<std::size_t>(p - 1)]) : 0;
        value = Int16(value + Int16(std::int64_t{digit} * BitValue[8 - k]));
      }
      result.push_back(CharOfCode(value));
    });
    return result;
  } catch (...) {
    return {};
  }
}

std::u16string clsClassicCrypto::ReverseString(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    ResetBuffer();
    const std::int16_t n = Int16(static_cast<std::int64_t>(Text.size()));
    For16(n, 1, -1, [&](std::int64_t i) { AppendToBuffer(One(Text[static_cast<std::size_t>(i - 1)])); });
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::CaesarShift(const std::u16string& Text,
                                             std::int16_t& Difference) noexcept {
  // Reduced before anything can fail, and left reduced in the caller's variable.
  if (Difference > 26) Difference = static_cast<std::int16_t>((Difference - 1) % 26 + 1);
  const std::int16_t difference = Difference;
  return WithBuffer([&] {
    ResetBuffer();
    const std::int16_t n = Int16(static_cast<std::int64_t>(Text.size()));
    For16(1, n, 1, [&](std::int64_t i) {
      const char16_t ch = Text[static_cast<std::size_t>(i - 1)];
      const std::int16_t c = CharToAnsi(ch);
      if (ch == u' ') {
        AppendToBuffer(u" ");
      } else if (!LowerCaseChanges(ch)) {
        // Everything without an upper-case form: lower-case letters, but also digits and
        // symbols, which are shifted and wrapped at 'z' just the same.
        const std::int16_t v = Int16(std::int64_t{c} + difference);
        AppendToBuffer(One(CharOfCode(v > 122 ? v - 26 : v)));
      } else if (!UpperCaseChanges(ch)) {
        const std::int16_t v = Int16(std::int64_t{c} + difference);
        AppendToBuffer(One(CharOfCode(v > 90 ? v - 26 : v)));
      }
    });
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::Ascii2Transposition(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    ResetBuffer();
    const std::int64_t length = static_cast<std::int64_t>(Text.size());
    const std::int16_t half = Int16((length + 1) / 2);
    const std::int16_t pairs = Int16(length / 2);
    For16(1, pairs, 1, [&](std::int64_t i) {
      AppendToBuffer(One(Text[static_cast<std::size_t>(i - 1)]));
      AppendToBuffer(One(Text[static_cast<std::size_t>(Int16(i + half) - 1)]));
    });
    if (length % 2 != 0) AppendToBuffer(One(Text[static_cast<std::size_t>(half - 1)]));
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::Transposition2Ascii(const std::u16string& Text) noexcept {
  return WithBuffer([&] {
    ResetBuffer();
    const std::int64_t length = static_cast<std::int64_t>(Text.size());
    For16(1, length, 2, [&](std::int64_t i) { AppendToBuffer(One(Text[static_cast<std::size_t>(i - 1)])); });
    For16(2, length, 2, [&](std::int64_t i) { AppendToBuffer(One(Text[static_cast<std::size_t>(i - 1)])); });
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::Ascii2PigLatin(const std::u16string& Text) noexcept {
  try {
    // The hook may change or free the caller's string; the words are views into this copy.
    const std::u16string text = Text;
    const auto words = SplitAtSpaces(text, [this] { ProcessEvents(); });
    std::u16string result;
    result.reserve(text.size() + 3 * words.size());
    For16(0, static_cast<std::int64_t>(words.size()) - 1, 1, [&](std::int64_t w) {
      const std::u16string_view word = words[static_cast<std::size_t>(w)];
      // All but the first character of an empty word is a negative length.
      if (word.empty()) throw Failure{};
      result.append(word.substr(1));
      result.push_back(word.front());
      result.append(u"ay ");
    });
    return TrimSpaces(std::move(result));
  } catch (...) {
    return {};
  }
}

std::u16string clsClassicCrypto::PigLatin2Ascii(const std::u16string& Text) noexcept {
  try {
    const std::u16string text = Text;  // see Ascii2PigLatin
    const auto words = SplitAtSpaces(text, [this] { ProcessEvents(); });
    std::u16string result;
    result.reserve(text.size());
    For16(0, static_cast<std::int64_t>(words.size()) - 1, 1, [&](std::int64_t w) {
      const std::u16string_view word = words[static_cast<std::size_t>(w)];
      // Dropping the last two characters, then taking all but the last of what is left, asks
      // for a negative length below three characters.
      if (word.size() < 3) throw Failure{};
      const std::u16string_view shortened = word.substr(0, word.size() - 2);
      result.push_back(shortened.back());
      result.append(shortened.substr(0, shortened.size() - 1));
      result.push_back(u' ');
    });
    return TrimSpaces(std::move(result));
  } catch (...) {
    return {};
  }
}

std::u16string clsClassicCrypto::CodeShift(const std::u16string& EncryptCode) noexcept {
  try {
    const int shift = ShiftOfCode(EncryptCode);
    // A shift that rounds to 0 formats as nothing, which reads back as 0.
    if (shift == 0) return {};
    char digits[4];
    const auto end = std::to_chars(digits, digits + sizeof digits, shift).ptr;
    return std::u16string(digits, end);
  } catch (...) {
    return {};
  }
}

std::u16string clsClassicCrypto::Ascii2Random(const std::u16string& CustomValue,
                                              const std::u16string& EncryptCode) noexcept {
  return WithBuffer([&] {
    // EncryptCode is read whole before the first turn of the hook, which may change or free
    // the caller's strings; the text is walked in a copy of its own.
    const int shift = ShiftFromText(CodeShift(EncryptCode));
    const std::u16string text = CustomValue;
    ResetBuffer();
    CheckCount32(text.size());
    for (char16_t ch : text) {
      ProcessEvents();
      const std::int16_t v = Int16(std::int64_t{CharToAnsi(ch)} + shift);
      const char16_t digits[3] = {static_cast<char16_t>(u'0' + v / 100),
                                  static_cast<char16_t>(u'0' + v / 10 % 10),
                                  static_cast<char16_t>(u'0' + v % 10)};
      AppendToBuffer(std::u16string_view(digits, 3));
    }
    const std::u16string digitText = TakeBufferText();
    CheckCount32(digitText.size());
    for (char16_t digit : digitText) {
      ProcessEvents();
      const int d = DigitValue(digit);
      const int r = RoundHalfEven(NextUniform() * 19);
      AppendToBuffer(One(CharOfCode(55 + 20 * d + r)));
    }
    return TakeBufferText();
  });
}

std::u16string clsClassicCrypto::Random2Ascii(std::u16string CustomValue,
                                              std::u16string EncryptCode) noexcept {
  return WithBuffer([&] {
    const int shift = ShiftOfCode(EncryptCode);
    std::u16string digitText;
    digitText.reserve(CustomValue.size());
    CheckCount32(CustomValue.size());
    for (char16_t ch : CustomValue) {
      ProcessEvents();
      const int v = CharToAnsi(ch);
      // Codes 0-54 and 255 belong to no digit's band.
      if (v < 55 || v >= 255) throw Failure{};
      digitText.push_back(static_cast<char16_t>(u'0' + (v - 55) / 20));
    }
    ResetBuffer();
    CheckCount32(digitText.size());
    for (std::size_t i = 0; i < digitText.size(); i += 3) {
      ProcessEvents();
      std::int16_t n = 0;
      for (std::size_t j = i; j < std::min(i + 3, digitText.size()); ++j) {
        n = Int16(std::int64_t{n} * 10 + DigitValue(digitText[j]));
      }
      const int c = std::abs(n - shift);
      if (c > 255) throw Failure{};
      AppendToBuffer(One(CharOfCode(c)));
    }
    return TakeBufferText();
  });
}

}  // namespace calvexa
