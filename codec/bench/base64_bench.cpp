// Codec throughput on 64 MiB of random bytes, against coreutils `base64` on the same data in
// the same run. Usage: codec_bench [MiB]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <malloc.h>

#include "base64.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

template <typename F>
double Best(int runs, F&& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    f();
    best = std::min(best, Seconds(start));
  }
  return best;
}

double TimeCommand(const std::string& command, int runs) {
  return Best(runs, [&] {
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "failed: %s\n", command.c_str());
      std::exit(1);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const std::size_t size = mib << 20;
  std::vector<std::uint8_t> data(size);
  std::mt19937_64 rng(42);
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    const auto v = rng();
    for (int k = 0; k < 8; ++k) data[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
  }

  const calvexa::Base64 codec;
  const int runs = 3;
  struct Figures {
    double encode, decode;
  };
  auto measure = [&] {
    std::u16string text;
    std::vector<std::uint8_t> back;
    Figures f{};
    f.encode = Best(runs, [&] { text = codec.EncodeArray64(data); });
    f.decode = Best(runs, [&] { back = codec.DecodeArray64(text); });
    if (back != data) {
      std::fprintf(stderr, "round trip failed\n");
      std::exit(1);
    }
    return f;
  };
  // Fresh memory: every result lands in newly mapped pages, whose first touch costs about as
  // much as the encoding itself. Then with freed memory kept in the heap for the next result, as
  // the program keeps it (KeepFreedMemoryForReuse in app/) for texts of up to 64 MiB where its
  // allocator has no huge pages.
  const Figures fresh = measure();
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  const Figures reused = measure();

  const auto dir = std::filesystem::temp_directory_path() / "calvexa-codec-bench";
  std::filesystem::create_directories(dir);
  const auto raw = (dir / "data.bin").string();
  const auto b64 = (dir / "data.b64").string();
  std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), size);
  // coreutils wraps at 76 columns too, so both sides write the same lines.
  TimeCommand("base64 -w 76 '" + raw + "' > '" + b64 + "'", 1);
  const double cuEncode = TimeCommand("base64 -w 76 '" + raw + "' > /dev/null", runs);
  const double cuDecode = TimeCommand("base64 -d '" + b64 + "' > /dev/null", runs);
  std::filesystem::remove_all(dir);

  const double m = static_cast<double>(mib);
  std::printf("data: %zu MiB random bytes, best of %d runs\n", mib, runs);
  std::printf("%-22s %9s %12s %12s %16s %7s\n", "", "codec s", "coreutils s", "codec MiB/s",
              "coreutils MiB/s", "ratio");
  auto row = [&](const char* name, double codecSeconds, double coreutilsSeconds) {
    std::printf("%-22s %9.3f %12.3f %12.0f %16.0f %7.2f\n", name, codecSeconds, coreutilsSeconds,
                m / codecSeconds, m / coreutilsSeconds, codecSeconds / coreutilsSeconds);
  };
  row("encode, fresh memory", fresh.encode, cuEncode);
  row("decode, fresh memory", fresh.decode, cuDecode);
  row("encode, reused heap", reused.encode, cuEncode);
  row("decode, reused heap", reused.decode, cuDecode);
  return 0;
}
