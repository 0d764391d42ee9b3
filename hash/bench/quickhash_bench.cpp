// Throughput of every algorithm on 64 MiB through QuickHashText, and SHA-256 against
// `openssl dgst -sha256` on the same bytes in the same run, as a ratio of times.
// Usage: quickhash_bench [repeats]   (best of `repeats` runs, default 3)
#include "quickhash.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kSize = 64u << 20;

const char* const kNames[] = {"MD5",     "SHA-1",      "SHA-256",    "SHA-512",    "SHA-384",
                              "Tiger",   "Panama",     "RipeMD-160", "MD4",        "MD2",
                              "Crc32",   "SHA-224",    "RipeMD-128", "RipeMD-256", "RipeMD-320",
                              "Crc16",   "Crc16b"};

template <class F>
double BestSeconds(int repeats, F&& run) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

std::string Hash(int algorithm, const char* data, int length) {
  const std::unique_ptr<char16_t, void (*)(char16_t*) noexcept> text(
      QuickHashText(algorithm, data, length), &QuickHashFree);
  if (!text) throw std::bad_alloc();
  std::u16string digest(text.get());
  return std::string(digest.begin(), digest.end());
}

void Row(const std::string& name, double seconds) {
  std::cout << std::left << std::setw(22) << name << std::right << std::setw(10)
            << seconds * 1e3 << " ms " << std::setw(10) << kSize / seconds / (1 << 20)
            << " MiB/s\n";
}

}  // namespace

int main(int argc, char** argv) {
  int repeats = 3;
  if (argc > 1) std::from_chars(argv[1], argv[1] + std::char_traits<char>::length(argv[1]), repeats);
  repeats = std::max(repeats, 1);

  // Non-zero bytes, so the terminator-bound call (-1) also reads the whole buffer.
  std::vector<char> data(kSize + 1);
  std::mt19937 random(20240601);
  std::uniform_int_distribution<int> byte(1, 255);
  for (std::size_t i = 0; i < kSize; ++i) data[i] = static_cast<char>(byte(random));
  data[kSize] = '\0';
  const int length = static_cast<int>(kSize);

  std::cout << std::fixed << std::setprecision(1) << "64 MiB through QuickHashText, best of "
            << repeats << ":\n";
  double sha256 = 0;
  std::string ours;
  for (int algorithm = 0; algorithm <= 16; ++algorithm) {
    const double seconds =
        BestSeconds(repeats, [&] { ours = Hash(algorithm, data.data(), length); });
    Row(std::string(kNames[algorithm]) + " (" + std::to_string(algorithm) + ")", seconds);
    if (algorithm == calvexa::kHashSha256) sha256 = seconds;
  }
  ours = Hash(calvexa::kHashSha256, data.data(), length);
  Row("SHA-256, length -1", BestSeconds(repeats, [&] { Hash(calvexa::kHashSha256, data.data(), -1); }));

  namespace fs = std::filesystem;
  std::string dirTemplate = (fs::temp_directory_path() / "quickhash_bench.XXXXXX").string();
  if (!mkdtemp(dirTemplate.data())) {
    std::cerr << "cannot create a temporary directory\n";
    return 1;
  }
  const fs::path dir = dirTemplate;
  const fs::path input = dir / "data.bin", output = dir / "digest.txt";
  std::ofstream(input, std::ios::binary).write(data.data(), static_cast<std::streamsize>(kSize));
  const std::string command =
      "openssl dgst -sha256 -r '" + input.string() + "' > '" + output.string() + "'";
  int status = 0;
  const double openssl = BestSeconds(repeats, [&] { status |= std::system(command.c_str()); });
  std::string theirs;
  std::ifstream(output) >> theirs;
  fs::remove_all(dir);
  if (status != 0) {
    std::cerr << "openssl dgst failed\n";
    return 1;
  }
  Row("openssl dgst -sha256", openssl);
  std::cout << std::setprecision(3) << "SHA-256 ratio QuickHashText / openssl: " << sha256 / openssl
            << " (target <= 1.1); digests " << (theirs == ours ? "agree" : "DIFFER") << "\n";
  return theirs == ours ? 0 : 1;
}
