#pragma once
// Conversions between texts, character codes and numbers, shared by the "ASCII - Hex - Decimal"
// and "Conversion" tabs, and the whole computation behind each of their buttons.
//
// Failures: a helper that can fail returns std::optional and gives std::nullopt on failure; no
// function here throws anything but std::bad_alloc. A handler that skips a failed step simply
// does not write that step's result.
//
// Characters are 16-bit units of a std::u16string; a character's code is its Windows-1252 byte.
// Functions that read or write locale-formatted numbers take the locale's separators as a
// parameter; nothing here looks at the C locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calvexa {

// The user's number separators. An empty grouping separator means the locale groups no
// digits; an empty decimal separator is taken as ".".
struct NumberSeparators {
  std::u16string decimal = u".";
  std::u16string grouping = u",";
};

// The code (0-255) of the text's first character; a character outside the code page gives 63,
// the question mark, and so does each half of a surrogate pair. Fails on an empty text.
std::optional<std::int16_t> CodeOfChar(std::u16string_view text);

// The one-character text of a code 0-255 (0 gives the character 0). Fails on any other code.
std::optional<std::u16string> CharFromCode(std::int32_t code);

// The longest leading number of the text; the rest is ignored. Spaces, tabs and line feeds are
// skipped wherever they stand, even inside the number ("1 2" reads 12). Forms: an optional sign,
// digits with at most one period (always the period, whatever the locale) and an optional
// exponent (E or e, optional sign, digits); or "&H"/"&h" and hexadecimal digits. No other
// prefix or suffix is known. No number at the start reads 0.
// Hexadecimal goes by value, leading zeros aside: up to FFFF it is a 16-bit signed integer
// (FFFF reads -1), up to FFFFFFFF a 32-bit one (10000 reads 65536, FFFFFFFF reads -1).
// Fails only on a value too large for its type: hexadecimal above FFFFFFFF, or a decimal beyond
// the 64-bit float range. A decimal too small for it reads as zero.
std::optional<double> LeadingNumber(std::u16string_view text);

// Whether the whole text, apart from leading and trailing spaces, has the form of one number
// in the user's locale: an optional sign, digits (a grouping separator may stand between two
// digits; group sizes are not checked), at most one decimal separator, an optional exponent;
// or "&H"/"&h" and at least one hexadecimal digit. Only the form counts, not the range.
// False for an empty text and for a text of spaces.
bool IsNumberText(std::u16string_view text, const NumberSeparators& separators);

// The value of a text that IsNumberText accepts, rounded to the nearest integer, ties to even.
// "&H" texts follow the width rule of LeadingNumber, so "&HFFFF" gives -1, as it does for
// LeadingNumber. Fails on any other text and on a value outside the 32-bit range.
std::optional<std::int32_t> TextToLong(std::u16string_view text,
                                       const NumberSeparators& separators);

// The nearest integer, ties to even (2.5 gives 2, -2.5 gives -2). Fails outside the 32-bit
// range and on NaN.
std::optional<std::int32_t> RoundToLong(double value);

// Upper-case hexadecimal without leading zeros. A 16-bit value is written as 16 bits (-1 gives
// FFFF), a 32-bit value as 32 bits (-1 gives FFFFFFFF). A float is first made a 32-bit value with
// RoundToLong, a text with TextToLong; those fail as the conversion fails.
std::u16string HexText(std::int16_t value);
std::u16string HexText(std::int32_t value);
std::optional<std::u16string> HexText(double value);
std::optional<std::u16string> HexText(std::u16string_view text,
                                      const NumberSeparators& separators);

// Plain decimal digits with a leading minus sign for negatives.
std::u16string NumberText(std::int32_t value);

// At most 15 significant digits, no trailing zeros, the locale's decimal separator only when the
// value has a fraction. Decimal exponents from 15 up and below -4 are written in scientific
// form: E, a sign and at least two exponent digits (1E+15, 1E-05, 2E-300). Negative zero gives
// "0"; infinities and NaN give "Infinity", "-Infinity" and "NaN".
std::u16string NumberText(double value, const NumberSeparators& separators);

// The text without leading and trailing spaces (code 32 only; tabs stay).
std::u16string TrimSpaces(std::u16string_view text);

// "ASCII - Hex - Decimal" tab: each gives the new text of the output box.

inline constexpr std::u16string_view kDecToHexRefusal =
    u"Invalid Input. This function can only use numbers 0-9. It cannot contain any letters or "
    u"symbols.";

// "Char(s) > Hex" / "Char(s) > Dec": the code of every character, in hexadecimal (no padding) or
// decimal, joined by two spaces. Any length converts whole; an empty input gives an empty text.
std::u16string CharsToHex(std::u16string_view input);
std::u16string CharsToDec(std::u16string_view input);

// "Dec > Hex": kDecToHexRefusal unless IsNumberText; otherwise the HexText of the leading number
// rounded to 32 bits, or the empty text when that reading fails or is out of range.
std::u16string DecToHex(std::u16string_view input, const NumberSeparators& separators);

// "Hex > Dec": the decimal value of "&h" followed by the input, read by LeadingNumber (so
// "FFFF" gives -1 and no leading hexadecimal digit gives 0); the empty text when the value
// exceeds 32 bits.
std::u16string HexToDec(std::u16string_view input);

// "Hex > Char(s)" / "Dec > Char(s)": the input is split at every comma (none: one item) and
// each item read as LeadingNumber does, after "&h" for hexadecimal, rounded to 32 bits; each code
// 0-255 gives its character, any other item is dropped. Leading and trailing spaces of the
// result are removed.
std::u16string HexToChars(std::u16string_view input);
std::u16string DecToChars(std::u16string_view input);

// "Conversion" tab: the texts of an operator's decimal and hexadecimal result boxes.

inline constexpr std::u16string_view kInvalidResult = u"INVALID";

struct ResultTexts {
  std::u16string decimal;
  std::u16string hexadecimal;
  friend bool operator==(const ResultTexts&, const ResultTexts&) = default;
};

// "AND", "OR", "XOR", "NOT". std::nullopt when an operand text is empty: the click writes
// nothing. Otherwise the result, or kInvalidResult in both boxes when an operand fails to read.
// "AND" reads with LeadingNumber and RoundToLong (a text without a number is 0); the others
// read with TextToLong (the whole text must be a number).
std::optional<ResultTexts> AndResults(std::u16string_view first, std::u16string_view second);
std::optional<ResultTexts> OrResults(std::u16string_view first, std::u16string_view second,
                                     const NumberSeparators& separators);
std::optional<ResultTexts> XorResults(std::u16string_view first, std::u16string_view second,
                                      const NumberSeparators& separators);
std::optional<ResultTexts> NotResults(std::u16string_view operand,
                                      const NumberSeparators& separators);

// "SHL" / "SHR" on 64-bit floats: number times, or divided by and rounded down, 2 to the power
// of the count rounded down. Both are read with LeadingNumber, so an empty box is 0 and a count
// of 0 leaves the number as it is. The hexadecimal box shows the decimal text read back with
// TextToLong. kInvalidResult in both boxes for a negative count, a count of 1024 or more, or a
// result outside the 32-bit range after that read-back.
ResultTexts ShlResults(std::u16string_view number, std::u16string_view count,
                       const NumberSeparators& separators);
ResultTexts ShrResults(std::u16string_view number, std::u16string_view count,
                       const NumberSeparators& separators);

}  // namespace calvexa
