#include "numtext.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "codepage.h"

namespace calvexa {
namespace {

constexpr int kEnd = -1;  // what a reader sees past the last character

constexpr int kSignificantDigits = 15;
// NumberText writes decimal exponents in this range in plain form, all others as "dE+xx".
constexpr int kLowestPlainExponent = -4;
constexpr int kHighestPlainExponent = 14;

// Exponent digits beyond this cap cannot change the outcome (any such value over- or
// underflows), and capping keeps the arithmetic free of overflow for texts of any length.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

int HexDigitValue(int c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsHexPrefixLetter(int c) { return c == 'H' || c == 'h'; }

// Hexadecimal digits gathered into a value of at most 32 bits; leading zeros never overflow.
class HexValue {
 public:
  void Add(int digit) {
    if (overflow_) return;
    value_ = value_ * 16 + static_cast<std::uint64_t>(digit);
    overflow_ = value_ > 0xFFFFFFFFu;
  }
  // The 16-bit then 32-bit width rule: the narrowest signed type whose bit pattern holds the
  // value decides the sign, so FFFF is -1 while 10000 is 65536.
  std::optional<std::int32_t> Signed() const {
    if (overflow_) return std::nullopt;
    const auto bits = static_cast<std::uint32_t>(value_);
    if (bits <= 0xFFFFu) return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
    return static_cast<std::int32_t>(bits);
  }

 private:
  std::uint64_t value_ = 0;
  bool overflow_ = false;
};

struct DecimalParts {
  bool negative = false;
  std::string integer;   // digits as typed, leading zeros included
  std::string fraction;  // digits after the decimal point
  std::int64_t exponent = 0;

  void AddExponentDigit(int digit) {
    if (exponent < kExponentCap) exponent = exponent * 10 + digit;
  }

  // Where the first significant digit stands: n > 0 means n digits before the point, n <= 0
  // means -n zeros after it. Only called for a non-zero mantissa.
  std::int64_t Magnitude() const {
    const auto first = integer.find_first_not_of('0');
    if (first != std::string::npos) return static_cast<std::int64_t>(integer.size() - first);
    return -static_cast<std::int64_t>(fraction.find_first_not_of('0'));
  }

  // Fails when the value exceeds the 64-bit float range; one too small for it is zero.
  std::optional<double> Value() const {
    std::string text;
    text.reserve(integer.size() + fraction.size() + 24);
    if (negative) text += '-';
    if (integer.empty()) text += '0';
    text += integer;
    if (!fraction.empty()) {
      text += '.';
      text += fraction;
    }
    char exponentText[24];
    const auto written = std::to_chars(exponentText, exponentText + sizeof exponentText, exponent);
    text += 'e';
    text.append(exponentText, written.ptr);

    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    if (parsed.ec != std::errc::result_out_of_range) return value;
    // from_chars leaves the value alone when out of range and does not say which way.
    if (Magnitude() + exponent > 0) return std::nullopt;
    return negative ? -0.0 : 0.0;
  }
};

// A cursor that steps over spaces, tabs and line feeds wherever they stand.
class BlankSkippingReader {
 public:
  explicit BlankSkippingReader(std::u16string_view text) : text_(text) {}

  int Peek() {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    return pos_ < text_.size() ? text_[pos_] : kEnd;
  }
  void Next() { ++pos_; }

 private:
  static bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

  std::u16string_view text_;
  std::size_t pos_ = 0;
};

std::optional<double> ReadLeadingHex(BlankSkippingReader& in) {
  HexValue value;
  for (int digit; (digit = HexDigitValue(in.Peek())) >= 0; in.Next()) value.Add(digit);
  const auto result = value.Signed();
  if (!result) return std::nullopt;
  return *result;
}

std::optional<double> ReadLeadingDecimal(BlankSkippingReader& in) {
  DecimalParts parts;
  if (in.Peek() == '+' || in.Peek() == '-') {
    parts.negative = in.Peek() == '-';
    in.Next();
  }
  for (; IsDigit(in.Peek()); in.Next()) parts.integer += static_cast<char>(in.Peek());
  if (in.Peek() == '.') {
    in.Next();
    for (; IsDigit(in.Peek()); in.Next()) parts.fraction += static_cast<char>(in.Peek());
  }
  if (parts.integer.empty() && parts.fraction.empty()) return 0.0;
  if (in.Peek() == 'E' || in.Peek() == 'e') {
    in.Next();
    bool negativeExponent = false;
    if (in.Peek() == '+' || in.Peek() == '-') {
      negativeExponent = in.Peek() == '-';
      in.Next();
    }
    // An "E" without digits is not part of the number; nothing after it is read anyway.
    for (; IsDigit(in.Peek()); in.Next()) parts.AddExponentDigit(in.Peek() - '0');
    if (negativeExponent) parts.exponent = -parts.exponent;
  }
  return parts.Value();
}

// A whole text in the locale's number form: either hexadecimal digits or decimal parts.
struct WholeNumber {
  bool isHex = false;
  HexValue hex;
  DecimalParts decimal;
};

std::optional<WholeNumber> ReadWholeNumber(std::u16string_view text,
                                           const NumberSeparators& separators) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(u' ') - first + 1);
  const auto at = [&](std::size_t i) -> int { return i < text.size() ? text[i] : kEnd; };

