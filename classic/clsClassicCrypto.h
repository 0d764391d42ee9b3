#pragma once
// clsClassicCrypto: classical text transformations and ciphers (binary and hexadecimal text,
// reversal, Caesar shift, transposition, Pig Latin and a randomised substitution cipher keyed
// by a code text). Plain C++; a text is a counted string of 16-bit characters.
//
// Contract shared by every method:
// - Text arguments are left unchanged; only CaesarShift writes back (its Difference).
// - No method throws. Every method except HexEncode and HexDecode stops at its first failure
//   and returns the empty text, never a partial result. HexEncode and HexDecode fail on no text;
//   only running out of memory (or a result past the buffer's 32-bit length) makes them return
//   the empty text.
// - Where a character's code is needed it is its Windows-1252 byte. Methods that assemble their
//   result in the result buffer (all but Binary2Ascii and the Pig Latin pair) therefore return a
//   character the code page cannot represent as '?'.
// - Positions and counters are 16-bit where the original class kept them in 16 bits; those
//   limits are part of the contract and are given per method below.
// - One object is not for concurrent use. Ascii2Random, Random2Ascii and the Pig Latin pair
//   call the process-events hook inside their loops, and the hook may run any code of the
//   window. They work on their own copies of their texts, taken before the hook's first turn,
//   so the result is that of the texts as they were when the method was called, whatever the
//   hook does to the caller's strings. From inside the hook, any method of the same object may
//   be called and gives its usual result without disturbing the call in progress, and the hook
//   may be replaced or cleared (see SetProcessEventsHook).
// - Destroying the object, assigning to it or moving from it inside the hook is the caller's
//   error: the call in progress goes on using the object once the hook returns.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace calvexa {

class clsClassicCrypto {
 public:
  clsClassicCrypto() noexcept;

  // Eight '0'/'1' digits per character, most significant bit first ("A" -> "01000001").
  // Fails on 32,767 characters or more.
  std::u16string Ascii2Binary(const std::u16string& Text) noexcept;

  // One character per two characters read as a hexadecimal number: blanks (space, tab, line
  // feed) are skipped, digits are read from the left up to the first other character, a pair
  // without a leading digit gives code 0; a final single character is read alone. No limit.
  std::u16string HexDecode(const std::u16string& Text) noexcept;

  // Two upper-case hexadecimal digits per character ("Hi!" -> "486921"). No limit.
  std::u16string HexEncode(const std::u16string& Text) noexcept;

  // One character per group of eight digits, the number of groups being length / 8 rounded
  // half to even; characters other than '0'-'9' and positions past the end count 0, and digits
  // 2-9 count their value times the position's weight (a '2' weighs double). Fails on a group
  // value above 255 and on 32,764 characters or more.
  std::u16string Binary2Ascii(const std::u16string& BinaryText) noexcept;

  // The characters in reverse order. Fails on more than 32,767 characters.
  std::u16string ReverseString(const std::u16string& Text) noexcept;

  // First reduces Difference in place: while above 26 it loses 26 (a negative value stays).
  // Spaces are copied; a character that lower-casing changes (an upper-case letter) is shifted
  // and wraps at 'Z'; every other character (lower-case letters, but also digits and symbols)
  // is shifted and wraps at 'z'; the title-case digraphs, which change both ways, are dropped.
  // Fails on 32,767 characters or more and on a code shifted below 0.
  std::u16string CaesarShift(const std::u16string& Text, std::int16_t& Difference) noexcept;

  // Interleaves the first half (rounded down) with the second; for an odd length the middle
  // character comes last ("abcdefg" -> "aebfcgd"). Fails on 32,768 characters or more.
  std::u16string Ascii2Transposition(const std::u16string& Text) noexcept;

  // The characters at odd positions, then those at even positions. Fails on 32,766 characters
  // or more.
  std::u16string Transposition2Ascii(const std::u16string& Text) noexcept;

  // Each word (split at single spaces) loses its first character to its end, followed by "ay";
  // words are joined by single spaces ("hello world" -> "ellohay orldway"). Fails on empty
  // text, on an empty word (two spaces in a row, a leading or trailing space), on 32,767 spaces
  // or more and on a word of more than 32,765 characters followed by a space.
  std::u16string Ascii2PigLatin(const std::u16string& Text) noexcept;

  // Each word drops its last two characters and moves its new last character to its front
  // ("ellohay orldway" -> "hello world"). Fails on empty text, on a word of fewer than three
  // characters and on the space limits of Ascii2PigLatin.
  std::u16string PigLatin2Ascii(const std::u16string& Text) noexcept;

  // Adds the shift of EncryptCode (0 to 128) to every character's code, writes each sum as
  // three decimal digits and each digit d as a random character of code 55 + 20d to 74 + 20d.
  // The cipher text is three times as long as CustomValue and differs between calls.
  std::u16string Ascii2Random(const std::u16string& CustomValue,
                              const std::u16string& EncryptCode) noexcept;

  // Maps every cipher character to the digit of its band, reads the digits in groups of three
  // (a final shorter group as the shorter number) and takes the absolute difference from the
  // shift of EncryptCode. Fails on a character of code below 55 or of 255 and on a group whose
  // difference is above 255. Any code with the same shift deciphers alike.
  std::u16string Random2Ascii(std::u16string CustomValue, std::u16string EncryptCode) noexcept;

  // Called where the methods let the window process pending events; does nothing by default,
  // or when given an empty hook. An exception leaving the hook makes the running method fail.
  // The hook may call this itself: the hook that is running stays alive until it returns, and
  // the new one (or none) is called from the next turn on. Throws only std::bad_alloc, and then
  // keeps the hook it had.
  void SetProcessEventsHook(std::function<void()> hook);

 private:
  void ResetBuffer();
  void AppendToBuffer(std::u16string_view Piece);
  std::u16string BufferText() const;
  // The buffer's text, then a reset: the end of every method that builds its result there.
  std::u16string TakeBufferText();
  std::u16string CodeShift(const std::u16string& EncryptCode) noexcept;

  void ProcessEvents();
  double NextUniform();
  template <typename Work>
  std::u16string WithBuffer(Work&& work) noexcept;

  std::vector<std::uint8_t> Buffer;
  std::vector<std::uint8_t> Spare;  // storage a finished call left, for the next to build in
  std::int32_t BufferLength = 0;
  std::int32_t BufferSize = 0;
  std::array<std::int16_t, 8> BitValue{};

  std::shared_ptr<const std::function<void()>> ProcessEventsHook;
  std::mt19937_64 Random;
};

}  // namespace calvexa
