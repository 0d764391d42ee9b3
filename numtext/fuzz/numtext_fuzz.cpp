// Feeds arbitrary 16-bit texts to the readers, the formatters and every button's computation,
// and checks the round trips that must hold for any input.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "numtext.h"

namespace {

using namespace calvexa;

const NumberSeparators kLocales[] = {
    {u".", u","}, {u",", u"."}, {u",", u"\u202F"}, {u".", u""}, {u",", u","}, {u"", u"'"},
};

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckNumberTexts(double value, const NumberSeparators& locale) {
  const auto text = NumberText(value, locale);
  if (!std::isfinite(value)) return;
  // Whatever NumberText writes, TextToLong takes back (when in range) in the same locale.
  Require(IsNumberText(text, locale));
  if (const auto rounded = RoundToLong(value); rounded && std::abs(value) < 1e9) {
    const auto back = TextToLong(text, locale);
    Require(back.has_value() && std::abs(*back - static_cast<double>(*rounded)) <= 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto& locale = kLocales[data[0] % std::size(kLocales)];
  ++data;
  --size;
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);
  // Also as one character per byte, so that short ASCII inputs reach the number forms quickly.
  const std::u16string bytes(data, data + size);

  for (const std::u16string& input : {text, bytes}) {
    const auto leading = LeadingNumber(input);
    if (leading) CheckNumberTexts(*leading, locale);
    const bool isNumber = IsNumberText(input, locale);
    const auto whole = TextToLong(input, locale);
    Require(!whole || isNumber);
    if (whole) {
      Require(TextToLong(NumberText(*whole), locale) == whole);
      Require(HexText(input, locale) == HexText(*whole));
    }
    const auto trimmed = TrimSpaces(input);
    Require(trimmed.empty() || (trimmed.front() != u' ' && trimmed.back() != u' '));
    Require(CodeOfChar(input).has_value() == !input.empty());

    Require(CharsToHex(input).size() <= input.size() * 4);
    Require(CharsToDec(input).size() <= input.size() * 5);
    DecToHex(input, locale);
    HexToDec(input);
    Require(HexToChars(input).size() <= input.size() + 1);
    Require(DecToChars(input).size() <= input.size() + 1);
    const auto half = input.size() / 2;
    const std::u16string_view view(input);
    AndResults(view.substr(0, half), view.substr(half));
    OrResults(view.substr(0, half), view.substr(half), locale);
    XorResults(view.substr(0, half), view.substr(half), locale);
    NotResults(view, locale);
    ShlResults(view.substr(0, half), view.substr(half), locale);
    ShrResults(view.substr(0, half), view.substr(half), locale);
  }

  // The raw bits as numbers, so every double and every integer width reaches the formatters.
  if (size >= 8) {
    double value;
    std::memcpy(&value, data, sizeof value);
    CheckNumberTexts(value, locale);
    HexText(value);
    if (const auto rounded = RoundToLong(value)) Require(*rounded == std::nearbyint(value));
    std::int32_t whole;
    std::memcpy(&whole, data, sizeof whole);
    Require(LeadingNumber(u"&H" + HexText(static_cast<std::int16_t>(whole))) ==
            static_cast<std::int16_t>(whole));
    if (whole < 0 || whole > 0xFFFF) Require(LeadingNumber(u"&H" + HexText(whole)) == whole);
    Require(LeadingNumber(NumberText(whole)) == whole);
  }
  return 0;
}
