#pragma once
// The hashing component: a shared library with one C entry point and its release function.
//
// QuickHashText(algorithm, ansi, length) hashes `length` bytes of `ansi` with the algorithm of
// that number and returns the digest as a newly allocated, zero-terminated UTF-16 text of
// lower-case hexadecimal digits without separators; the three CRCs come out as their numeric
// value, 4 or 8 digits. Release the text with QuickHashFree.
//
//   length >= 0   exactly `length` bytes are read, zero bytes included; `ansi` needs no
//                 terminator then and may be null when `length` is 0.
//   length == -1  the bytes up to the terminating zero are read; a null `ansi` is the
//                 empty message.
//   length < -1, an algorithm number outside 0-16, or a null `ansi` with a positive length:
//                 the empty text (a terminator alone), never an error.
//
// It returns null only when memory runs out. No exception leaves either function.

#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(CALVEXA_HASH_BUILDING)
#define CALVEXA_HASH_API __attribute__((visibility("default")))
#else
#define CALVEXA_HASH_API
#endif

extern "C" {
CALVEXA_HASH_API char16_t* QuickHashText(int algorithm, const char* ansi, int length) noexcept;
CALVEXA_HASH_API void QuickHashFree(char16_t* text) noexcept;
}

namespace calvexa {

// The algorithm numbers the component understands. The numbering is the component's own and
// does not follow any order of the buttons.
enum HashAlgorithm : int {
  kHashMd5 = 0,
  kHashSha1 = 1,
  kHashSha256 = 2,
  kHashSha512 = 3,
  kHashSha384 = 4,
  kHashTiger = 5,       // the original 192-bit Tiger
  kHashPanama = 6,      // little-endian Panama
  kHashRipeMd160 = 7,
  kHashMd4 = 8,
  kHashMd2 = 9,
  kHashCrc32 = 10,      // CRC-32/ISO-HDLC, as zlib computes it
  kHashSha224 = 11,     // no button passes it
  kHashRipeMd128 = 12,
  kHashRipeMd256 = 13,
  kHashRipeMd320 = 14,
  kHashCrc16 = 15,      // CRC-16/ARC
  kHashCrc16b = 16,     // CRC-16/UMTS (BUYPASS)
};

// The digest text of every byte of `ansiBytes`, zero bytes included: the byte length is passed,
// never -1, so a character 0 does not cut the text short. An unknown algorithm number gives the
// empty text. Throws std::length_error for more bytes than the entry point's length can count and
// std::bad_alloc when memory runs out; nothing is hashed partially.
inline std::u16string HashText(int algorithm, const std::vector<std::uint8_t>& ansiBytes) {
  if (ansiBytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw std::length_error("HashText: input longer than the hashing component accepts");
  }
  // The bytes are handed over in place: with an explicit length the component reads no
  // terminator, so a large input is never copied just to append one.
  const std::unique_ptr<char16_t, void (*)(char16_t*) noexcept> text(
      QuickHashText(algorithm, reinterpret_cast<const char*>(ansiBytes.data()),
                    static_cast<int>(ansiBytes.size())),
      &QuickHashFree);
  if (!text) throw std::bad_alloc();
  return std::u16string(text.get());
}

}  // namespace calvexa
