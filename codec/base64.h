#pragma once
// Base64 (RFC 4648 alphabet, "=" padding) between bytes and text.
//
// Encoding breaks a result longer than 76 characters into lines of 76 joined by CR LF; a
// result whose length is an exact multiple of 76 then ends with CR LF. Decoding is lenient and
// never rejects a character: CR LF pairs and every "=" are dropped, each other character is read
// by the low 8 bits of its code, and anything outside the alphabet counts as 0 (like "A").

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace calvexa {

// Thrown by DecodeArray64 (and so Decode64) when nothing is left to decode once the CR LF
// pairs and "=" signs are gone, e.g. for "==".
class Base64DecodeError : public std::out_of_range {
 public:
  Base64DecodeError() : std::out_of_range("Base64 text has no characters to decode") {}
};

class Base64 {
 public:
  Base64();

  // The bytes of sInput's Windows-1252 text as Base64; the empty text for the empty text.
  std::u16string Encode64(const std::u16string& sInput) const;
  // bytInput as Base64; the empty text for no bytes. Never throws: the empty text on any failure.
  std::u16string EncodeArray64(const std::vector<std::uint8_t>& bytInput) const noexcept;

  // The decoded bytes as Windows-1252 text (a zero byte stays a character 0); the empty text for
  // the empty text. Throws Base64DecodeError as DecodeArray64 does.
  std::u16string Decode64(const std::u16string& sInput) const;
  // The decoded bytes. A lone leftover character adds nothing; the unused low bits of a leftover
  // of two or three characters are dropped without a check.
  std::vector<std::uint8_t> DecodeArray64(const std::u16string& sInput) const;

  // Pieces of the results above, for a caller that redoes only the part of a result that a
  // change of its input reaches. Each writes exactly the characters the whole-text function
  // writes for that part, appended to out.

  // sInput's Windows-1252 bytes as Encode64 writes them from the start of one of its lines on
  // (so the bytes before sInput, if any, are a multiple of 57). `broken` says whether the whole
  // result is broken into lines (its bytes are more than 57), and so whether complete lines end
  // with CR LF.
  void Encode64Lines(std::u16string_view sInput, bool broken, std::u16string& out) const;

  // Where a run of decoding ended: at `end`, just after the last value of a complete group of
  // four, or at the text's end (atEnd), where a leftover of two or three values is decoded.
  struct DecodeRun {
    std::size_t end = 0;
    std::size_t values = 0;  // the values the run read
    bool atEnd = false;
  };
  // Decodes sInput from position `from` on, as Decode64 decodes the same values, until the first
  // complete group that ends at or after `until`, or the text's end. `from` is 0 or the end of
  // an earlier run that did not reach the end, in a text with the same characters up to and
  // including the one at `from`. A text without values gives no characters (where Decode64
  // throws).
  DecodeRun Decode64Run(std::u16string_view sInput, std::size_t from, std::size_t until,
                        std::u16string& out) const;

 private:
  std::uint8_t bytEncodeTable[64];
  std::uint8_t bytDecodeTable[256];
};

}  // namespace calvexa
