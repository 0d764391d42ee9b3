// The only source that includes Crypto++: MD2, MD4, MD5 and Panama live in its Weak namespace,
// which it hides unless this is defined before its headers.
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1

#include "quickhash.h"

#include <cryptopp/filters.h>
#include <cryptopp/hex.h>
#include <cryptopp/md2.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/panama.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <cryptopp/tiger.h>

#include <boost/crc.hpp>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

using Bytes = const CryptoPP::byte*;

template <class Hash>
std::string Digest(Bytes data, std::size_t size) {
  Hash hash;
  std::string digest(hash.DigestSize(), '\0');
  hash.Update(data, size);
  hash.Final(reinterpret_cast<CryptoPP::byte*>(digest.data()));
  return digest;
}

// A CRC's value, most significant byte first, so that its hexadecimal text reads as the number.
template <class Crc>
std::string Checksum(Bytes data, std::size_t size) {
  Crc crc;
  crc.process_bytes(data, size);
  auto value = crc.checksum();
  std::string digest(Crc::bit_count / 8, '\0');
  for (auto byte = digest.rbegin(); byte != digest.rend(); ++byte) {
    *byte = static_cast<char>(value & 0xFFu);
    value >>= 8;
  }
  return digest;
}

// CRC-16/UMTS, also sold as BUYPASS: the ARC polynomial, neither input nor output reflected.
using Crc16Umts = boost::crc_optimal<16, 0x8005, 0, 0, false, false>;

// The raw digest bytes, or false for a number no algorithm has.
bool DigestOf(int algorithm, Bytes data, std::size_t size, std::string& digest) {
  namespace C = CryptoPP;
  switch (algorithm) {
    case calvexa::kHashMd5: digest = Digest<C::Weak::MD5>(data, size); return true;
    case calvexa::kHashSha1: digest = Digest<C::SHA1>(data, size); return true;
    case calvexa::kHashSha256: digest = Digest<C::SHA256>(data, size); return true;
    case calvexa::kHashSha512: digest = Digest<C::SHA512>(data, size); return true;
    case calvexa::kHashSha384: digest = Digest<C::SHA384>(data, size); return true;
    case calvexa::kHashTiger: digest = Digest<C::Tiger>(data, size); return true;
    case calvexa::kHashPanama:
      digest = Digest<C::Weak::PanamaHash<C::LittleEndian>>(data, size);
      return true;
    case calvexa::kHashRipeMd160: digest = Digest<C::RIPEMD160>(data, size); return true;
    case calvexa::kHashMd4: digest = Digest<C::Weak::MD4>(data, size); return true;
    case calvexa::kHashMd2: digest = Digest<C::Weak::MD2>(data, size); return true;
    // Boost's CRCs rather than Crypto++'s CRC32, whose digest lists the value's bytes in reverse.
    case calvexa::kHashCrc32: digest = Checksum<boost::crc_32_type>(data, size); return true;
    case calvexa::kHashSha224: digest = Digest<C::SHA224>(data, size); return true;
    case calvexa::kHashRipeMd128: digest = Digest<C::RIPEMD128>(data, size); return true;
    case calvexa::kHashRipeMd256: digest = Digest<C::RIPEMD256>(data, size); return true;
    case calvexa::kHashRipeMd320: digest = Digest<C::RIPEMD320>(data, size); return true;
    case calvexa::kHashCrc16: digest = Checksum<boost::crc_16_type>(data, size); return true;
    case calvexa::kHashCrc16b: digest = Checksum<Crc16Umts>(data, size); return true;
    default: return false;
  }
}

std::string LowerHex(const std::string& digest) {
  std::string hex;
  CryptoPP::StringSource(digest, true,
                         new CryptoPP::HexEncoder(new CryptoPP::StringSink(hex), false));
  return hex;
}

// A caller-owned copy of `text` as UTF-16 with a terminator; hexadecimal digits are ASCII.
char16_t* NewText(const std::string& text) {
  auto* result = new char16_t[text.size() + 1];
  std::copy(text.begin(), text.end(), result);
  result[text.size()] = u'\0';
  return result;
}

}  // namespace

extern "C" char16_t* QuickHashText(int algorithm, const char* ansi, int length) noexcept {
  try {
    if (length < -1 || (ansi == nullptr && length > 0)) return NewText({});
    std::size_t size = 0;
    if (ansi != nullptr) {
      size = length == -1 ? std::strlen(ansi) : static_cast<std::size_t>(length);
    }
    // The libraries never see a null pointer, not even for the empty message.
    static const CryptoPP::byte kNothing = 0;
    const Bytes data = size == 0 ? &kNothing : reinterpret_cast<Bytes>(ansi);
    std::string digest;
    if (!DigestOf(algorithm, data, size, digest)) return NewText({});
    return NewText(LowerHex(digest));
  } catch (...) {
    // Only allocation can fail here; the caller sees null and keeps what it showed.
    return nullptr;
  }
}

extern "C" void QuickHashFree(char16_t* text) noexcept { delete[] text; }
