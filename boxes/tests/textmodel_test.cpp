#include "textmodel.h"

#include <gtest/gtest.h>

#include <random>

namespace calvexa {
namespace {

// Narrow letters, wide capitals, zero-width marks: enough variety to wrap at odd places.
CharMetrics TestMetrics(char32_t ch) {
  if (ch == 0x301) return {0, true};
  if (ch >= 'A' && ch <= 'Z') return {9, false};
  return {ch >= 0x10000 ? 12.0f : 5.0f, false};
}

std::vector<std::size_t> Rows(const TextModel& model) {
  std::vector<std::size_t> rows;
  for (std::size_t i = 0; i < model.RowCount(); ++i) rows.push_back(model.RowStart(i));
  return rows;
}

// Rows as a plain rescan of the text lays them out.
std::vector<std::size_t> ReferenceRows(const std::u16string& text, float width) {
  TextModel fresh(true);
  fresh.SetWrap(width, TestMetrics);
  fresh.SetText(text, false);
  return Rows(fresh);
}

TEST(TextModel, TypedAndPastedLineBreaksBecomeCrLfWrittenTextStaysAsIs) {
  struct Row {
    std::u16string typed, stored;
  } rows[] = {
      {u"a\nb", u"a\r\nb"},      {u"a\rb", u"a\r\nb"},     {u"a\r\nb", u"a\r\nb"},
      {u"a\u2028b\u2029", u"a\r\nb\r\n"}, {u"\r\r\n\n", u"\r\n\r\n\r\n"},
  };
  for (const Row& row : rows) {
    TextModel multi(true), single(false);
    multi.Insert(row.typed, TextModel::Edit::Other);
    single.Insert(row.typed, TextModel::Edit::Other);
    EXPECT_EQ(multi.Text(), row.stored);
    EXPECT_EQ(single.Text(), row.typed);
    multi.SetText(row.typed, false);
    EXPECT_EQ(multi.Text(), row.typed);
  }
}

TEST(TextModel, CaretNeverSplitsAPairAndUndoGroupsRunsOfOneKind) {
  TextModel model(true);
  model.SetText(u"a\r\n\U0001F600b", false);
  model.SetCursor(2, false);  // between CR and LF
  EXPECT_EQ(model.Cursor(), 1u);
  EXPECT_EQ(model.NextChar(1), 3u);
  EXPECT_EQ(model.NextChar(3), 5u);  // the astral character is one step
  EXPECT_EQ(model.PreviousChar(5), 3u);

  model.SetText(u"", false);
  for (char16_t c : std::u16string(u"ab cd")) model.Insert(std::u16string(1, c), TextModel::Edit::Typing);
  model.Remove(4, 5, TextModel::Edit::DeleteBackward);
  model.Remove(3, 4, TextModel::Edit::DeleteBackward);
  model.Insert(u"x", TextModel::Edit::Typing);
  EXPECT_EQ(model.Text(), u"ab x");
  ASSERT_TRUE(model.Undo());
  EXPECT_EQ(model.Text(), u"ab ");
  ASSERT_TRUE(model.Undo());
  EXPECT_EQ(model.Text(), u"ab cd");
  EXPECT_EQ(model.Cursor(), 5u);
  ASSERT_TRUE(model.Undo());
  EXPECT_EQ(model.Text(), u"");
  EXPECT_FALSE(model.CanUndo());
  while (model.Redo()) {
  }
  EXPECT_EQ(model.Text(), u"ab x");
}

// Random edits, undos and redos keep the row index equal to a fresh layout of the text, and
// undoing everything gives back the text the history started from.
TEST(TextModel, IncrementalRowsMatchAFreshLayoutUnderRandomEdits) {
  static const std::u16string kPieces[] = {u"a",  u"W",    u"\r\n", u"\r", u"\n",  u"e\u0301",
                                           u" ",  u"\U0001F600", u"xyzXYZ", u"\0", u"abcdefghij"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const float width = static_cast<float>(10 + rng() % 60);
    TextModel model(true);
    model.SetWrap(width, TestMetrics);
    std::u16string start = seed % 2 ? u"" : u"line\rtwo\nthree\r\nfour";
    model.SetText(start, false);
    for (int step = 0; step < 300; ++step) {
      const std::size_t a = rng() % (model.Size() + 1), b = rng() % (model.Size() + 1);
      switch (rng() % 8) {
        case 0:
        case 1: {
          model.SetCursor(a, false);
          const auto kind = rng() % 2 ? TextModel::Edit::Typing : TextModel::Edit::Other;
          model.Insert(kPieces[rng() % std::size(kPieces)], kind);
          break;
        }
        case 2:
          model.Remove(std::min(a, b), std::max(a, b), TextModel::Edit::DeleteForward);
          break;
        case 3:
          model.Select(a, b);
          model.Insert(kPieces[rng() % std::size(kPieces)], TextModel::Edit::Other);
          break;
        case 4:
          model.Undo();
          break;
        case 5:  // a handler rewrites the end; the history starts over, as after SetText
          model.ReplaceFrom(a, 4, [&](std::u16string& text) {
            text += kPieces[rng() % std::size(kPieces)];
          }, rng() % 2);
          start = model.Text();
          break;
        case 6:
          model.Remove(0, model.Size(), TextModel::Edit::Other);
          break;
        default:
          model.Redo();
      }
      ASSERT_EQ(Rows(model), ReferenceRows(model.Text(), width)) << "seed " << seed << " step " << step;
    }
    while (model.Undo()) {
    }
    EXPECT_EQ(model.Text(), start) << "seed " << seed;
  }
}

}  // namespace
}  // namespace calvexa
