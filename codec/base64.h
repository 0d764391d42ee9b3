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

 private:
  std::uint8_t bytEncodeTable[64];
  std::uint8_t bytDecodeTable[256];
};

}  // namespace calvexa
