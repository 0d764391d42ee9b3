#include "incremental64.h"

#include <algorithm>

namespace calvexa {
namespace {

constexpr std::size_t kBytesPerLine = 57;
constexpr std::size_t kLineChars = 78;  // 76 and CR LF

// Whether edit can have turned a text of oldSize characters into one of newSize.
bool Fits(const TextEdit& edit, std::size_t oldSize, std::size_t newSize) {
  return edit.position <= oldSize && edit.removed <= oldSize - edit.position &&
         edit.inserted <= newSize && newSize - edit.inserted + edit.removed == oldSize;
}

}  // namespace

void IncrementalEncode64::Update(const Base64& codec, std::u16string_view input,
                                 const TextEdit& edit, const OutputFrom& output) {
  const std::size_t n = input.size();
  // One byte per character, so the bytes before the change are the ones before. The lines
  // before its line keep their text only if the old and the new result are both broken into
  // lines: a single line has no CR LF.
  std::size_t line = 0;
  if (known && Fits(edit, inputSize, n) && inputSize > kBytesPerLine && n > kBytesPerLine) {
    line = edit.position / kBytesPerLine;
  }
  known = false;
  const std::size_t from = line * kBytesPerLine, rest = n - from;
  bool written = false;
  output(line * kLineChars, (rest + 2) / 3 * 4 + 2 * (rest / kBytesPerLine + 1),
         [&](std::u16string& out) {
           codec.Encode64Lines(input.substr(from), n > kBytesPerLine, out);
           written = true;
         });
  inputSize = n;
  known = written;
}

void IncrementalDecode64::Update(const Base64& codec, std::u16string_view input,
                                 const TextEdit& edit, const OutputFrom& output) {
  const std::size_t n = input.size();
  if (known && Fits(edit, inputSize, n)) {
    // A mark holds while the characters up to and including the one at it are unchanged:
    // whether a CR just before it ends a line break depends on that one.
    marks.erase(std::lower_bound(marks.begin(), marks.end(), edit.position,
                                 [](const Mark& m, std::size_t p) { return m.input < p; }),
                marks.end());
  } else {
    marks.clear();
  }
  known = false;
  const Mark start = marks.empty() ? Mark{} : marks.back();
  bool written = false;
  // Room for a few more than the output: the decoder lengthens it a stretch at a time.
  output(start.output, (n - start.input) / 4 * 3 + 8, [&](std::u16string& out) {
    for (std::size_t at = start.input;;) {
      const Base64::DecodeRun run = codec.Decode64Run(input, at, at + spacing, out);
      if (run.atEnd) break;
      marks.push_back({run.end, out.size()});
      at = run.end;
    }
    written = true;
  });
  inputSize = n;
  known = written;
}

}  // namespace calvexa
