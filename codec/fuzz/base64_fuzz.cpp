// Any text through both directions: decoding never reads out of bounds, and whatever decodes
// re-encodes and decodes to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const calvexa::Base64 codec;
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);
  try {
    const std::vector<std::uint8_t> bytes = codec.DecodeArray64(text);
    if (!bytes.empty() && codec.DecodeArray64(codec.EncodeArray64(bytes)) != bytes) std::abort();
  } catch (const calvexa::Base64DecodeError&) {
  }
  const std::vector<std::uint8_t> raw(data, data + size);
  if (size != 0 && codec.DecodeArray64(codec.EncodeArray64(raw)) != raw) std::abort();
  (void)codec.Decode64(codec.Encode64(text));
  return 0;
}
