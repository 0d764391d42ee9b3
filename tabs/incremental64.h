#pragma once
// The Base 64 tab's outputs kept up to date as its inputs change, redoing only what a change
// reaches. Each output is always exactly what Encode64 or Decode64 gives for the whole input
// (the decoding output is empty where Decode64 finds nothing to decode).
//
// Every change of an input is handed over in turn: the whole new input and where it changed.
// The output is written through a sink that keeps its text before a position and replaces the
// rest with what a writer appends (a box's ReplaceFrom). Only this class writes the output; if
// anything else changed it, or an update failed, Forget() makes the next update redo it whole.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base64.h"

namespace calvexa {

// At position, `removed` characters of the old text were replaced by `inserted` new ones.
struct TextEdit {
  std::size_t position = 0, removed = 0, inserted = 0;
};

// Keeps the output's text before position and replaces the rest with what write appends to the
// text it is handed; reserve is about how many characters that will be.
using OutputFrom = std::function<void(std::size_t position, std::size_t reserve,
                                      const std::function<void(std::u16string&)>& write)>;

// Encoding: redone from the start of the output line (57 input bytes) that holds the first
// changed byte.
class IncrementalEncode64 {
 public:
  void Update(const Base64& codec, std::u16string_view input, const TextEdit& edit,
              const OutputFrom& output);
  void Forget() { known = false; }

 private:
  bool known = false;  // the output holds the encoding of an input of inputSize characters
  std::size_t inputSize = 0;
};

// Decoding: redone from the group of four values that holds the first changed value. Every
// change can shift all the groups after it, so everything after that group is decoded again;
// what comes before it is kept, found through marks left every markSpacing characters or so:
// a change at the end of a large text decodes about that many again.
class IncrementalDecode64 {
 public:
  explicit IncrementalDecode64(std::size_t markSpacing = 4096) : spacing(markSpacing) {}
  void Update(const Base64& codec, std::u16string_view input, const TextEdit& edit,
              const OutputFrom& output);
  void Forget() { known = false; }

 private:
  // Where a run of decoding ended on a complete group: the input up to there decodes to the
  // output's first `output` characters.
  struct Mark {
    std::size_t input = 0, output = 0;
  };
  std::size_t spacing;
  bool known = false;
  std::size_t inputSize = 0;
  std::vector<Mark> marks;  // in order; reused from change to change
};

}  // namespace calvexa
