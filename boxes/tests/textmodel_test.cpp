#include "textmodel.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "linescroll.h"

// Every allocation of the test program comes here; armed, the allocation that many allocations
// on fails as if memory had run out.
static long allocationsBeforeFailure = -1;  // below 0: never fail

void* operator new(std::size_t size) {
  if (allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size > 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
// GCC takes the pairing of this operator new's malloc with free for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace calvexa {
namespace {

// Narrow letters, wide capitals, zero-width marks, a spacing mark, and a lone surrogate half
// drawn as a box wider than the pair it may become: enough variety to wrap at odd places.
CharMetrics TestMetrics(char32_t ch) {
  if (ch == 0x301 || ch == 0x200D || ch == 0xFE0F) return {0, true};
  if (ch == 0x93F) return {4, true};
  if (ch >= 0xD800 && ch < 0xE000) return {40, false};
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

// Advances in odd 64ths of a pixel, tabs, wide ideographs, the marks of TestMetrics, and ink
// past the advance of a few letters.
CharMetrics VariedMetrics(char32_t ch) {
  if (ch == u'\t') return {80, false};
  if (ch < 0xD800 || ch >= 0xE000) {
    const CharMetrics m = TestMetrics(ch);
    const float overhang = ch == 'V' || ch == 'f' ? 1.5f : ch == 'y' ? 0.25f : 0;
    if (!m.joinsPrevious) return {m.advance + static_cast<float>(ch % 97) / 64, false, overhang};
  }
  return TestMetrics(ch);
}

// Kerning between printable ASCII letters, as a font's table gives it; and a cluster that goes
// on after a joiner, as an emoji sequence does.
float VariedKerning(char16_t left, char16_t right) {
  const bool letters = std::isalpha(left) && std::isalpha(right);
  return letters ? static_cast<float>(static_cast<int>((left * 7 + right * 3) % 5) - 2) / 8 : 0;
}
bool AfterJoinerJoins(std::u16string_view text, std::size_t at) { return at == 0 || text[at - 1] != 0x200D; }
const Shaping kVariedShaping{VariedKerning, AfterJoinerJoins};

// The rows by the rules alone, one character at a time: a line break ends its row, and a
// character that would take its row (or its ink) past the width starts the next, unless it is
// the row's first, joins the one before (a mark, or anything after a joiner) or is a space
// (which hangs past the width instead). An advance takes the kerning against the next
// character. A tab reaches to the next stop; it starts a row only after spaces past the width,
// and one that passes the width ends its row unless it is the row's first.
std::vector<std::size_t> CharByCharRows(const std::u16string& t, float width) {
  std::vector<std::size_t> rows{0};
  const long limit = width > 0 ? std::lround(width * 64) : std::numeric_limits<long>::max();
  long x = 0;
  for (std::size_t i = 0, start = 0; i < t.size();) {
    const bool pair = i + 1 < t.size() && t[i] >= 0xD800 && t[i] < 0xDC00 && t[i + 1] >= 0xDC00 &&
                      t[i + 1] < 0xE000;
    if (t[i] == u'\r' || t[i] == u'\n') {
      i += t[i] == u'\r' && i + 1 < t.size() && t[i + 1] == u'\n' ? 2 : 1;
      rows.push_back(start = i);
      x = 0;
      continue;
    }
    const CharMetrics m = VariedMetrics(pair ? 0x10000 + ((t[i] - 0xD800) << 10) + (t[i + 1] - 0xDC00) : t[i]);
    long a = width > 0 ? std::lround(m.advance * 64) : 0;
    const long ink = width > 0 ? std::lround(m.overhang * 64) : 0;
    if (t[i] == u'\t' && width > 0) {
      if (x > limit && i > start) rows.push_back(start = i), x = 0;
      const long stops = (x * 64 + a / 2) / a / 64;  // rounded to a 64th of a stop first
      x = (stops + 1) * a;
      if (x > limit && i > start && i + 1 < t.size() && t[i + 1] != u'\r' && t[i + 1] != u'\n') {
        rows.push_back(start = i + 1);
        x = 0;
      }
      ++i;
      continue;
    }
    const auto ascii = [](char16_t c) { return c >= 0x20 && c <= 0x7E; };
    if (width > 0 && i + 1 < t.size() && ascii(t[i]) && ascii(t[i + 1])) {
      a += std::lround(VariedKerning(t[i], t[i + 1]) * 64);
    }
    // After a joiner, or the second of a pair of regional indicators from their run's start:
    // drawn as part of the glyph before.
    const auto regional = [&](std::size_t at) { return at + 1 < t.size() && t[at] == 0xD83C && t[at + 1] >= 0xDDE6 && t[at + 1] <= 0xDDFF; };
    std::size_t before = 0;
    for (std::size_t at = i; regional(i) && at >= 2 && regional(at - 2); at -= 2) ++before;
    const bool continues = !AfterJoinerJoins(t, i) || before % 2 == 1;
    if (continues) a = 0;
    if (x + a + ink > limit && i > start && !m.joinsPrevious && t[i] != u' ' && t[i] != 0x3000 && !continues) {
      rows.push_back(start = i);
      x = 0;
    }
    x += a;
    i += pair ? 2 : 1;
  }
  return rows;
}

TEST(TextModel, TypedAndPastedLineBreaksBecomeCrLfWrittenTextStaysAsIs) {
  struct Row {
    std::u16string typed, stored;
  } rows[] = {
      {u"a\nb", u"a\r\nb"},      {u"a\rb", u"a\r\nb"},     {u"a\r\nb", u"a\r\nb"},
      {u"a\u2028b\u2029", u"a\r\nb\r\n"}, {u"\r\r\n\n", u"\r\n\r\n\r\n"},
      // Long texts are looked at 32 characters at a time: breaks at and across the blocks' ends.
      {std::u16string(31, u'x') + u"\r\n" + std::u16string(40, u'y') + u"\n",
       std::u16string(31, u'x') + u"\r\n" + std::u16string(40, u'y') + u"\r\n"},
      {std::u16string(31, u'x') + u"\r" + std::u16string(32, u'y') + u"\u2029",
       std::u16string(31, u'x') + u"\r\n" + std::u16string(32, u'y') + u"\r\n"},
  };
  for (const Row& row : rows) {
    TextModel multi(true), single(false);
    multi.Insert(row.typed, TextModel::Edit::Other);
    single.Insert(row.typed, TextModel::Edit::Other);
    EXPECT_EQ(multi.Text(), row.stored);
    EXPECT_EQ(single.Text(), row.typed);
    multi.SetText(row.typed, false);
    EXPECT_EQ(multi.Text(), row.typed);
    // A drag within the box moves characters as they are, the caret after them; undone, the
    // caret goes back to where they were dropped.
    multi.Move(0, 1, multi.Size());
    multi.Move(multi.Size() - 1, multi.Size(), 0);
    EXPECT_EQ(multi.Text(), row.typed);
    EXPECT_EQ(multi.Cursor(), 1u);
    multi.Undo();
    EXPECT_EQ(multi.Cursor(), 0u);
    EXPECT_FALSE(multi.Move(0, 0, 1));  // nothing
    // Onto themselves they stay, as a step whose undo puts the caret where they were dropped.
    const std::u16string before = multi.Text();
    EXPECT_TRUE(multi.Move(0, multi.Size(), 1));
    EXPECT_EQ(multi.Text(), before);
    multi.Undo();
    EXPECT_EQ(multi.Text(), before);
    EXPECT_EQ(multi.Cursor(), multi.Snap(1, false));
  }
}

// However a text came in, the first key at its start moves the characters before it alone,
// into room kept before the text, as the next keys do.
TEST(TextModel, TheFirstKeyAtTheStartOfATextThatCameInMovesNothingElse) {
  const std::u16string lines = [] {
    std::u16string t;
    while (t.size() < 100000) t += u"0123456789ABCDEFGHIJ\r\n";
    return t;
  }();
  std::u16string spare = lines;
  spare.reserve(2 * lines.size());
  const std::function<void(TextModel&)> ways[] = {
      [&](TextModel& m) { m.Insert(lines, TextModel::Edit::Paste); },
      [&](TextModel& m) { m.Insert(u"\n" + lines, TextModel::Edit::Paste); },  // made CR LF
      [&](TextModel& m) { m.SetText(std::move(spare), false); },  // room in the text's own buffer
      [&](TextModel& m) { m.Insert(lines, TextModel::Edit::Paste), m.SetText(lines, false); },  // the old text's
      [&](TextModel& m) { m.Insert(lines, TextModel::Edit::Paste), m.Remove(0, m.Size(), TextModel::Edit::Other), m.Undo(); },
  };
  for (std::size_t way = 0; way < std::size(ways); ++way) {
    TextModel model(true);
    ways[way](model);
    const std::u16string text(model.View());
    const char16_t* const start = model.View().data();
    model.SetCursor(0, false);
    ASSERT_TRUE(model.Insert(u"Q", TextModel::Edit::Typing));
    EXPECT_EQ(model.View().data(), start - 1) << "way " << way;
    EXPECT_EQ(model.View(), u"Q" + text) << "way " << way;
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

// Keys played into a model as the widgets play them, and the text and caret after each undo,
// as Qt's QPlainTextEdit and QLineEdit give them ("|" is a line break, two characters here).
TEST(TextModel, UndoGroupsEditsAsQtsBoxesDo) {
  struct Row {
    bool multiLine;
    const char* keys;  // letters typed, L and R move, B Backspace, D Delete, E Enter
    const char* undos;
  } rows[] = {
      {true, "abcdLLBDB", "abcd@3 @0"},  // mixed at one spot: one step, caret after it
      {true, "abcdLLDBD", "abcd@4 @0"},
      {true, "abcLBRRB", "abc@3 @0"},  // joined on either side of the spot
      {true, "abEcdBBBBB", "ab@2 ab|@4 ab|cd@6 ab|@4 ab@2 @0"},  // a line break apart
      {true, "abEcdLLBB", "abcd@2 ab|cd@4 ab|@4 ab@2 @0"},
      {false, "abcdLLBDB", "ad@1 acd@1 abcd@2 @0"},  // a line edit: runs of one key
      {false, "abcdLLBBDD", "cd@0 abcd@2 @0"},
  };
  for (const Row& row : rows) {
    TextModel model(row.multiLine);
    for (const char* k = row.keys; *k; ++k) {
      const std::size_t at = model.Cursor();
      if (*k == 'L' || *k == 'R') {
        model.SetCursor(*k == 'L' ? model.PreviousChar(at) : model.NextChar(at), false);
        if (!row.multiLine) model.EndUndoGroup();  // a line edit's caret moves end a step
      } else if (*k == 'B') {
        model.Remove(model.PreviousChar(at), at, TextModel::Edit::DeleteBackward);
      } else if (*k == 'D') {
        model.Remove(at, model.NextChar(at), TextModel::Edit::DeleteForward);
      } else if (*k == 'E') {
        model.Insert(u"\r\n", TextModel::Edit::Other);
      } else {
        model.Insert(std::u16string(1, static_cast<char16_t>(*k)), TextModel::Edit::Typing);
      }
    }
    std::string undos;
    while (model.Undo()) {
      if (!undos.empty()) undos += ' ';
      for (char16_t c : model.Text()) {
        if (c != u'\n') undos += c == u'\r' ? '|' : static_cast<char>(c);
      }
      undos += '@' + std::to_string(model.Cursor());
    }
    EXPECT_EQ(undos, row.undos) << row.keys;
  }
}

// A run of spacing marks (each as wide as the box allows) stays on the row of its letter; its
// width would pass the range of a 32-bit sum.
TEST(TextModel, AJoiningRunNeverStartsARowHoweverWide) {
  TextModel model(true);
  model.SetWrap(50, [](char32_t ch) {
    return CharMetrics{ch == 0x93F ? 1.0e6f : 5.0f, ch == 0x93F};
  });
  model.SetText(u"a" + std::u16string(40, u'\u093F') + u"b", false);
  EXPECT_EQ(Rows(model), (std::vector<std::size_t>{0, 41}));
}

// Random edits, undos and redos keep the row index equal to a fresh layout of the text, and
// undoing everything gives back the text the history started from.
TEST(TextModel, IncrementalRowsMatchAFreshLayoutUnderRandomEdits) {
  // Lone halves, CR and LF apart and joining characters, inserted anywhere, join or split
  // pairs and clusters with the characters beside the edit.
  static const std::u16string kPieces[] = {
      u"a",      u"W",          u"\r\n",   u"\r",         u"\n",     u"e\u0301",
      u" ",      u"\U0001F600", u"xyzXYZ", u"\0",         u"abcdefghij",
      u"\xD83D", u"\xDE00",     u"\u093F", u"\u200D\uFE0F"};
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const float width = static_cast<float>(10 + rng() % 60);
    TextModel model(true);
    model.SetWrap(width, TestMetrics);
    std::u16string start = seed % 2 ? u"" : u"line\rtwo\nthree\r\nfour";
    model.SetText(start, false);
    for (int step = 0; step < 1000; ++step) {
      // Half the edits land at, or a character beside, where the last one ended.
      const std::size_t end = model.LastChange().position + model.LastChange().inserted;
      const std::size_t a = rng() % 2 ? end + rng() % 3 - std::min<std::size_t>(end, 1)
                                      : rng() % (model.Size() + 1);
      const std::size_t b = rng() % (model.Size() + 1);
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
      // View() leaves the room kept before the text for the next edit near the start.
      ASSERT_EQ(Rows(model), ReferenceRows(std::u16string(model.View()), width)) << "seed " << seed << " step " << step;
    }
    while (model.Undo()) {
    }
    EXPECT_EQ(model.Text(), start) << "seed " << seed;
  }
}

// Long texts of every kind of character, laid out whole, rewritten from a point and edited, give
// the rows of the character-by-character rules: the model's quick paths change no row.
TEST(TextModel, RowsMatchACharacterByCharacterLayoutOnRandomTexts) {
  static const std::u16string kPieces[] = {
      u"\r\n", u"\r", u"\n", u"\u2028", u"\u2029", u"\t", u"e\u0301", u"\u00E9\u00FF", u"\u2019\u20AC", u"\u4E00",
      u"\U0001F600", u"\xD83D", u"\xDE00", u"\u093F", u"\u200D\uFE0F", std::u16string(1, 0),
      u"\u3000\u00A0  ", u"\U0001F469\u200D\u2764\uFE0F\u200D\U0001F468", u"x\u200Dyy", u"  \t\t  \t",
      u"\U0001F1E9\U0001F1EA\U0001F1EB"};
  for (unsigned seed = 1; seed <= 16; ++seed) {
    std::mt19937 rng(seed);
    const auto piece = [&] {
      std::u16string run(rng() % 200, u'a');  // mostly plain letters, as most texts are
      for (char16_t& c : run) c = static_cast<char16_t>(u' ' + rng() % 95);
      return run.insert(rng() % (run.size() + 1), kPieces[rng() % std::size(kPieces)]);
    };
    std::u16string text;
    while (text.size() < (seed % 4 ? 3000 : 90000)) text += piece();
    // No wrapping, rows narrower than some characters, and wider ones.
    float width = seed % 5 == 0 ? 0
                  : static_cast<float>(seed % 3 ? 2 + rng() % 400 : 1 + rng() % 12) +
                        static_cast<float>(rng() % 64) / 64;
    TextModel model(true);
    model.SetWrap(width, VariedMetrics, kVariedShaping);
    model.SetText(text, false);
    for (int step = 0; step < 12; ++step) {
      if (step == 6) model.SetWrapWidth(width += 7.25f);  // a resize: the advances already measured
      ASSERT_EQ(Rows(model), CharByCharRows(model.Text(), width)) << "seed " << seed << " step " << step;
      // Width adds up what stepping through the characters adds.
      const std::size_t from = model.Snap(rng() % (model.Size() + 1), false);
      double stepped = 0;
      for (std::size_t at = from; at < model.Size(); at = model.NextChar(at)) stepped += model.Advance(at);
      ASSERT_EQ(model.Width(from, model.Size()), stepped) << "seed " << seed << " step " << step;
      if (step % 2) {
        model.ReplaceFrom(rng() % model.Size(), 0, [&](std::u16string& t) { t += piece(); }, false);
      } else {
        model.SetCursor(rng() % model.Size(), false);
        model.Insert(piece(), TextModel::Edit::Paste);  // every line break in it becomes CR LF
        const std::u16string_view in =
            std::u16string_view(model.Text()).substr(model.LastChange().position, model.LastChange().inserted);
        for (std::size_t k = 0; k < in.size(); ++k) {
          ASSERT_TRUE(in[k] == u'\r'   ? k + 1 < in.size() && in[k + 1] == u'\n'
                      : in[k] == u'\n' ? k > 0 && in[k - 1] == u'\r'
                                       : (in[k] & 0xFFFE) != 0x2028) << "seed " << seed;
        }
      }
    }
  }
}

// Memory running out at any allocation of an edit, an undo, a rewrite or a new layout leaves a
// model that works on: the caret in the text, the rows right again after the next edit, and the
// history undoable to its start.
TEST(TextModel, RunningOutOfMemoryAnywhereLeavesAWorkingModel) {
  const std::u16string lines = u"one two\r\nthree \u4E2D four five six seven\r\n\r\neight";
  const auto many = [](std::u16string& text) {
    for (int i = 0; i < 20000; ++i) text += u"written\r\n";  // more than the buffer and index hold
  };
  float width = 30;
  const std::function<void(TextModel&)> ops[] = {
      [](TextModel& m) { m.Insert(u"new\nline", TextModel::Edit::Typing); },
      [](TextModel& m) { m.Remove(2, 12, TextModel::Edit::DeleteBackward); },
      [](TextModel& m) { m.Undo(); },
      [](TextModel& m) { m.Undo(), m.Redo(); },
      [&](TextModel& m) {  // what comes back needs more rows than the index has room for
        m.Remove(0, m.Size(), TextModel::Edit::Other);
        m.SetWrap(width = 6, TestMetrics);
        m.Undo();
      },
      [&](TextModel& m) { m.ReplaceFrom(4, 8, many, true); },
      [](TextModel& m) { m.ReplaceFrom(4, 8, [](std::u16string& t) { t += u"end"; }, false); },
      [&](TextModel& m) { m.SetWrap(width = 9, TestMetrics); },
      [](TextModel& m) { m.Remove(3, m.Size() - 4, TextModel::Edit::DeleteForward); },  // caret 8 of 7
      [](TextModel& m) { m.Move(0, 5, 12); },
  };
  for (std::size_t op = 0; op < std::size(ops); ++op) {
    for (long failAt = 0;; ++failAt) {
      // A large text, whose buffer a rewrite to a short one gives back, with a history.
      TextModel model(true);
      model.SetWrap(width = 30, TestMetrics);
      const std::u16string start = lines + std::u16string(70000, u'x');
      model.SetText(start, false);
      model.SetCursor(3, false);
      model.Insert(u"ab", TextModel::Edit::Typing);
      model.Remove(8, 9, TextModel::Edit::DeleteForward);
      bool failed = false;
      allocationsBeforeFailure = failAt;
      try {
        ops[op](model);
      } catch (const std::bad_alloc&) {
        failed = true;
      }
      allocationsBeforeFailure = -1;
      const std::u16string left = model.Text();
      const std::string where = "op " + std::to_string(op) + ", allocation " + std::to_string(failAt);
      ASSERT_LE(model.SelectionEnd(), model.Size()) << where;
      model.SetCursor(0, false);
      model.Insert(u"z", TextModel::Edit::Other);
      ASSERT_EQ(Rows(model), ReferenceRows(model.Text(), width)) << where;
      while (model.Undo()) {
      }
      ASSERT_EQ(Rows(model), ReferenceRows(model.Text(), width)) << where;
      // Undoing everything gives back a text the model had: where its history starts, or what
      // the operation left if the history had to go.
      ASSERT_TRUE(model.Text() == start || model.Text() == left) << where;
      if (!failed) break;
    }
  }
}

// A one-line box wider than an int's range of pixels keeps its caret in view.
TEST(TextModel, LineScrollFollowsTheCaretPastAnIntsRangeOfPixels) {
  TextModel line(false);
  line.SetWrap(0, [](char32_t) { return CharMetrics{1.0e6f, false}; });
  line.SetText(std::u16string(3000, u'\t'), true);
  LineScroll scroll(line);
  scroll.Follow(line.Size(), 400);
  EXPECT_EQ(scroll.Offset(), 3'000'000'000 - 399);
  EXPECT_EQ(scroll.FirstInView(), 2999u);
}

}  // namespace
}  // namespace calvexa
