#pragma once
// The program's ANSI code page: Windows-1252, one byte per character in both directions.
//
// Bytes 0x80-0x9F map to their Windows-1252 characters (0x80 is the euro sign). The five
// bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control
// characters of the same number and back, so every byte value survives a round trip.
// A character the code page cannot represent becomes '?' (63).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace calvexa {

inline constexpr std::uint8_t kAnsiReplacement = '?';

// The character of an ANSI byte.
char16_t AnsiToChar(std::uint8_t byte);

// The ANSI byte of a character, or '?' where the code page has none.
std::uint8_t CharToAnsi(char16_t ch);

// A text's ANSI bytes, one per 16-bit character (each half of a surrogate pair becomes '?').
std::vector<std::uint8_t> TextToAnsi(const std::u16string& text);

// The text of ANSI bytes, one character per byte; a zero byte stays a character 0.
std::u16string AnsiToText(std::span<const std::uint8_t> bytes);

// The same conversions into memory the caller keeps, for texts converted again and again or
// piece by piece. The first two write text.size() bytes or bytes.size() characters at out. The
// third resizes bytes to the text's length, reusing its buffer; a buffer far larger than the
// text is given back.
void TextToAnsi(std::u16string_view text, std::uint8_t* out);
void AnsiToText(std::span<const std::uint8_t> bytes, char16_t* out);
void TextToAnsi(std::u16string_view text, std::vector<std::uint8_t>& bytes);

}  // namespace calvexa
