// The cost of the "Char(s) > Hex" / "Char(s) > Dec" and code-list computations at the box
// sizes that matter: a classic single-line box's 32,767 characters and a 1 MiB paste.

#include <benchmark/benchmark.h>

#include <string>

#include "numtext.h"

namespace {

std::u16string MixedText(std::size_t length) {
  std::u16string text;
  text.reserve(length);
  for (std::size_t i = 0; text.size() < length; ++i) {
    text += static_cast<char16_t>(i % 7 == 0 ? u'\u20AC' : u' ' + i % 95);
  }
  return text;
}

void BM_CharsToHex(benchmark::State& state) {
  const auto input = MixedText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(calvexa::CharsToHex(input));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CharsToDec(benchmark::State& state) {
  const auto input = MixedText(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(calvexa::CharsToDec(input));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_HexToChars(benchmark::State& state) {
  std::u16string input;
  while (input.size() < static_cast<std::size_t>(state.range(0))) input += u"48,69,";
  for (auto _ : state) benchmark::DoNotOptimize(calvexa::HexToChars(input));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_CharsToHex)->Arg(32767)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CharsToDec)->Arg(32767)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexToChars)->Arg(32767)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
