// Drives the text model with edits, undo, redo and rewrapping chosen by the input, and checks
// that the row index always equals a fresh layout of the text and that undo restores it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "textmodel.h"

namespace {

calvexa::CharMetrics Metrics(char32_t ch) {
  return {static_cast<float>(ch % 7 + 1), ch >= 0x300 && ch < 0x370};
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using calvexa::TextModel;
  std::size_t i = 0;
  const auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  TextModel model(next() & 1);
  float width = static_cast<float>(next() % 40);
  model.SetWrap(width, Metrics);
  std::u16string history;
  while (i < size) {
    const std::uint8_t op = next();
    const std::size_t a = next() % (model.Size() + 1), b = next() % (model.Size() + 1);
    std::u16string piece;
    for (int n = next() % 8; n > 0; --n) {
      const std::uint8_t c = next();
      // Bytes pick line breaks, surrogate halves, marks and letters.
      static const char16_t kChars[] = {u'\r', u'\n', 0xD83D, 0xDE00, 0x301, u'a', u'B', 0x2028, 0};
      piece += c < 160 ? kChars[c % std::size(kChars)] : static_cast<char16_t>(c);
    }
    switch (op % 8) {
      case 0: model.SetCursor(a, op & 0x10); model.Insert(piece, TextModel::Edit::Typing); break;
      case 1: model.Select(a, b); model.Insert(piece, TextModel::Edit::Other); break;
      case 2: model.Remove(a, b, TextModel::Edit::DeleteBackward); break;
      case 3: model.Undo(); break;
      case 4: model.Redo(); break;
      case 5: model.SetText(piece, op & 0x10); break;
      case 6: width = static_cast<float>(a % 50); model.SetWrap(width, Metrics); break;
      default: model.EndUndoGroup();
    }
    Check(model.Cursor() <= model.Size() && model.Anchor() <= model.Size());
    TextModel fresh(model.MultiLine());
    fresh.SetWrap(width, Metrics);
    fresh.SetText(model.Text(), false);
    Check(fresh.RowCount() == model.RowCount());
    for (std::size_t r = 0; r < model.RowCount(); ++r) {
      Check(fresh.RowStart(r) == model.RowStart(r));
      Check(model.RowEnd(r) >= model.RowStart(r));
    }
  }
  return 0;
}
