// The computations behind the buttons of the "ASCII - Hex - Decimal" and "Conversion" tabs.

#include <array>
#include <cmath>
#include <functional>

#include "codepage.h"
#include "numtext.h"

namespace calvexa {
namespace {

constexpr std::u16string_view kCodeSeparator = u"  ";

// 2 to the power of this overflows a 64-bit float.
constexpr double kShiftLimit = 1024;

using CodeItems = std::array<std::u16string, 256>;

const CodeItems& HexItems() {
  static const CodeItems items = [] {
    CodeItems made;
    for (int code = 0; code < 256; ++code) made[code] = HexText(static_cast<std::int16_t>(code));
    return made;
  }();
  return items;
}

const CodeItems& DecItems() {
  static const CodeItems items = [] {
    CodeItems made;
    for (int code = 0; code < 256; ++code) made[code] = NumberText(code);
    return made;
  }();
  return items;
}

// No item holds a space, so joining the items gives exactly what trimming the separator after
// the last one would.
std::u16string JoinCodes(std::u16string_view input, const CodeItems& items) {
  std::size_t size = 0;
  for (char16_t ch : input) size += items[CharToAnsi(ch)].size() + kCodeSeparator.size();
  std::u16string text;
  text.reserve(size);
  for (char16_t ch : input) {
    if (!text.empty()) text += kCodeSeparator;
    text += items[CharToAnsi(ch)];
  }
  return text;
}

std::optional<std::int32_t> LeadingLong(std::u16string_view text) {
  const auto value = LeadingNumber(text);
  if (!value) return std::nullopt;
  return RoundToLong(*value);
}

// Items are read as the whole text would be: "&h" put in front for hexadecimal codes. The
// buffer is reused so that a long list of short items allocates once.
std::u16string CodesToChars(std::u16string_view input, bool hexadecimal) {
  std::u16string text;
  std::u16string item;
  std::size_t start = 0;
  for (;;) {
    const auto comma = input.find(u',', start);
    const auto itemText = input.substr(start, comma == std::u16string_view::npos
                                                  ? std::u16string_view::npos
                                                  : comma - start);
    item.assign(hexadecimal ? u"&h" : u"");
    item += itemText;
    if (const auto code = LeadingLong(item)) {
      if (const auto ch = CharFromCode(*code)) text += *ch;
    }
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  return TrimSpaces(text);
}

ResultTexts Invalid() { return {std::u16string(kInvalidResult), std::u16string(kInvalidResult)}; }

// The hexadecimal box is computed from the decimal box's text; for an integer that text reads
// back as the same value.
ResultTexts IntegerResults(std::int32_t result) { return {NumberText(result), HexText(result)}; }

template <typename Read, typename Combine>
std::optional<ResultTexts> TwoOperands(std::u16string_view first, std::u16string_view second,
                                       Read read, Combine combine) {
  if (first.empty() || second.empty()) return std::nullopt;  // a text of blanks is not empty
  const auto a = read(first);
  const auto b = read(second);
  if (!a || !b) return Invalid();
  return IntegerResults(combine(*a, *b));
}

// A negative or non-finite count fails: there is no factor to shift by.
std::optional<double> PowerFactor(std::u16string_view count) {
  const auto value = LeadingNumber(count);
  if (!value || !(*value >= 0 && *value < kShiftLimit)) return std::nullopt;
  return std::ldexp(1.0, static_cast<int>(std::floor(*value)));
}

ResultTexts ShiftResults(std::optional<double> result, const NumberSeparators& separators) {
  if (!result || !std::isfinite(*result)) return Invalid();
  // The decimal text, rounded to its shown digits, is what the hexadecimal box is made from.
  auto decimal = NumberText(*result, separators);
  auto hex = HexText(decimal, separators);
  if (!hex) return Invalid();
  return {std::move(decimal), std::move(*hex)};
}

}  // namespace

std::u16string CharsToHex(std::u16string_view input) { return JoinCodes(input, HexItems()); }

std::u16string CharsToDec(std::u16string_view input) { return JoinCodes(input, DecItems()); }

std::u16string DecToHex(std::u16string_view input, const NumberSeparators& separators) {
  if (!IsNumberText(input, separators)) return std::u16string(kDecToHexRefusal);
  // Read as a leading number, so with a comma for grouping "1,000" passes the test and gives 1.
  const auto value = LeadingNumber(input);
  if (!value) return {};
  return HexText(*value).value_or(u"");
}

std::u16string HexToDec(std::u16string_view input) {
  std::u16string text = u"&h";
  text += input;
  const auto value = LeadingLong(text);
  if (!value) return {};
  return NumberText(*value);
}

std::u16string HexToChars(std::u16string_view input) { return CodesToChars(input, true); }

std::u16string DecToChars(std::u16string_view input) { return CodesToChars(input, false); }

std::optional<ResultTexts> AndResults(std::u16string_view first, std::u16string_view second) {
  return TwoOperands(first, second, LeadingLong, std::bit_and<std::int32_t>());
}

std::optional<ResultTexts> OrResults(std::u16string_view first, std::u16string_view second,
                                     const NumberSeparators& separators) {
  const auto read = [&](std::u16string_view text) { return TextToLong(text, separators); };
  return TwoOperands(first, second, read, std::bit_or<std::int32_t>());
}

std::optional<ResultTexts> XorResults(std::u16string_view first, std::u16string_view second,
                                      const NumberSeparators& separators) {
  const auto read = [&](std::u16string_view text) { return TextToLong(text, separators); };
  return TwoOperands(first, second, read, std::bit_xor<std::int32_t>());
}

std::optional<ResultTexts> NotResults(std::u16string_view operand,
                                      const NumberSeparators& separators) {
  if (operand.empty()) return std::nullopt;
  const auto value = TextToLong(operand, separators);
  if (!value) return Invalid();
  return IntegerResults(~*value);
}

ResultTexts ShlResults(std::u16string_view number, std::u16string_view count,
                       const NumberSeparators& separators) {
  const auto factor = PowerFactor(count);
  const auto value = LeadingNumber(number);
  if (!factor || !value) return Invalid();
  return ShiftResults(*value * *factor, separators);
}

ResultTexts ShrResults(std::u16string_view number, std::u16string_view count,
                       const NumberSeparators& separators) {
  const auto factor = PowerFactor(count);
  const auto value = LeadingNumber(number);
  if (!factor || !value) return Invalid();
  const double quotient = *value / *factor;
  // A tiny negative number can underflow to -0 here; rounded down it is still -1.
  const double result = (quotient == 0 && *value < 0) ? -1.0 : std::floor(quotient);
  return ShiftResults(result, separators);
}

}  // namespace calvexa
