// Drives the text model with edits, undo, redo, rewrapping and a handler's replacing of the end
// chosen by the input, and checks after every step that the row index equals a fresh layout of
// the text and that LastChange describes the change; at the end, undoing everything gives back
// the text the history started from.
//
// Run with -max_len=512: a hundred steps over texts of a few hundred characters reach every
// wrapping and undo path, and the fresh layout after each step keeps its cost in proportion.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "textmodel.h"

namespace {

using calvexa::TextModel;

calvexa::CharMetrics Metrics(char32_t ch) {
  return {static_cast<float>(ch % 7 + 1), ch >= 0x300 && ch < 0x370};
}

// Kerning of some pairs, and a cluster that goes on after a joiner.
float Kerning(char16_t left, char16_t right) { return static_cast<float>((left ^ right) % 3) - 1; }
bool Boundary(std::u16string_view text, std::size_t at) { return at == 0 || text[at - 1] != 0x200D; }

void Check(bool ok) {
  if (!ok) std::abort();
}

constexpr int kWidths = 50;

// A model of that kind measuring with Metrics, wrapping at width; made once.
TextModel& Once(std::unique_ptr<TextModel>& model, bool multiLine, float width) {
  if (!model) {
    model = std::make_unique<TextModel>(multiLine);
    model->SetWrap(width, Metrics, {Kerning, Boundary});
  }
  return *model;
}

// The model the input edits, one of each kind, emptied and set to the input's width: setting up
// the measuring tables costs more than most inputs' edits, and what a model has measured stays
// right for the next text, as in a box.
TextModel& Emptied(bool multiLine, float width) {
  static std::unique_ptr<TextModel> models[2];
  TextModel& model = Once(models[multiLine], multiLine, width);
  model.SetText(u"", false);
  model.SetWrapWidth(width);
  return model;
}

// The fresh layout to compare with, one per kind and width, kept from input to input so that a
// step costs a layout of its text alone.
TextModel& Reference(bool multiLine, float width) {
  static std::unique_ptr<TextModel> models[2][kWidths];
  return Once(models[multiLine][static_cast<int>(width)], multiLine, width);
}

// Whether `change` turns before into after: the characters before its position and after its
// end are the same in both.
bool Describes(const TextModel::Change& change, const std::u16string& before,
               const std::u16string& after) {
  const std::size_t p = change.position;
  if (p + change.removed > before.size() || p + change.inserted > after.size() ||
      before.size() - change.removed != after.size() - change.inserted) {
    return false;
  }
  return before.compare(0, p, after, 0, p) == 0 &&
         before.compare(p + change.removed, std::u16string::npos, after, p + change.inserted,
                        std::u16string::npos) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t i = 0;
  const auto next = [&]() -> std::uint8_t { return i < size ? data[i++] : 0; };
  const bool multiLine = next() & 1;
  float width = static_cast<float>(next() % 40);
  TextModel& model = Emptied(multiLine, width);
  std::u16string start, before;  // where the history starts; the text before the step
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
    before = model.View();
    switch (op % 10) {
      case 0: model.SetCursor(a, op & 0x10); model.Insert(piece, TextModel::Edit::Typing); break;
      case 1: model.Select(a, b); model.Insert(piece, TextModel::Edit::Other); break;
      case 2: model.Remove(a, b, TextModel::Edit::DeleteBackward); break;
      case 3: model.Undo(); break;
      case 4: model.Redo(); break;
      case 5: {
        std::u16string text = piece;
        if (op & 0x20) text.reserve(text.size() + 24);  // with room for the room before it
        model.SetText(std::move(text), op & 0x10);
        start = piece;
        break;
      }
      case 6: width = static_cast<float>(a % kWidths); model.SetWrapWidth(width); break;
      case 7: {
        // A handler rewrites the text from a; a writer that fails part-way leaves what it
        // appended before failing.
        const bool fails = op & 0x20;
        try {
          model.ReplaceFrom(a, piece.size(), [&](std::u16string& text) {
            text.append(piece, 0, fails ? piece.size() / 2 : piece.size());
            if (fails) throw 0;
          }, op & 0x10);
          Check(!fails);
        } catch (int) {
          Check(fails);
          piece.resize(piece.size() / 2);
        }
        Check(model.View() == before.substr(0, a) + piece && !model.CanUndo());
        Check(model.Cursor() == model.Anchor() && model.Cursor() == (op & 0x10 ? model.Size() : 0));
        start = model.View();
        break;
      }
      case 8: model.Move(std::min(a, b), std::max(a, b), next() % (model.Size() + 1)); break;
      default:
        model.EndUndoGroup();
        if (op & 0x10) Check(model.Text() == before);  // moves the text to its buffer's front
    }
    Check(model.Cursor() <= model.Size() && model.Anchor() <= model.Size());
    const std::u16string after(model.View());  // leaves any room before the text for the next edit
    if (after != before) Check(Describes(model.LastChange(), before, after));
    TextModel& fresh = Reference(model.MultiLine(), width);
    fresh.SetText(after, false);
    Check(fresh.RowCount() == model.RowCount());
    for (std::size_t r = 0; r < model.RowCount(); ++r) {
      Check(fresh.RowStart(r) == model.RowStart(r));
      Check(model.RowEnd(r) >= model.RowStart(r));
    }
  }
  while (model.Undo()) {
  }
  Check(model.Text() == start);
  return 0;
}