  WholeNumber number;
  if (text[0] == u'&') {
    if (!IsHexPrefixLetter(at(1)) || text.size() < 3) return std::nullopt;
    number.isHex = true;
    for (std::size_t i = 2; i < text.size(); ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0) return std::nullopt;
      number.hex.Add(digit);
    }
    return number;
  }

  const std::u16string_view point =
      separators.decimal.empty() ? std::u16string_view(u".") : separators.decimal;
  const std::u16string_view grouping = separators.grouping;
  DecimalParts& parts = number.decimal;
  std::size_t i = 0;
  if (at(i) == '+' || at(i) == '-') parts.negative = text[i++] == u'-';
  while (i < text.size()) {
    const auto rest = text.substr(i);
    if (IsDigit(text[i])) {
      parts.integer += static_cast<char>(text[i++]);
    } else if (!parts.integer.empty() && !grouping.empty() && rest.starts_with(grouping) &&
               !rest.starts_with(point) && IsDigit(at(i + grouping.size()))) {
      i += grouping.size();  // where the separators are equal, the decimal one wins
    } else {
      break;
    }
  }
  if (text.substr(i).starts_with(point)) {
    i += point.size();
    for (; IsDigit(at(i)); ++i) parts.fraction += static_cast<char>(text[i]);
  }
  if (parts.integer.empty() && parts.fraction.empty()) return std::nullopt;
  if (at(i) == 'E' || at(i) == 'e') {
    ++i;
    bool negativeExponent = false;
    if (at(i) == '+' || at(i) == '-') negativeExponent = text[i++] == u'-';
    if (!IsDigit(at(i))) return std::nullopt;
    for (; IsDigit(at(i)); ++i) parts.AddExponentDigit(text[i] - u'0');
    if (negativeExponent) parts.exponent = -parts.exponent;
  }
  if (i != text.size()) return std::nullopt;
  return number;
}

std::u16string Ascii(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::u16string HexOfBits(std::uint32_t bits) {
  char digits[8];
  const auto written = std::to_chars(digits, digits + sizeof digits, bits, 16);
  std::u16string text;
  for (const char* p = digits; p != written.ptr; ++p) {
    text += static_cast<char16_t>(*p >= 'a' ? *p - 'a' + 'A' : *p);
  }
  return text;
}

}  // namespace

std::optional<std::int16_t> CodeOfChar(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  return CharToAnsi(text.front());
}

std::optional<std::u16string> CharFromCode(std::int32_t code) {
  if (code < 0 || code > 255) return std::nullopt;
  return std::u16string(1, AnsiToChar(static_cast<std::uint8_t>(code)));
}

std::optional<double> LeadingNumber(std::u16string_view text) {
  BlankSkippingReader in(text);
  if (in.Peek() != '&') return ReadLeadingDecimal(in);
  in.Next();
  if (!IsHexPrefixLetter(in.Peek())) return 0.0;
  in.Next();
  return ReadLeadingHex(in);
}

