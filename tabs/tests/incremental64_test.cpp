#include "incremental64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace calvexa {
namespace {

// Base64 letters most of the time, then what decoding treats apart: padding, CR and LF alone or
// paired, characters outside the alphabet (some whose low byte is "=", CR or a letter), and
// characters the code page turns into other bytes or into "?".
const char16_t kChars[] = u"QUJDRAgw09+/az=\r\n- \u0161\u013D\u010D\u20AC\u00E9\u4E2D\U0001F600";

std::u16string Piece(std::mt19937& rng, std::size_t length) {
  std::u16string piece;
  for (std::size_t i = 0; i < length; ++i) {
    const std::size_t pick = rng() % 40;
    if (pick < 2) piece += u"\r\n";
    else piece += kChars[pick < std::size(kChars) - 1 ? pick : rng() % 14];
  }
  return piece;
}

// Changes text somewhere, as a box would, and says where: typing, deleting, replacing,
// pasting, emptying, or leaving nothing but "=" and line breaks.
TextEdit RandomEdit(std::mt19937& rng, std::u16string& text) {
  const std::size_t kind = rng() % 100;
  std::size_t at = kind < 25 ? text.size() : rng() % (text.size() + 1);
  std::size_t removed = 0;
  std::u16string inserted;
  if (kind < 3) {
    at = 0;
    removed = text.size();
    if (kind == 0) inserted = std::u16string(rng() % 5, u'=') + u"\r\n=";
  } else if (kind < 8) {
    inserted = Piece(rng, rng() % 3000);
  } else if (kind < 40 || text.size() > 20000) {
    removed = std::min<std::size_t>(rng() % 9 + 1, text.size() - at);
    if (removed == 0 && at > 0) removed = 1, --at;
    if (kind % 3 == 0) inserted = Piece(rng, rng() % 6);
  } else {
    inserted = Piece(rng, rng() % 6 + 1);
  }
  text.replace(at, removed, inserted);
  return {at, removed, inserted.size()};
}

TEST(IncrementalBase64, EveryEditGivesTheWholeTextsResult) {
  const Base64 codec;
  std::mt19937 rng(15);
  std::u16string text, encoded = u"old", decoded = u"old", densely = u"old";
  IncrementalEncode64 encode;
  IncrementalDecode64 decode, dense(5);  // marks everywhere: each edit lands next to one
  const auto into = [](std::u16string& out) {
    return [&out](std::size_t position, std::size_t, const std::function<void(std::u16string&)>& write) {
      ASSERT_LE(position, out.size());  // what is kept was written before
      out.resize(position);
      write(out);
    };
  };
  for (int step = 0; step < 6000; ++step) {
    const TextEdit edit = RandomEdit(rng, text);
    if (step % 97 == 0) decode.Forget();  // as when the output box was edited
    encode.Update(codec, text, edit, into(encoded));
    decode.Update(codec, text, edit, into(decoded));
    dense.Update(codec, text, edit, into(densely));
    ASSERT_EQ(encoded, codec.Encode64(text)) << "step " << step;
    std::u16string whole;
    try {
      whole = codec.Decode64(text);
    } catch (const Base64DecodeError&) {
      // Nothing to decode: the tab empties its output.
    }
    ASSERT_EQ(decoded, whole) << "step " << step;
    ASSERT_EQ(densely, whole) << "step " << step;
  }
}

}  // namespace
}  // namespace calvexa
