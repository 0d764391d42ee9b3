// libFuzzer target: every method of clsClassicCrypto on arbitrary text, differences and codes,
// checking the round trips and limits that hold for any input. Build with CALVEXA_FUZZ=ON and
// run with -max_len=24: the limits are reached by tiling, so a short text finds every path.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "clsClassicCrypto.h"
#include "codepage.h"

// Any undefined behaviour the sanitizer finds is a finding, not a message.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

namespace {

using calvexa::clsClassicCrypto;

void Check(bool holds) {
  if (!holds) std::abort();
}

std::u16string ThroughCodePage(const std::u16string& text) {
  return calvexa::AnsiToText(calvexa::TextToAnsi(text));
}

// Bytes as text: either one code-page character per byte (reaches every band, digit and hex
// character quickly) or two bytes per 16-bit character.
std::u16string TextOf(const std::string& bytes, bool wide) {
  std::u16string text;
  if (wide) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                           static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    }
  } else {
    for (char byte : bytes) text.push_back(calvexa::AnsiToChar(static_cast<std::uint8_t>(byte)));
  }
  return text;
}

// Repeats the text up to one of the lengths where a method's limit lies.
std::u16string ToBoundary(const std::u16string& text, unsigned choice) {
  static constexpr std::size_t kLengths[] = {4095, 4096, 32763, 32764, 32765, 32766, 32767, 32768};
  const std::size_t length = kLengths[choice % 8];
  std::u16string tiled;
  if (text.empty()) return tiled;
  while (tiled.size() < length) tiled.append(text);
  tiled.resize(length);
  return tiled;
}

std::uint32_t Fnv1a(const std::uint8_t* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
  return hash;
}

bool IsSingleSpaced(const std::u16string& text) {
  if (text.empty() || text.front() == u' ' || text.back() == u' ') return false;
  if (text.find(u"  ") != std::u16string::npos) return false;
  const auto spaces = std::count(text.begin(), text.end(), u' ');
  if (spaces >= 32767) return false;
  std::size_t start = 0;
  for (std::size_t found; (found = text.find(u' ', start)) != std::u16string::npos; start = found + 1) {
    if (found - start > 32765) return false;
  }
  return true;
}

void CheckRoundTrips(clsClassicCrypto& crypto, const std::u16string& text, const std::u16string& code) {
  const std::size_t length = text.size();
  const std::u16string plain = ThroughCodePage(text);

  const std::u16string hex = crypto.HexEncode(text);
  Check(hex.size() == 2 * length);
  Check(crypto.HexDecode(hex) == plain);

  const std::u16string binary = crypto.Ascii2Binary(text);
  Check(binary.size() == (length <= 32766 ? 8 * length : 0));
  Check(crypto.Binary2Ascii(binary) == (length <= 4095 ? plain : std::u16string()));

  const std::u16string reversed = crypto.ReverseString(text);
  Check(reversed == (length <= 32767 ? std::u16string(plain.rbegin(), plain.rend()) : std::u16string()));

  const std::u16string transposed = crypto.Ascii2Transposition(text);
  Check(transposed.size() == (length <= 32767 ? length : 0));
  if (length <= 32765) Check(crypto.Transposition2Ascii(transposed) == plain);

  int calls = 0;
  crypto.SetProcessEventsHook([&] { ++calls; });
  const std::u16string cipher = crypto.Ascii2Random(text, code);
  Check(cipher.size() == 3 * length);
  Check(calls == static_cast<int>(4 * length));
  Check(crypto.Random2Ascii(cipher, code) == plain);
  crypto.SetProcessEventsHook({});

  if (IsSingleSpaced(text)) Check(crypto.PigLatin2Ascii(crypto.Ascii2PigLatin(text)) == text);
}

// The calls CheckRoundTrips does not make on these texts, with the contract of CaesarShift's
// difference. Together the two call every method, and this one every method that turns the
// process-events hook.
void CallTheRest(clsClassicCrypto& crypto, const std::u16string& text, const std::u16string& code,
                 std::int16_t difference) {
  crypto.Binary2Ascii(text);
  crypto.HexDecode(text);
  const std::int16_t before = difference;
  crypto.CaesarShift(text, difference);
  Check(before > 26 ? difference >= 1 && difference <= 26 && (before - difference) % 26 == 0
                    : difference == before);
  crypto.Transposition2Ascii(text);
  crypto.Ascii2PigLatin(text);
  crypto.PigLatin2Ascii(text);
  crypto.Random2Ascii(text, code);
  crypto.Random2Ascii(code, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const auto difference = input.ConsumeIntegral<std::int16_t>();
  const auto mode = input.ConsumeIntegral<std::uint8_t>();
  const auto hookStop = input.ConsumeIntegral<std::uint8_t>();
  const std::u16string code =
      TextOf(input.ConsumeRandomLengthString(16), (mode & 1) != 0);
  std::u16string text = TextOf(input.ConsumeRemainingBytesAsString(), (mode & 2) != 0);

  // One object for every input: seeding a new one's generator costs more than a short input,
  // and whatever an input leaves behind (a hook that threw part-way) the next one must find
  // the object usable.
  static clsClassicCrypto crypto;
  // About one input in 16384 also runs at one of the 16-bit limits. A marker byte would be
  // copied into most of the corpus, and such texts cost about a thousand times a short one:
  // one in 16384 adds a tenth to the time the short texts take, and still leaves about 75
  // runs at each limit in ten million inputs.
  const std::uint32_t hash = Fnv1a(data, size);
  if (hash % 16384 == 0) {
    const std::u16string tiled = ToBoundary(text, (hash >> 14) % 8);
    CallTheRest(crypto, tiled, code, difference);
    CheckRoundTrips(crypto, tiled, code);
  }

  // For the inputs whose mode asks for it, the rest is called under a hook that calls back
  // into the same object, or throws part-way: the running call may fail, but nothing breaks
  // and the object stays usable.
  int calls = 0;
  bool inside = false;
  if ((mode & 0x40) != 0) {
    crypto.SetProcessEventsHook([&] {
      ++calls;
      if ((mode & 0x20) != 0 && calls == hookStop) throw calls;
      // Calling back at every turn would cost most of the time: at one turn in 64, which the
      // input picks.
      if (!inside && calls % 64 == hookStop % 64) {
        inside = true;
        crypto.ReverseString(code);
        crypto.Ascii2PigLatin(code);
        inside = false;
      }
    });
  }
  CallTheRest(crypto, text, code, difference);
  crypto.SetProcessEventsHook({});
  CheckRoundTrips(crypto, text, code);
  Check(crypto.HexEncode(u"Hi!") == u"486921");
  return 0;
}
