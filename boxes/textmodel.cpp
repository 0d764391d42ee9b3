#include "textmodel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

namespace calvexa {
namespace {

constexpr std::size_t kNoLine = std::numeric_limits<std::size_t>::max();

// Widths are summed as whole 64ths of a pixel: integer sums are exact and quicker.
constexpr float kUnitsPerPixel = 64;
// In the tables the wrapping loop adds up: an advance past any width, for characters it must
// look at closer. Four of them on a row of the widest width still sum within range.
constexpr std::int32_t kSlow = std::int32_t{1} << 26;

// Characters below this (the alphabets, punctuation and symbols of most texts) have their
// metrics in flat tables; the rest, surrogates included, in a map. A power of two, so that
// four characters are tested against it at once.
constexpr char16_t kTable = 0x4000;
constexpr std::uint64_t kOutsideTable = 0xC000C000C000C000u;
// The room a multi-line text keeps before itself when it is moved or set: enough for many keys
// at its start before it has to move again.
std::size_t RoomBefore(std::size_t size) { return size / 64 + 16; }
// Chosen once for the process, before any box exists (KeepEmptiedBuffersOnce).
bool keepEmptiedBuffers = false;
// Wrapping this many characters tells about how many rows the rest of a text needs.
constexpr std::size_t kEstimateAfter = std::size_t{1} << 16;

// When nothing wraps, only line breaks need a closer look.
const std::int32_t* BreaksOnly() {
  static const std::vector<std::int32_t> table = [] {
    std::vector<std::int32_t> t(kTable, 0);
    t[u'\r'] = t[u'\n'] = kSlow;
    return t;
  }();
  return table.data();
}
const std::int32_t* NoOverhang() {
  static const std::vector<std::int32_t> table(kTable, 0);
  return table.data();
}
std::int32_t ToUnits(float pixels) {  // at most 64e6, below kSlow
  return static_cast<std::int32_t>(std::lround(std::clamp(pixels, 0.0f, 1.0e6f) * kUnitsPerPixel));
}

// A space that breaks words never starts a row: past the width it stays at the end of the row
// before, however many there are, as in Qt's layouts (no-break spaces take their place like
// any character; tabs have rules of their own).
bool HangsAtRowEnd(char16_t c) {
  return c == u' ' || c == 0x1680 || (c >= 0x2000 && c <= 0x200A && c != 0x2007) || c == 0x205F ||
         c == 0x3000;
}

// Where the wrapping loop is within a row: the width so far, where the row starts, and the
// position after the last character of the slow path, which the slow path takes too (it may
// continue that character's cluster).
struct RowSoFar {
  std::int32_t x = 0;
  std::size_t start = 0;
  std::size_t guard = static_cast<std::size_t>(-1);
};

// The kerning the wrapping loop adds: of every pair of ASCII characters, in 64ths of a pixel
// (0 beside any other character); and for ASCII text, the advance of each character before
// each other one with that kerning, so that a character costs one look-up in a small table as
// without kerning. The table holds advances below kPairLimit; kSlowPair stands for a character
// of the slow path and for an advance it does not hold (a giant font's, or one that kerning
// takes below 0), so that four advances from it add up to below 0 exactly where one is that.
constexpr std::uint64_t kOutsideAscii = 0xFF80FF80FF80FF80u;
constexpr std::int32_t kPairLimit = 1 << 13;
constexpr std::int16_t kSlowPair = std::numeric_limits<std::int16_t>::min();
struct KernTable {
  const std::int16_t* pairs;
  const std::int16_t* advances;
  std::int32_t operator()(char16_t left, char16_t right) const {
    // Looked up whatever the pair, so that mixed text costs no branch; only ASCII pairs kern.
    const std::int32_t kerning = pairs[((left & 0x7F) << 7) | (right & 0x7F)];
    return (left | right) < 0x80 ? kerning : 0;
  }
  // The advances in the table of the four characters at s with their kerning against the
  // character after each (s[4] after the last); false if any of the five is outside ASCII.
  bool Four(const char16_t* s, std::int32_t& a0, std::int32_t& a1, std::int32_t& a2,
            std::int32_t& a3) const {
    std::uint64_t four, next;  // next: the four from the second one on
    std::memcpy(&four, s, sizeof four);
    std::memcpy(&next, s + 1, sizeof next);
    if ((four | next) & kOutsideAscii) return false;
    // Every 16 bits become the index of a character and the one after it, all four at once:
    // no code below 0x80 reaches the next 16 bits when shifted by 7.
    const std::uint64_t at = (four << 7) | next;
    a0 = advances[at & 0xFFFF];
    a1 = advances[(at >> 16) & 0xFFFF];
    a2 = advances[(at >> 32) & 0xFFFF];
    a3 = advances[at >> 48];
    return true;
  }
  // Adds to a0..a3 the kerning of the four characters of four against the character after each
  // (next: the four from the second one on), without a branch: a pair with a character outside
  // ASCII looks up the table's first entry, two NULs, which kerns nothing.
  void AddFour(std::uint64_t four, std::uint64_t next, std::int32_t& a0, std::int32_t& a1,
               std::int32_t& a2, std::int32_t& a3) const {
    constexpr std::uint64_t kLow = 0x007F007F007F007Fu;
    // 1 in every 16 bits whose pair is not all ASCII (their high bits, moved down, are below
    // 0x200, and 0x7FFF more reaches bit 15 only from 1 on).
    const std::uint64_t outside =
        (((((four | next) & kOutsideAscii) >> 7) + 0x7FFF7FFF7FFF7FFFu) & 0x8000800080008000u) >> 15;
    const std::uint64_t at = (((four & kLow) << 7) | (next & kLow)) & ~(outside * 0xFFFF);
    a0 += pairs[at & 0xFFFF];
    a1 += pairs[(at >> 16) & 0xFFFF];
    a2 += pairs[(at >> 32) & 0xFFFF];
    a3 += pairs[at >> 48];
  }
  // From i on, the blocks of four ASCII characters that stay on the row (x wide so far) within
  // limit, the character after each before end: adds them to x and returns where they stop.
  std::size_t Fitting(const char16_t* s, std::size_t i, std::size_t end, std::int32_t limit,
                      std::int32_t& x) const {
    if (end - i < 5) return i;
    const char16_t* at = s + i;
    const char16_t* const last = s + end - 4;
    std::int32_t a0, a1, a2, a3, sum = x;
    for (; at < last && Four(at, a0, a1, a2, a3); at += 4) {
      const std::int32_t four = a0 + a1 + a2 + a3;
      if (four < 0 || sum + four > limit) break;
      sum += four;
    }
    x = sum;
    return static_cast<std::size_t>(at - s);
  }
};

// Lays out the plain characters from i on (those with an advance in fast) until end or the
// first character that needs a closer look (a line break, a tab, a mark, a surrogate, one not
// measured yet), and returns where it stopped. The hot path of every paste: characters in the
// flat tables are added up four at a time, and a row breaks inside a block where a
// character-by-character pass would break it, so the rows are the ones that pass gives. A
// character's overhang counts when it would end its row: a block near the edge is stepped
// through if any has one. With Kerned, each advance takes the kerning against the character
// after it (n: the text's size), as shaping adds it to the first of a pair.
template <bool Kerned>
std::size_t PlainRun(const char16_t* s, std::size_t i, std::size_t end, std::size_t n,
                     const std::int32_t* fast, const std::int32_t* overhang,
                     std::int32_t maxOverhang, std::int32_t width, KernTable kern,
                     RowSoFar& row, std::vector<std::size_t>& rows) {
  if (i == row.guard) return i;  // right after a character of the slow path, which takes it too
  std::int32_t x = row.x;
  std::size_t start = row.start;
  const auto after = [&](std::size_t at) -> char16_t {  // 0 where nothing follows
    return at + 1 < n ? s[at + 1] : 0;
  };
  // A block that ends within this stays on its row, overhangs and all.
  const std::int32_t roomy = width - maxOverhang;
  while (i < end) {
    // With kerning, while the character after the block is in the text too (the last few of
    // the text go one by one).
    while (end - i >= (Kerned ? 5 : 4)) {
      std::int32_t a0, a1, a2, a3;
      if (Kerned && kern.Four(s + i, a0, a1, a2, a3)) {
        const std::int32_t four = a0 + a1 + a2 + a3;
        if (four < 0) break;  // something to look at closer
        if (x + four <= roomy) {
          x += four;
          i = kern.Fitting(s, i + 4, end, roomy, x);  // most of an ASCII text, looked at no closer
          continue;
        }
      } else {
        // Outside ASCII: the advances and the kerning apart.
        std::uint64_t four;
        std::memcpy(&four, s + i, sizeof four);
        if (four & kOutsideTable) break;
        const char16_t c0 = four & 0xFFFF, c1 = (four >> 16) & 0xFFFF, c2 = (four >> 32) & 0xFFFF,
                       c3 = four >> 48;
        a0 = fast[c0], a1 = fast[c1], a2 = fast[c2], a3 = fast[c3];
        if ((a0 | a1 | a2 | a3) & kSlow) break;
        if constexpr (Kerned) {
          std::uint64_t next;
          std::memcpy(&next, s + i + 1, sizeof next);
          kern.AddFour(four, next, a0, a1, a2, a3);
        }
        if (x + a0 + a1 + a2 + a3 <= roomy) {
          x += a0 + a1 + a2 + a3;
          i += 4;
          continue;
        }
      }
      // The row may end in this block: before the first character that takes it (or its ink)
      // past the width, found without a branch for each. If the rest of the block fits on the
      // next row, ink and all, the block is done; otherwise (a row narrower than what is left, a
      // space that hangs instead, an advance that kerning took below 0) it is stepped through
      // one by one.
      if ((a0 | a1 | a2 | a3) < 0) break;
      const std::int32_t before[4] = {x, x + a0, x + a0 + a1, x + a0 + a1 + a2};
      const std::int32_t sum = before[3] + a3;
      const unsigned past = unsigned{before[1] + overhang[s[i]] > width} |
                            unsigned{before[2] + overhang[s[i + 1]] > width} << 1 |
                            unsigned{before[3] + overhang[s[i + 2]] > width} << 2 |
                            unsigned{sum + overhang[s[i + 3]] > width} << 3;
      if (past == 0) {
        x = sum;
        i += 4;
        continue;
      }
      const auto fit = static_cast<std::size_t>(std::countr_zero(past));
      const std::int32_t rest = sum - before[fit];
      // (A row holds its first character however wide.)
      if ((fit == 0 && i == start) || rest + maxOverhang > width || HangsAtRowEnd(s[i + fit])) break;
      start = i + fit;
      rows.push_back(start);
      x = rest;
      i += 4;
    }
    for (const std::size_t stop = std::min(end, i + 4); i < stop; ++i) {
      const char16_t c = s[i];
      std::int32_t a = c < kTable ? fast[c] : kSlow;
      if (a >= kSlow) {
        row = {x, start, row.guard};
        return i;
      }
      if constexpr (Kerned) a += kern(c, after(i));
      if (x + a + overhang[c] > width && i > start && !HangsAtRowEnd(c)) {
        rows.push_back(i);
        x = a;
        start = i;
      } else {
        x += a;
      }
    }
  }
  row = {x, start, row.guard};
  return i;
}

// How far a tab at x reaches, to the next multiple of stop (both in 64ths of a pixel), as the
// text layout places it: x's place among the stops is rounded to a 64th of a stop first, so a
// tab less than a 128th of a stop short of one goes on to the next.
std::int32_t TabWidth(std::int32_t x, std::int32_t stop) {
  stop = std::max<std::int32_t>(stop, 1);
  const std::int64_t stops = (std::int64_t{x} * 64 + stop / 2) / stop / 64;
  return static_cast<std::int32_t>((stops + 1) * stop - x);
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c < 0xE000; }
bool IsAnyBreak(char16_t c) { return IsLineBreak(c) || c == u'\u2028' || c == u'\u2029'; }

// Whether the 32 characters at s may hold a line break of any kind: those below U+000E and
// U+2028 or U+2029 found four at a time by whole-word arithmetic, so that a pasted megabyte
// text is looked at one by one only where it may have one.
bool MayHoldBreak(const char16_t* s) {
  constexpr std::uint64_t kOnes = 0x0001000100010001u, kHigh = 0x8000800080008000u;
  std::uint64_t suspect = 0;
  for (std::size_t k = 0; k < 32; k += 4) {
    std::uint64_t four;
    std::memcpy(&four, s + k, sizeof four);
    const std::uint64_t separator = (four & ~kOnes) ^ (kOnes * 0x2028);  // 0 where U+2028/9
    suspect |= ((four - kOnes * 0x0E) & ~four & kHigh) | ((separator - kOnes) & ~separator & kHigh);
  }
  return suspect != 0;
}

// Every kind of line break in a typed or pasted text becomes CR LF: writes text so to out, or
// with out null only counts, and returns how many characters that is. A text whose breaks are
// all CR LF already comes out as long as it is, and unchanged.
std::size_t CopyWithCrLf(std::u16string_view text, char16_t* out) {
  const char16_t* s = text.data();
  const std::size_t n = text.size();
  std::size_t i = 0, written = 0;
  const auto oneByOne = [&](std::size_t end) {
    for (; i < end; ++i) {
      const char16_t c = s[i];
      if (!IsAnyBreak(c)) {
        if (out) out[written] = c;
        ++written;
        continue;
      }
      if (c == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
      if (out) out[written] = u'\r', out[written + 1] = u'\n';
      written += 2;
    }
  };
  while (n - i >= 32) {
    if (MayHoldBreak(s + i)) {
      oneByOne(i + 32);  // may end one past, after a CR LF across the blocks
    } else {
      if (out) std::memcpy(out + written, s + i, 32 * sizeof(char16_t));
      i += 32;
      written += 32;
    }
  }
  oneByOne(n);
  return written;
}

// The kerning table equal to pairs that some model holds already, or pairs as a new one: the
// boxes of a window share their font, and so one table.
std::shared_ptr<const std::vector<std::int16_t>> SharedKerning(std::vector<std::int16_t> pairs) {
  static std::mutex lock;
  static std::vector<std::weak_ptr<const std::vector<std::int16_t>>> held;
  const std::lock_guard<std::mutex> locked(lock);
  std::erase_if(held, [](const auto& table) { return table.expired(); });
  for (const auto& table : held) {
    if (auto shared = table.lock(); shared && *shared == pairs) return shared;
  }
  auto shared = std::make_shared<const std::vector<std::int16_t>>(std::move(pairs));
  held.push_back(shared);
  return shared;
}

}  // namespace

std::u16string_view TextModel::SelectedText() const {
  return View().substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void TextModel::SetText(std::u16string text, bool caretAtEnd) {
  last_ = {0, Size(), text.size(), {}};
  if (keepRemoved_) {
    DropFront();
    last_.removedText = std::move(buffer_);
  }
  // A multi-line text gets its room before it here, where that is one move through memory
  // already touched (within the text's own buffer, or into the old text's when that is about
  // as large), so that the first key at its start costs what the next ones do. Otherwise that
  // key moves it.
  const std::size_t n = text.size(), room = multiLine_ ? RoomBefore(n) : 0;
  if (room + n <= text.capacity()) {
    text.insert(0, room, u'\0');  // within its capacity: nothing is allocated
    buffer_ = std::move(text);
    front_ = room;
  } else if (room + n <= buffer_.capacity() && n >= buffer_.capacity() / 4) {
    buffer_.assign(room, u'\0');
    buffer_.append(text);
    front_ = room;
  } else {
    buffer_ = std::move(text);
    front_ = 0;
  }
  history_.clear();
  done_ = 0;
  mergeable_ = false;
  cursor_ = anchor_ = caretAtEnd ? Size() : 0;
  RebuildRows();
}

std::size_t TextModel::Snap(std::size_t position, bool forward) const {
  position = std::min(position, Size());
  if (position == 0 || position == Size()) return position;
  const char16_t before = View()[position - 1], at = View()[position];
  const bool inside = (IsHigh(before) && IsLow(at)) ||
                      (multiLine_ && before == u'\r' && at == u'\n');
  return inside ? (forward ? position + 1 : position - 1) : position;
}

std::size_t TextModel::PreviousChar(std::size_t position) const {
  position = Snap(position, false);
  return position == 0 ? 0 : Snap(position - 1, false);
}

std::size_t TextModel::NextChar(std::size_t position) const {
  position = Snap(position, true);
  return position >= Size() ? Size() : Snap(position + 1, true);
}

void TextModel::SetCursor(std::size_t position, bool keepAnchor) {
  cursor_ = Snap(position, false);
  if (!keepAnchor) anchor_ = cursor_;
}

void TextModel::Select(std::size_t anchor, std::size_t cursor) {
  anchor_ = Snap(anchor, false);
  cursor_ = Snap(cursor, false);
}

bool TextModel::Insert(std::u16string_view text, Edit kind) {
  if (text.empty() && !HasSelection()) return false;
  const std::size_t from = SelectionStart(), to = SelectionEnd();
  // Its line breaks are made CR LF as it is written into the text, not in a copy of its own.
  Apply(from, to, text, kind, multiLine_ && CopyWithCrLf(text, nullptr) != text.size());
  cursor_ = anchor_ = Snap(from + last_.inserted, true);
  return true;
}

bool TextModel::Remove(std::size_t from, std::size_t to, Edit kind) {
  from = Snap(from, false);
  to = Snap(to, true);
  if (from >= to) return false;
  Apply(from, to, {}, kind);
  cursor_ = anchor_ = Snap(from, false);
  return true;
}

bool TextModel::Move(std::size_t from, std::size_t to, std::size_t at) {
  from = Snap(from, false);
  to = Snap(to, true);
  at = Snap(at, false);
  if (from >= to) return false;
  if (at >= from && at <= to) {
    // Onto themselves: a text edit takes them out and puts them back, a step that changes
    // nothing but where undo puts the caret.
    Apply(from, to, std::u16string(View().substr(from, to - from)), Edit::Other);
    history_.back().undoneCaret = at - from;
    history_.back().redoneCaret = to - from;
    cursor_ = anchor_ = to;
    return true;
  }
  // One replacement of the span from the moved characters to the drop point, rearranged.
  const std::u16string_view text = View(), moved = text.substr(from, to - from);
  const std::size_t low = std::min(from, at), high = std::max(to, at);
  std::u16string with;
  with.reserve(high - low);
  if (at > to) with.append(text.substr(to, at - to)).append(moved);
  else with.append(moved).append(text.substr(at, from - at));
  const std::size_t end = at > to ? at : at + moved.size();
  Apply(low, high, with, Edit::Other);
  history_.back().undoneCaret = at - low;
  history_.back().redoneCaret = end - low;
  cursor_ = anchor_ = Snap(end, true);
  return true;
}

void TextModel::Apply(std::size_t from, std::size_t to, std::u16string_view with, Edit kind,
                      bool crlf) {
  // Out of memory at any point leaves a consistent model: the text is replaced whole or not
  // at all, and an edit that cannot be recorded empties the history rather than corrupt it.
  std::u16string removed;
  std::size_t removedFront = 0;
  if (!(from == 0 && to == Size() && with.empty() && SwapWhole(removed, removedFront))) {
    removed = std::u16string(View().substr(from, to - from));
    Replace(from, to, with, crlf);
  }
  try {
    Record(from, std::move(removed), removedFront, last_.inserted, kind);
  } catch (...) {
    history_.clear();
    done_ = 0;
    mergeable_ = false;
    cursor_ = anchor_ = Snap(from + last_.inserted, true);
    throw;
  }
}

void TextModel::Record(std::size_t from, std::u16string removed, std::size_t removedFront,
                       std::size_t inserted, Edit kind) {
  const std::u16string_view removedText = std::u16string_view(removed).substr(removedFront);
  const std::size_t to = from + removedText.size();
  history_.resize(done_);  // an edit after an undo drops what could have been redone
  if (mergeable_ && done_ > 0 && kind != Edit::Other && kind != Edit::Paste) {
    Step& last = history_.back();
    const bool typing = kind == Edit::Typing && from == to &&
                        (last.kind == Edit::Typing || last.kind == Edit::Paste) &&
                        last.position + last.insertedSize == from;
    // Removals join when they touch the spot the last one left. A line box, like QLineEdit,
    // joins runs of one key only. A text box, like QTextDocument, joins Backspace and Delete
    // mixed, whichever side of the spot they take from, but a removed line break is a step of
    // its own.
    const auto isRemoval = [](Edit k) {
      return k == Edit::DeleteBackward || k == Edit::DeleteForward;
    };
    const auto hasBreak = [](std::u16string_view s) {
      return std::any_of(s.begin(), s.end(), IsLineBreak);
    };
    const bool removal = inserted == 0 && last.insertedSize == 0 && isRemoval(kind) &&
                         (multiLine_ ? isRemoval(last.kind) && !hasBreak(removedText) &&
                                           !hasBreak(last.Saved())
                                     : last.kind == kind);
    const bool back = removal && to == last.position &&
                      (multiLine_ || kind == Edit::DeleteBackward);
    const bool forward = removal && from == last.position &&
                         (multiLine_ || kind == Edit::DeleteForward);
    if (typing || back || forward) {
      if (typing) last.insertedSize += inserted;
      if (back) {
        last.saved.insert(last.savedFront, removedText);
        last.position = from;
      }
      if (forward) last.saved.append(removedText);
      return;
    }
  }
  Step step;
  step.position = from;
  step.saved = std::move(removed);
  step.savedFront = removedFront;
  step.insertedSize = inserted;
  step.cursorBefore = cursor_;
  step.anchorBefore = anchor_;
  step.kind = kind;
  history_.push_back(std::move(step));
  done_ = history_.size();
  mergeable_ = kind != Edit::Other;
}

bool TextModel::Undo() {
  if (!CanUndo()) return false;
  Step& step = history_[--done_];
  // saved holds the removed characters; after the swap it holds the inserted ones.
  const std::size_t removedSize = step.Saved().size();
  if (!(step.position == 0 && step.insertedSize == Size() && SwapWhole(step.saved, step.savedFront))) {
    std::u16string inserted(View().substr(step.position, step.insertedSize));
    Replace(step.position, step.position + step.insertedSize, step.Saved());
    step.saved = std::move(inserted);
    step.savedFront = 0;
  }
  step.insertedSize = removedSize;
  // As in Qt's boxes: a multi-line box puts the caret after what came back, a line box
  // restores the caret and selection the edit started from.
  if (multiLine_) {
    const std::size_t caret = step.undoneCaret != kAfter ? step.undoneCaret : removedSize;
    cursor_ = anchor_ = Snap(step.position + caret, true);
  } else {
    cursor_ = Snap(step.cursorBefore, false);
    anchor_ = Snap(step.anchorBefore, false);
  }
  mergeable_ = false;
  return true;
}

bool TextModel::Redo() {
  if (!CanRedo()) return false;
  Step& step = history_[done_++];
  const std::size_t insertedSize = step.Saved().size();
  if (!(step.position == 0 && step.insertedSize == Size() && SwapWhole(step.saved, step.savedFront))) {
    std::u16string removed(View().substr(step.position, step.insertedSize));
    Replace(step.position, step.position + step.insertedSize, step.Saved());
    step.saved = std::move(removed);
    step.savedFront = 0;
  }
  step.insertedSize = insertedSize;
  const std::size_t caret = step.redoneCaret != kAfter ? step.redoneCaret : insertedSize;
  cursor_ = anchor_ = Snap(step.position + caret, true);
  mergeable_ = false;
  return true;
}

void TextModel::Replace(std::size_t from, std::size_t to, std::u16string_view with, bool crlf) {
  const std::size_t inserted = crlf ? CopyWithCrLf(with, nullptr) : with.size();
  const std::size_t n = Size(), size = n - (to - from) + inserted;
  // In a multi-line text an edit nearer the start than the end moves the characters before
  // it, into the room kept before the text: typing at the start of megabytes moves nothing
  // else. When that room runs out, or the buffer, the text moves once (what the edit would
  // have cost anyway) with new room before it.
  const std::size_t growth = size > n ? size - n : 0;
  const bool head = multiLine_ && from + growth < n - to;
  const std::size_t room = multiLine_ ? RoomBefore(size) : 0;
  if (head && growth > front_) {
    MoveText(growth + room, n);
  } else if (!head && front_ + size > buffer_.capacity()) {
    MoveText(room, size);
  }
  last_ = {from, to - from, inserted, {}};
  if (keepRemoved_) last_.removedText = std::u16string(View().substr(from, to - from));
  const auto write = [&](char16_t* at) {
    if (crlf) CopyWithCrLf(with, at);
    else std::char_traits<char16_t>::copy(at, with.data(), with.size());
  };
  if (head) {
    const std::size_t front = front_ + (to - from) - inserted;
    char16_t* const b = buffer_.data();
    std::char_traits<char16_t>::move(b + front, b + front_, from);
    write(b + front + from);
    front_ = front;
  } else if (!crlf) {
    buffer_.replace(front_ + from, to - from, with);
  } else {
    // The characters after the edit make way (within the capacity), then it is written.
    if (size > n) buffer_.resize(front_ + size);
    char16_t* const b = buffer_.data();
    std::char_traits<char16_t>::move(b + front_ + from + inserted, b + front_ + to, n - to);
    write(b + front_ + from);
    buffer_.resize(front_ + size);
  }
  KeepOrShrink();
  try {
    UpdateRows(from, to - from, inserted);
  } catch (...) {
    LostRows();
    // Every caller puts the caret after what it wrote (a line box's undo never gets here).
    cursor_ = anchor_ = Snap(from + last_.inserted, true);
    throw;
  }
}

void TextModel::LostRows() {
  rows_.assign(1, 0);  // always valid: the whole text as one row until the next layout
  // The text changed but no step records it, and an undo or redo may be half done: the
  // history no longer fits the text.
  history_.clear();
  done_ = 0;
  mergeable_ = false;
}

void TextModel::MoveText(std::size_t room, std::size_t size) {
  const std::size_t n = Size();
  if (room + size <= buffer_.capacity()) {
    buffer_.resize(std::max(room + n, front_ + n));  // within the capacity
    std::char_traits<char16_t>::move(buffer_.data() + room, buffer_.data() + front_, n);
    buffer_.resize(room + n);
  } else {
    // Half as much again, so typing after a large paste does not move the whole text again.
    std::u16string moved;
    moved.reserve(room + size + size / 2);
    moved.assign(room, u'\0');
    moved.append(View());
    buffer_.swap(moved);
  }
  front_ = room;
}

void TextModel::DropFront() const {
  if (front_ == 0) return;
  buffer_.erase(0, front_);
  front_ = 0;
}

void TextModel::SetWrap(float width, std::function<CharMetrics(char32_t)> measure, Shaping shaping) {
  wrapWidth_ = std::max(0.0f, width);
  measure_ = std::move(measure);
  shaping_ = std::move(shaping);
  // The kerning of every pair of printable ASCII characters, asked once.
  kerning_.reset();
  pairAdvance_.clear();
  if (shaping_.kerning) {
    std::vector<std::int16_t> pairs(std::size_t{1} << 14, 0);
    bool any = false;
    for (char16_t l = 0x20; l <= 0x7E; ++l) {
      for (char16_t r = 0x20; r <= 0x7E; ++r) {
        const float k = std::clamp(shaping_.kerning(l, r), -500.0f, 500.0f);
        const auto units = static_cast<std::int16_t>(std::lround(k * kUnitsPerPixel));
        pairs[static_cast<std::size_t>((l << 7) | r)] = units;
        any = any || units != 0;
      }
    }
    if (any) kerning_ = SharedKerning(std::move(pairs));
  }
  advance_.assign(kTable, -1);
  joins_.assign(kTable, 0);
  overhang_.assign(kTable, 0);
  maxOverhang_ = 0;
  fast_.assign(kTable, kSlow);  // line breaks and surrogates always take the slow path
  others_.clear();
  RebuildRows();
}

void TextModel::SetWrapWidth(float width) {
  wrapWidth_ = std::max(0.0f, width);
  RebuildRows();
}

CharMetrics TextModel::Metrics(char32_t ch) const {
  if (ch >= kTable) {
    const auto known = others_.find(ch);
    if (known != others_.end()) return known->second;
    return others_[ch] = measure_(ch);
  }
  if (advance_[ch] < 0) {
    const CharMetrics m = measure_(ch);
    advance_[ch] = ToUnits(m.advance);
    joins_[ch] = m.joinsPrevious;
    overhang_[ch] = ToUnits(m.overhang);
    maxOverhang_ = std::max(maxOverhang_, overhang_[ch]);
    // Line breaks and tabs (whose width depends on where they stand) take the slow path.
    if (!m.joinsPrevious && !IsLineBreak(static_cast<char16_t>(ch)) && ch != u'\t') fast_[ch] = advance_[ch];
    if (ch < 0x80 && !pairAdvance_.empty()) FillPairAdvances(static_cast<char16_t>(ch));
  }
  return {static_cast<float>(advance_[ch]) / kUnitsPerPixel, joins_[ch] != 0,
          static_cast<float>(overhang_[ch]) / kUnitsPerPixel};
}

const std::int16_t* TextModel::PairAdvances() const {
  if (pairAdvance_.empty()) {
    pairAdvance_.assign(kerning_->size(), kSlowPair);
    for (char16_t ch = 0; ch < 0x80; ++ch) FillPairAdvances(ch);
  }
  return pairAdvance_.data();
}

void TextModel::FillPairAdvances(char16_t ch) const {
  if (fast_[ch] >= kSlow) return;
  for (std::size_t next = 0; next < 0x80; ++next) {
    const std::size_t pair = (std::size_t{ch} << 7) | next;
    const std::int32_t a = fast_[ch] + (*kerning_)[pair];
    pairAdvance_[pair] = a >= 0 && a < kPairLimit ? static_cast<std::int16_t>(a) : kSlowPair;
  }
}

double TextModel::Width(std::size_t from, std::size_t to) const {
  if (!measure_) return 0;
  // Characters whose advance the fast table holds are added up in whole units; the rest (not
  // measured yet, marks, line breaks, surrogates) a caret step at a time. Both sums are exact.
  const std::int32_t* const fast = fast_.data();
  const char16_t* const text = View().data();
  const std::size_t size = Size();
  const bool kerned = kerning_ && from < to;
  const KernTable kern{kerned ? kerning_->data() : nullptr, kerned ? PairAdvances() : nullptr};
  std::int64_t units = 0;
  double rest = 0;
  std::size_t at = from;
  while (at < to && at > 0 && text[at - 1] == 0x200D) {  // after a joiner: see below
    rest += Advance(at);
    at = NextChar(at);
  }
  while (at < to) {
    // ASCII four at a time, with the kerning against the character after each, while the
    // character after the four is in the text (the text's last few go the slower way).
    if (kerned) {
      const std::size_t last = std::min(to, size - 1);
      std::int32_t a0, a1, a2, a3, b0, b1, b2, b3;
      // (Eight at a time first: one test of the sums' signs for both.)
      for (; last - at >= 8 && kern.Four(text + at, a0, a1, a2, a3) &&
             kern.Four(text + at + 4, b0, b1, b2, b3);
           at += 8) {
        const std::int32_t first = a0 + a1 + a2 + a3, second = b0 + b1 + b2 + b3;
        if ((first | second) < 0) break;
        units += first + second;
      }
      for (; last - at >= 4 && kern.Four(text + at, a0, a1, a2, a3); at += 4) {
        const std::int32_t four = a0 + a1 + a2 + a3;
        if (four < 0) break;
        units += four;
      }
      if (at >= to) break;
    }
    // Four at a time while all four are in the table with their advances there (no advance
    // reaches kSlow's bit).
    std::uint64_t four = kOutsideTable;
    if (to - at >= 4) std::memcpy(&four, text + at, sizeof four);
    if ((four & kOutsideTable) == 0) {
      const std::int32_t a0 = fast[text[at]], a1 = fast[text[at + 1]], a2 = fast[text[at + 2]],
                         a3 = fast[text[at + 3]];
      if (((a0 | a1 | a2 | a3) & kSlow) == 0) {
        units += std::int64_t{a0} + a1 + a2 + a3;
        if (kerned) {
          const char16_t next = at + 4 < size ? text[at + 4] : 0;
          units += kern(text[at], text[at + 1]) + kern(text[at + 1], text[at + 2]) +
                   kern(text[at + 2], text[at + 3]) + kern(text[at + 3], next);
        }
        at += 4;
        continue;
      }
    }
    const char16_t c = text[at];
    const std::int32_t a = c < kTable ? fast[c] : kSlow;
    if (a != kSlow) {
      units += a + KernAt(at);
      ++at;
    } else {
      rest += Advance(at);
      at = NextChar(at);
      // The character after a joiner may be drawn as part of the glyph before it.
      while (at < to && text[at - 1] == 0x200D) {
        rest += Advance(at);
        at = NextChar(at);
      }
    }
  }
  return static_cast<double>(units) / kUnitsPerPixel + rest;
}

std::size_t TextModel::FitAfter(std::size_t from, float width) const {
  float x = 0;
  std::size_t i = Snap(from, false);
  while (i < Size() && x <= width) {
    x += Advance(i);
    i = NextChar(i);
  }
  return i;
}

float TextModel::Advance(std::size_t position) const {
  if (!measure_ || position >= Size()) return 0;
  const char32_t ch = CodePoint(position);
  if (ContinuesCluster(position, ch)) return 0;
  return Metrics(ch).advance + static_cast<float>(KernAt(position)) / kUnitsPerPixel;
}

bool TextModel::ContinuesCluster(std::size_t i, char32_t ch) const {
  if (!shaping_.clusterBoundary || i == 0) return false;
  const auto regional = [](char32_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; };
  if (regional(ch)) {
    // Shaping pairs a run of regional indicators from its start, whatever came before: an odd
    // count before this one makes it the second of a flag. (A run longer than this is taken
    // as starting where the count stops.)
    std::size_t before = 0;
    for (std::size_t at = i; at >= 2 && before < 4096 && regional(CodePoint(at - 2)); at -= 2) ++before;
    return before % 2 == 1;
  }
  return View()[i - 1] == 0x200D && !ClusterBoundary(i);
}

char32_t TextModel::CodePoint(std::size_t position) const {
  const char16_t c = View()[position];
  if (IsHigh(c) && position + 1 < Size() && IsLow(View()[position + 1])) {
    return 0x10000 + ((char32_t{c} - 0xD800) << 10) + (View()[position + 1] - 0xDC00);
  }
  return c;
}

std::size_t TextModel::RowEnd(std::size_t row) const {
  const std::size_t start = rows_[row];
  std::size_t end = row + 1 < rows_.size() ? rows_[row + 1] : Size();
  if (!multiLine_) return end;
  if (end > start && View()[end - 1] == u'\n') --end;
  if (end > start && View()[end - 1] == u'\r') --end;
  return end;
}

std::size_t TextModel::RowEndForCaret(std::size_t row) const {
  const std::size_t end = RowEnd(row);
  if (!IsWrappedRow(row) || end == rows_[row]) return end;
  const char16_t last = View()[end - 1];
  return IsSpace(last) ? end - 1 : end;
}

std::size_t TextModel::RowOf(std::size_t position) const {
  const auto it = std::upper_bound(rows_.begin(), rows_.end(), position);
  return static_cast<std::size_t>(it - rows_.begin()) - 1;
}

bool TextModel::SetLineRows(std::size_t lineStart, const std::vector<std::size_t>& starts) {
  const std::size_t first = RowOf(lineStart);
  if (!multiLine_ || rows_[first] != lineStart) return false;
  std::size_t last = first;  // the line's last row
  while (IsWrappedRow(last)) ++last;
  const auto begin = rows_.begin() + static_cast<std::ptrdiff_t>(first) + 1;
  const auto end = rows_.begin() + static_cast<std::ptrdiff_t>(last) + 1;
  if (std::equal(begin, end, starts.begin(), starts.end())) return false;
  const std::size_t lineEnd = RowEnd(last);
  const bool inside = std::is_sorted(starts.begin(), starts.end()) &&
                      (starts.empty() || (starts.front() > lineStart && starts.back() < lineEnd));
  if (!inside) return false;
  const std::ptrdiff_t kept = std::min<std::ptrdiff_t>(end - begin, static_cast<std::ptrdiff_t>(starts.size()));
  std::copy(starts.begin(), starts.begin() + kept, begin);
  if (end - begin > kept) rows_.erase(begin + kept, end);
  else rows_.insert(begin + kept, starts.begin() + kept, starts.end());
  return true;
}

void TextModel::RebuildRows() {
  rows_.assign(1, 0);
  if (!multiLine_) return;
  try {
    WrapInto(rows_, 0, kNoLine);
  } catch (...) {
    rows_.assign(1, 0);  // not the rows wrapped so far: an edit would take them for all there are
    throw;
  }
  if (rows_.capacity() > 4 * rows_.size() + 4096) rows_.shrink_to_fit();
}

std::size_t TextModel::WrapInto(std::vector<std::size_t>& rows, std::size_t start,
                                std::size_t stop) {
  const std::size_t n = Size();
  const char16_t* s = View().data();
  const bool wrap = wrapWidth_ > 0 && measure_;
  const std::int32_t width = wrap ? ToUnits(wrapWidth_) : kSlow - 1;
  const std::int32_t* fast = wrap ? fast_.data() : BreaksOnly();
  const bool kerned = wrap && kerning_ && start < n;
  const KernTable kern{kerned ? kerning_->data() : nullptr, kerned ? PairAdvances() : nullptr};
  RowSoFar row{0, start};
  // Once the first stretch is laid out, its rows tell about how many the rest needs: the index
  // is reserved once instead of doubling (and first touching) its way up.
  std::size_t estimateAt = n - start > kEstimateAfter ? start + kEstimateAfter : n;
  const std::size_t rowsBefore = rows.size();
  for (std::size_t i = start; i < n;) {
    if (i >= estimateAt) {
      const double laid = static_cast<double>(rows.size() - rowsBefore);
      const double rest = laid * static_cast<double>(n - i) / static_cast<double>(i - start);
      const std::size_t wanted =
          rows.size() + static_cast<std::size_t>(std::min(rest * 1.125, static_cast<double>(n - i))) + 16;
      // A text rewritten again and again (an output redone at each key) estimates a little
      // more or less each time: an index that must grow takes an eighth more, so that the
      // next estimates fit in it instead of each moving it into fresh memory.
      if (wanted > rows.capacity()) rows.reserve(wanted + wanted / 8);
      estimateAt = n;
    }
    const std::int32_t* overhang = wrap ? overhang_.data() : NoOverhang();
    const std::int32_t maxOverhang = wrap ? maxOverhang_ : 0;
    i = kerned ? PlainRun<true>(s, i, estimateAt, n, fast, overhang, maxOverhang, width, kern, row, rows)
               : PlainRun<false>(s, i, estimateAt, n, fast, overhang, maxOverhang, width, kern, row, rows);
    if (i >= estimateAt) continue;
    const char16_t c = s[i];
    if (!wrap && !IsLineBreak(c)) {
      ++i;
      continue;
    }
    if (IsLineBreak(c)) {
      std::size_t next = i + 1;
      if (c == u'\r' && next < n && s[next] == u'\n') ++next;
      if (next >= stop) return next;
      rows.push_back(next);
      row = {0, next};
      i = next;
      continue;
    }
    // Not measured yet, a surrogate pair (measured as one character), a joining mark, a tab,
    // or the first plain character after one of these.
    const char32_t ch = CodePoint(i);
    const CharMetrics m = Metrics(ch);
    const bool tab = ch == u'\t';
    const bool continues = ContinuesCluster(i, ch);
    std::int32_t a = continues ? 0 : ToUnits(m.advance);
    if (tab) {
      // A tab starts a row only after spaces that hang past the width; otherwise it reaches to
      // the next stop after x, as shaping places it, and hangs past the width as a space does,
      // but ends its row there unless it is the row's first: what follows starts the next one,
      // spaces too.
      if (row.x > width && i > row.start) {
        rows.push_back(i);
        row = {0, i};
      }
      a = TabWidth(row.x, a);
      if (i > row.start && row.x + a > width && i + 1 < n && !IsLineBreak(s[i + 1])) {
        rows.push_back(i + 1);
        row = {0, i + 1};
        ++i;
        continue;
      }
    } else if (!continues) {
      a += KernAt(i);
    }
    if (row.x + a + ToUnits(m.overhang) > width && i > row.start && !m.joinsPrevious && !tab &&
        !continues && !HangsAtRowEnd(s[i]) && ClusterBoundary(i)) {
      rows.push_back(i);
      row = {0, i};
    }
    // A run of joining characters never breaks, however long. Past the width, all that matters
    // is that the row is too wide, so the sum stops growing there and stays in range.
    row.x = std::min(row.x + a, width + 1);
    const bool plain = ch < kTable && fast_[ch] < kSlow;
    i += ch >= 0x10000 ? 2 : 1;
    // The character after one of the slow path may belong to its cluster (after a joiner).
    row.guard = plain ? static_cast<std::size_t>(-1) : i;
  }
  return kNoLine;
}

void TextModel::UpdateRows(std::size_t from, std::size_t removed, std::size_t inserted) {
  if (!multiLine_) return;
  if (from == 0 && inserted == Size()) {
    RebuildRows();  // a whole new text (a paste into an empty box): its rows go straight in
    return;
  }
  // rows_ still describes the text before the edit. The character before the edit may change
  // with it (a high surrogate gains or loses its low half), and whether a character starts a
  // row is decided by the row above it: so the rows from the one above the row that holds the
  // character before the edit are wrapped again. A character inserted at a row's start may
  // likewise still fit on the row above.
  std::size_t first = RowOf(from > 0 ? from - 1 : 0);
  if (first > 0) --first;
  std::vector<std::size_t> middle;
  const std::size_t lineStart = WrapInto(middle, rows_[first], from + inserted + 1);

  // The rows from the line that begins at lineStart on are the old ones, moved along.
  auto tail = rows_.end();
  if (lineStart != kNoLine) {
    const std::size_t old = lineStart - inserted + removed;
    tail = std::lower_bound(rows_.begin() + static_cast<std::ptrdiff_t>(first) + 1, rows_.end(),
                            old);
    if (tail == rows_.end() || *tail != old) {
      RebuildRows();  // the index was reset to one row when memory ran out: wrap it all again
      return;
    }
    middle.push_back(lineStart);
    ++tail;
  }
  const auto begin = rows_.begin() + static_cast<std::ptrdiff_t>(first) + 1;
  for (auto it = tail; it != rows_.end(); ++it) *it = *it - removed + inserted;
  const std::ptrdiff_t keep = begin - rows_.begin();
  const std::ptrdiff_t replaced = tail - begin;
  if (static_cast<std::ptrdiff_t>(middle.size()) <= replaced) {
    std::copy(middle.begin(), middle.end(), begin);
    rows_.erase(begin + static_cast<std::ptrdiff_t>(middle.size()), tail);
  } else {
    std::copy(middle.begin(), middle.begin() + replaced, begin);
    rows_.insert(rows_.begin() + keep + replaced, middle.begin() + replaced, middle.end());
  }
}

void TextModel::ReplaceFrom(std::size_t position, std::size_t reserve,
                            const std::function<void(std::u16string&)>& write, bool caretAtEnd) {
  position = std::min(position, Size());
  Change change{position, Size() - position, 0, {}};
  if (keepRemoved_) change.removedText = std::u16string(View().substr(position));
  Grow(position + reserve, position);  // may throw: nothing has changed yet
  buffer_.resize(front_ + position);
  DropFront();  // the writer appends to a string that holds the text alone
  history_.clear();
  done_ = 0;
  mergeable_ = false;
  const auto finish = [&] {
    change.inserted = Size() - position;
    last_ = std::move(change);
    cursor_ = anchor_ = caretAtEnd ? Size() : 0;
    KeepOrShrink();
    RewrapFrom(position);
  };
  try {
    write(buffer_);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

bool TextModel::SwapWhole(std::u16string& other, std::size_t& otherFront) {
  if (Size() > 0 && other.size() > otherFront) return false;
  Change change{0, Size(), other.size() - otherFront, {}};
  if (keepRemoved_) change.removedText = View();  // screen readers are told what went
  last_ = std::move(change);
  buffer_.swap(other);  // with the room before each text
  std::swap(front_, otherFront);
  try {
    RebuildRows();
  } catch (...) {
    LostRows();
    cursor_ = anchor_ = Size();  // after what came in, as every caller puts it
    throw;
  }
  return true;
}

void TextModel::KeepEmptiedBuffersOnce(bool keep) { keepEmptiedBuffers = keep; }

void TextModel::KeepOrShrink() {
  // A text that shrank far below its buffer gives the room back, but only at the change after
  // the one that left it so: a large text cut down and written again (a handler's output)
  // reuses its buffer. An emptied one gives it back at once unless the process chose otherwise.
  const bool roomy = buffer_.capacity() > (std::size_t{1} << 16) && Size() < buffer_.capacity() / 4;
  if (roomy && (roomy_ || (Size() == 0 && !keepEmptiedBuffers))) {
    DropFront();
    buffer_.shrink_to_fit();
    roomy_ = false;
  } else {
    roomy_ = roomy;
  }
}

void TextModel::Grow(std::size_t size, std::size_t keep) {
  if (front_ + size <= buffer_.capacity()) return;
  // Half as much again, so typing after a large paste does not copy the whole text again; only
  // the characters kept are copied into the new buffer.
  std::u16string grown;
  grown.reserve(size + size / 2);
  grown.append(View().substr(0, keep));
  buffer_.swap(grown);
  front_ = 0;
}

void TextModel::RewrapFrom(std::size_t position) {
  if (!multiLine_) return;
  // rows_ still describes the old text. The row two before the one holding position starts
  // where it did: the rows between may depend on the character at position (a CR before it may
  // now end a CR LF pair, a surrogate before it may now be half of one).
  std::size_t first = RowOf(std::min(position, rows_.back()));
  first -= std::min<std::size_t>(first, 2);
  try {
    rows_.resize(first + 1);
    WrapInto(rows_, rows_[first], kNoLine);
    if (rows_.capacity() > 4 * rows_.size() + 4096) rows_.shrink_to_fit();
  } catch (...) {
    rows_.assign(1, 0);
    throw;
  }
}

}  // namespace calvexa