bool IsNumberText(std::u16string_view text, const NumberSeparators& separators) {
  return ReadWholeNumber(text, separators).has_value();
}

std::optional<std::int32_t> TextToLong(std::u16string_view text,
                                       const NumberSeparators& separators) {
  const auto number = ReadWholeNumber(text, separators);
  if (!number) return std::nullopt;
  if (number->isHex) return number->hex.Signed();
  const auto value = number->decimal.Value();
  if (!value) return std::nullopt;
  return RoundToLong(*value);
}

std::optional<std::int32_t> RoundToLong(double value) {
  // Checked before any conversion: casting an out-of-range float to an integer is undefined.
  if (!(value >= -2147483648.5 && value <= 2147483647.5)) return std::nullopt;
  const double floor = std::floor(value);
  // Exact but for tiny negative values, where an inexact 0.5 or more still rounds to 0.
  const double fraction = value - floor;
  auto result = static_cast<std::int64_t>(floor);
  if (fraction > 0.5 || (fraction == 0.5 && (result & 1) != 0)) ++result;
  if (result > 2147483647) return std::nullopt;  // 2147483647.5 rounds to even, past the top
  return static_cast<std::int32_t>(result);
}

std::u16string HexText(std::int16_t value) {
  return HexOfBits(static_cast<std::uint16_t>(value));
}

std::u16string HexText(std::int32_t value) {
  return HexOfBits(static_cast<std::uint32_t>(value));
}

std::optional<std::u16string> HexText(double value) {
  const auto rounded = RoundToLong(value);
  if (!rounded) return std::nullopt;
  return HexText(*rounded);
}

std::optional<std::u16string> HexText(std::u16string_view text,
                                      const NumberSeparators& separators) {
  const auto value = TextToLong(text, separators);
  if (!value) return std::nullopt;
  return HexText(*value);
}

std::u16string NumberText(std::int32_t value) {
  char digits[12];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  return Ascii(std::string_view(digits, written.ptr));
}

std::u16string NumberText(double value, const NumberSeparators& separators) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value < 0 ? u"-Infinity" : u"Infinity";
  if (value == 0) return u"0";

  // "-d.dddddddddddddde+dd": the value rounded to its significant digits, and its exponent.
  char buffer[40];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                     std::chars_format::scientific, kSignificantDigits - 1);
  std::string_view scientific(buffer, written.ptr);
  const bool negative = scientific.front() == '-';
  if (negative) scientific.remove_prefix(1);
  const auto e = scientific.find('e');
  std::string digits = scientific[0] + std::string(scientific.substr(2, e - 2));
  digits.erase(digits.find_last_not_of('0') + 1);
  const std::string_view exponentText =
      scientific.substr(scientific[e + 1] == '+' ? e + 2 : e + 1);
  int exponent = 0;
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

  const std::u16string_view point =
      separators.decimal.empty() ? std::u16string_view(u".") : separators.decimal;
  std::u16string text = negative ? u"-" : u"";
  if (exponent < kLowestPlainExponent || exponent > kHighestPlainExponent) {
    text += Ascii(digits.substr(0, 1));
    if (digits.size() > 1) text += point;
    text += Ascii(digits.substr(1));
    const int magnitude = std::abs(exponent);
    text += exponent < 0 ? u"E-" : u"E+";
    if (magnitude < 10) text += u'0';
    text += NumberText(magnitude);
  } else if (exponent >= 0) {
    const auto wholeDigits = static_cast<std::size_t>(exponent) + 1;
    text += Ascii(digits.substr(0, wholeDigits));
    if (digits.size() > wholeDigits) {
      text += point;
      text += Ascii(digits.substr(wholeDigits));
    } else {
      text.append(wholeDigits - digits.size(), u'0');
    }
  } else {
    text += u'0';
    text += point;
    text.append(static_cast<std::size_t>(-exponent - 1), u'0');
    text += Ascii(digits);
  }
  return text;
}

std::u16string TrimSpaces(std::u16string_view text) {
  const auto first = text.find_first_not_of(u' ');
  if (first == std::u16string_view::npos) return {};
  return std::u16string(text.substr(first, text.find_last_not_of(u' ') - first + 1));
}

}  // namespace calvexa
