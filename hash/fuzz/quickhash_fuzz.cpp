// Fuzzes QuickHashText with any algorithm number, any bytes and any length: -1, 0 up to the
// buffer's size, and below -1. Besides the sanitizers it checks the contract: the empty text for
// invalid calls, otherwise the algorithm's number of lower-case hexadecimal digits, and a result
// that depends on the counted bytes only (Crypto++ itself is not instrumented, so an over-read
// inside it would go unseen by AddressSanitizer; a changed digest shows it).
#include "quickhash.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Digits per algorithm number 0-16.
constexpr std::size_t kDigits[] = {32, 40, 64, 128, 96, 48, 64, 40, 32, 32, 8, 56, 32, 64, 80, 4, 4};

std::u16string Hash(int algorithm, const char* ansi, int length) {
  const std::unique_ptr<char16_t, void (*)(char16_t*) noexcept> text(
      QuickHashText(algorithm, ansi, length), &QuickHashFree);
  if (!text) std::abort();
  return std::u16string(text.get());
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fdp(data, size);
  const int algorithm = fdp.ConsumeBool() ? fdp.ConsumeIntegral<int>()
                                          : fdp.ConsumeIntegralInRange(-1, 17);
  const int mode = fdp.ConsumeIntegralInRange(0, 2);
  const int below = fdp.ConsumeIntegralInRange(INT_MIN, -2);
  const std::uint32_t pick = fdp.ConsumeIntegral<std::uint32_t>();
  const std::vector<char> bytes = fdp.ConsumeRemainingBytes<char>();

  // Exactly sized heap buffers, so any read past what the call may touch is caught.
  std::unique_ptr<char[]> buffer;
  int length;
  if (mode == 0) {
    buffer = std::make_unique<char[]>(bytes.size() + 1);  // zero-terminated
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    buffer[bytes.size()] = '\0';
    length = -1;
  } else {
    buffer = std::make_unique<char[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    length = mode == 1 ? below : static_cast<int>(pick % (bytes.size() + 1));
  }

  const std::u16string result = Hash(algorithm, buffer.get(), length);
  if (algorithm < 0 || algorithm > 16 || length < -1) {
    Check(result.empty());
    return 0;
  }
  Check(result.size() == kDigits[algorithm]);
  for (char16_t c : result) Check((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'));

  // The same counted bytes elsewhere, followed by different bytes, give the same digest.
  const std::size_t counted = length == -1 ? std::strlen(buffer.get()) : std::size_t(length);
  std::string copy(buffer.get(), counted);
  copy += "\x01\xFF";
  Check(Hash(algorithm, copy.data(), static_cast<int>(counted)) == result);
  if (length == -1) {
    copy[counted] = '\0';
    Check(Hash(algorithm, copy.data(), -1) == result);
  }
  return 0;
}
