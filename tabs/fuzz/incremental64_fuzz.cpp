// Edits chosen by the input, each followed by the Base 64 tab's incremental updates, which must
// equal Encode64 and Decode64 of the whole text (nothing where Decode64 finds nothing).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "incremental64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace calvexa;
  static const Base64 codec;
  // Bytes pick characters: the ones decoding treats apart, a few letters, and the code page's.
  static const char16_t kChars[] = u"=\r\n\r\nQUJD+/-\u0161\u013D\u010D\u20AC\u4E2D";
  std::u16string text, encoded, decoded;
  IncrementalEncode64 encode;
  IncrementalDecode64 decode(4 + size % 60);  // marks a group or more apart
  const auto into = [](std::u16string& out) {
    return [&out](std::size_t position, std::size_t, const std::function<void(std::u16string&)>& write) {
      if (position > out.size()) std::abort();
      out.resize(position);
      write(out);
    };
  };
  std::size_t i = 0, edits = 0;
  const auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  while (i < size) {
    const std::uint8_t op = next();
    std::size_t at = (next() | std::size_t{next()} << 8) % (text.size() + 1);
    const std::size_t removed = std::min<std::size_t>(op % 8, text.size() - at);
    std::u16string inserted;
    // Runs of one character make lines past the first 57 bytes; the decoder's marks are close
    // together, so short texts reach them. Texts stay short (a few output lines of 76) and so do
    // inputs: every edit redoes the text from the edit on. Run with -max_len=96.
    const std::size_t repeat = op & 0x80 && text.size() < 256 ? 1 + next() % 64 : 1;
    for (int n = (op >> 3) % 8; n > 0; --n) {
      const std::uint8_t c = next();
      inserted.append(repeat, c < 128 ? kChars[c % (std::size(kChars) - 1)] : char16_t{c});
    }
    text.replace(at, removed, inserted);
    const TextEdit edit{at, removed, inserted.size()};
    encode.Update(codec, text, edit, into(encoded));
    decode.Update(codec, text, edit, into(decoded));
    // The whole-text results cost more than the updates: they are compared after every fourth
    // edit and the last one. A wrong update shows there unless a later edit before the
    // comparison rewrites it, and then an input ending with that edit finds it.
    if (++edits % 4 != 0 && i < size) continue;
    if (encoded != codec.Encode64(text)) std::abort();
    std::u16string whole;
    try {
      whole = codec.Decode64(text);
    } catch (const Base64DecodeError&) {
    }
    if (decoded != whole) std::abort();
  }
  return 0;
}
