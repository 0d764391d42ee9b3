// Every method of clsClassicCrypto on a 32,000-character text (within every method's limit),
// plus the cost of the result buffer's growth policy. Not part of the test suite.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "clsClassicCrypto.h"
#include "codepage.h"

namespace calvexa {
namespace {

constexpr std::size_t kLength = 32000;

// Words of 3 to 9 code-page characters other than the space, joined by single spaces.
std::u16string Words(std::size_t length) {
  std::mt19937 random(7);
  std::u16string text;
  while (text.size() < length) {
    if (!text.empty()) text.push_back(u' ');
    const std::size_t word = 3 + random() % 7;
    for (std::size_t i = 0; i < word; ++i) {
      std::uint8_t code = static_cast<std::uint8_t>(33 + random() % 222);
      text.push_back(AnsiToChar(code));
    }
  }
  text.resize(length);
  // A cut may leave a word of one or two characters at the end: fill it up.
  const std::size_t last = text.rfind(u' ');
  if (length - last - 1 < 3) text.replace(last, 1, u"x");
  return text;
}

std::u16string Filled(std::size_t length, std::u16string_view pattern) {
  std::u16string text;
  while (text.size() < length) text.append(pattern);
  text.resize(length);
  return text;
}

template <typename Call>
void Run(benchmark::State& state, const std::u16string& input, Call call) {
  clsClassicCrypto crypto;
  std::size_t outputLength = 0;
  for (auto _ : state) {
    std::u16string result = call(crypto, input);
    outputLength = result.size();
    benchmark::DoNotOptimize(result);
  }
  if (outputLength == 0) state.SkipWithError("the method failed");
  state.counters["in"] = static_cast<double>(input.size());
  state.counters["out"] = static_cast<double>(outputLength);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(input.size()));
}

const std::u16string& Text() {
  static const std::u16string text = Words(kLength);
  return text;
}

void BM_Ascii2Binary(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) { return c.Ascii2Binary(t); });
}
void BM_Binary2Ascii(benchmark::State& state) {
  static const std::u16string binary = Filled(kLength, u"01000001011100100011");
  Run(state, binary, [](clsClassicCrypto& c, const std::u16string& t) { return c.Binary2Ascii(t); });
}
void BM_HexEncode(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) { return c.HexEncode(t); });
}
void BM_HexDecode(benchmark::State& state) {
  static const std::u16string hex = Filled(kLength, u"41e9fF0a7C");
  Run(state, hex, [](clsClassicCrypto& c, const std::u16string& t) { return c.HexDecode(t); });
}
void BM_ReverseString(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) { return c.ReverseString(t); });
}
void BM_CaesarShift(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) {
    std::int16_t difference = 3;
    return c.CaesarShift(t, difference);
  });
}
void BM_Ascii2Transposition(benchmark::State& state) {
  Run(state, Text(),
      [](clsClassicCrypto& c, const std::u16string& t) { return c.Ascii2Transposition(t); });
}
void BM_Transposition2Ascii(benchmark::State& state) {
  Run(state, Text(),
      [](clsClassicCrypto& c, const std::u16string& t) { return c.Transposition2Ascii(t); });
}
void BM_Ascii2PigLatin(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) { return c.Ascii2PigLatin(t); });
}
void BM_PigLatin2Ascii(benchmark::State& state) {
  Run(state, Text(), [](clsClassicCrypto& c, const std::u16string& t) { return c.PigLatin2Ascii(t); });
}
void BM_Ascii2Random(benchmark::State& state) {
  Run(state, Text(),
      [](clsClassicCrypto& c, const std::u16string& t) { return c.Ascii2Random(t, u"secret"); });
}
void BM_Random2Ascii(benchmark::State& state) {
  static const std::u16string cipher = [] {
    clsClassicCrypto crypto;
    return crypto.Ascii2Random(Text().substr(0, kLength / 3 + 1), u"secret").substr(0, kLength);
  }();
  Run(state, cipher,
      [](clsClassicCrypto& c, const std::u16string& t) { return c.Random2Ascii(t, u"secret"); });
}

BENCHMARK(BM_Ascii2Binary)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Binary2Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HexEncode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HexDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReverseString)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaesarShift)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ascii2Transposition)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transposition2Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ascii2PigLatin)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PigLatin2Ascii)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ascii2Random)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Random2Ascii)->Unit(benchmark::kMicrosecond);

// The growth policy alone: appending `bytes` bytes one at a time to a capacity that grows in
// steps of 1024. Copying the whole buffer at every step (a literal re-dimension) is quadratic;
// the class keeps the 1024 steps as its capacity figure but lets the storage double.
void BM_Growth_CopyEveryStep(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::size_t copied = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> buffer(1025);
    std::size_t size = 1024, length = 0;
    copied = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      if (length + 1 > size) {
        size += 1024;
        std::vector<std::uint8_t> grown(size + 1);
        std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length), grown.begin());
        copied += length;
        buffer.swap(grown);
      }
      buffer[length++] = static_cast<std::uint8_t>(i);
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["bytes_copied"] = static_cast<double>(copied);
}

void BM_Growth_DoublingStorage(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::size_t copied = 0;
  for (auto _ : state) {
    std::vector<std::uint8_t> buffer(1025);
    std::size_t size = 1024, length = 0;
    copied = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      if (length + 1 > size) {
        size += 1024;
        if (size + 1 > buffer.capacity()) {
          copied += length;
          buffer.reserve(std::max(size + 1, 2 * buffer.capacity()));
        }
        buffer.resize(size + 1);
      }
      buffer[length++] = static_cast<std::uint8_t>(i);
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["bytes_copied"] = static_cast<double>(copied);
}

// The largest results at 32,000 characters: Ascii2Binary (8 bytes per character) and
// Ascii2Random (3 per character).
BENCHMARK(BM_Growth_CopyEveryStep)->Arg(96000)->Arg(256000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Growth_DoublingStorage)->Arg(96000)->Arg(256000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace calvexa

BENCHMARK_MAIN();
