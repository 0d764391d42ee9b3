#include "textmodel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace calvexa {
namespace {

constexpr std::size_t kNoLine = std::numeric_limits<std::size_t>::max();

// Widths are summed as whole 64ths of a pixel: integer sums are exact and quicker.
constexpr float kUnitsPerPixel = 64;
constexpr std::int32_t kSlow = -1;

// Characters below this (the alphabets, punctuation and symbols of most texts) have their
// metrics in flat tables; the rest, surrogates included, in a map.
constexpr char16_t kTable = 0x3000;

// When nothing wraps, only line breaks need a closer look.
const std::int32_t* BreaksOnly() {
  static const std::vector<std::int32_t> table = [] {
    std::vector<std::int32_t> t(kTable, 0);
    t[u'\r'] = t[u'\n'] = kSlow;
    return t;
  }();
  return table.data();
}
std::int32_t ToUnits(float pixels) {
  return static_cast<std::int32_t>(std::lround(std::clamp(pixels, 0.0f, 1.0e6f) * kUnitsPerPixel));
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c < 0xE000; }
bool IsAnyBreak(char16_t c) { return IsLineBreak(c) || c == u'\u2028' || c == u'\u2029'; }

// Every kind of line break in a typed or pasted text becomes CR LF.
std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (!IsAnyBreak(c)) {
      out += c;
      continue;
    }
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    out += u"\r\n";
  }
  return out;
}

}  // namespace

std::u16string_view TextModel::SelectedText() const {
  return std::u16string_view(text_).substr(SelectionStart(), SelectionEnd() - SelectionStart());
}

void TextModel::SetText(std::u16string text, bool caretAtEnd) {
  last_ = {0, text_.size(), text.size(), {}};
  if (keepRemoved_) last_.removedText = std::move(text_);
  text_ = std::move(text);
  history_.clear();
  done_ = 0;
  mergeable_ = false;
  cursor_ = anchor_ = caretAtEnd ? text_.size() : 0;
  RebuildRows();
}

std::size_t TextModel::Snap(std::size_t position, bool forward) const {
  position = std::min(position, text_.size());
  if (position == 0 || position == text_.size()) return position;
  const char16_t before = text_[position - 1], at = text_[position];
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
  return position >= text_.size() ? text_.size() : Snap(position + 1, true);
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
  std::u16string normalized;
  if (multiLine_ && std::any_of(text.begin(), text.end(), IsAnyBreak)) {
    normalized = WithCrLf(text);
    text = normalized;
  }
  const std::size_t from = SelectionStart(), to = SelectionEnd();
  Apply(from, to, text, kind);
  cursor_ = anchor_ = Snap(from + text.size(), true);
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

void TextModel::Apply(std::size_t from, std::size_t to, std::u16string_view with, Edit kind) {
  // Out of memory at any point leaves a consistent model: the text is replaced whole or not
  // at all, and an edit that cannot be recorded empties the history rather than corrupt it.
  std::u16string removed;
  if (!(from == 0 && to == text_.size() && with.empty() && SwapWhole(removed))) {
    removed = text_.substr(from, to - from);
    Replace(from, to, with);
  }
  try {
    Record(from, std::move(removed), with.size(), kind);
  } catch (...) {
    history_.clear();
    done_ = 0;
    mergeable_ = false;
    throw;
  }
}

void TextModel::Record(std::size_t from, std::u16string removed, std::size_t inserted, Edit kind) {
  const std::size_t to = from + removed.size();
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
    const auto hasBreak = [](const std::u16string& s) {
      return std::any_of(s.begin(), s.end(), IsLineBreak);
    };
    const bool removal = inserted == 0 && last.insertedSize == 0 && isRemoval(kind) &&
                         (multiLine_ ? isRemoval(last.kind) && !hasBreak(removed) &&
                                           !hasBreak(last.saved)
                                     : last.kind == kind);
    const bool back = removal && to == last.position &&
                      (multiLine_ || kind == Edit::DeleteBackward);
    const bool forward = removal && from == last.position &&
                         (multiLine_ || kind == Edit::DeleteForward);
    if (typing || back || forward) {
      if (typing) last.insertedSize += inserted;
      if (back) {
        last.saved.insert(0, removed);
        last.position = from;
      }
      if (forward) last.saved.append(removed);
      return;
    }
  }
  Step step;
  step.position = from;
  step.saved = std::move(removed);
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
  const std::size_t removedSize = step.saved.size();
  if (!(step.position == 0 && step.insertedSize == text_.size() && SwapWhole(step.saved))) {
    std::u16string inserted = text_.substr(step.position, step.insertedSize);
    Replace(step.position, step.position + step.insertedSize, step.saved);
    step.saved = std::move(inserted);
  }
  step.insertedSize = removedSize;
  // As in Qt's boxes: a multi-line box puts the caret after what came back, a line box
  // restores the caret and selection the edit started from.
  if (multiLine_) {
    cursor_ = anchor_ = Snap(step.position + removedSize, true);
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
  const std::size_t insertedSize = step.saved.size();
  if (!(step.position == 0 && step.insertedSize == text_.size() && SwapWhole(step.saved))) {
    std::u16string removed = text_.substr(step.position, step.insertedSize);
    Replace(step.position, step.position + step.insertedSize, step.saved);
    step.saved = std::move(removed);
  }
  step.insertedSize = insertedSize;
  cursor_ = anchor_ = Snap(step.position + insertedSize, true);
  mergeable_ = false;
  return true;
}

void TextModel::Replace(std::size_t from, std::size_t to, std::u16string_view with) {
  const std::size_t size = text_.size() - (to - from) + with.size();
  Grow(size, text_.size());
  last_ = {from, to - from, with.size(), {}};
  if (keepRemoved_) last_.removedText = text_.substr(from, to - from);
  text_.replace(from, to - from, with);
  // A text that shrank far below its buffer gives the room back.
  if (text_.capacity() > (std::size_t{1} << 16) && text_.size() < text_.capacity() / 4) {
    text_.shrink_to_fit();
  }
  try {
    UpdateRows(from, to - from, with.size());
  } catch (...) {
    rows_.assign(1, 0);  // always valid: the whole text as one row until the next layout
    throw;
  }
}

void TextModel::SetWrap(float width, std::function<CharMetrics(char32_t)> measure) {
  wrapWidth_ = std::max(0.0f, width);
  measure_ = std::move(measure);
  advance_.assign(kTable, -1);
  joins_.assign(kTable, 0);
  fast_.assign(kTable, kSlow);  // line breaks and surrogates always take the slow path
  others_.clear();
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
    if (!m.joinsPrevious && !IsLineBreak(static_cast<char16_t>(ch))) fast_[ch] = advance_[ch];
  }
  return {static_cast<float>(advance_[ch]) / kUnitsPerPixel, joins_[ch] != 0};
}

std::size_t TextModel::FitAfter(std::size_t from, float width) const {
  float x = 0;
  std::size_t i = Snap(from, false);
  while (i < text_.size() && x <= width) {
    const std::size_t next = NextChar(i);
    x += measure_ ? Metrics(CodePoint(i)).advance : 0;
    i = next;
  }
  return i;
}

std::size_t TextModel::FitBefore(std::size_t to, float width) const {
  float x = 0;
  std::size_t i = Snap(to, false);
  while (i > 0) {
    const std::size_t previous = PreviousChar(i);
    x += measure_ ? Metrics(CodePoint(previous)).advance : 0;
    if (x > width) break;
    i = previous;
  }
  return i;
}

char32_t TextModel::CodePoint(std::size_t position) const {
  const char16_t c = text_[position];
  if (IsHigh(c) && position + 1 < text_.size() && IsLow(text_[position + 1])) {
    return 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text_[position + 1] - 0xDC00);
  }
  return c;
}

std::size_t TextModel::RowEnd(std::size_t row) const {
  const std::size_t start = rows_[row];
  std::size_t end = row + 1 < rows_.size() ? rows_[row + 1] : text_.size();
  if (!multiLine_) return end;
  if (end > start && text_[end - 1] == u'\n') --end;
  if (end > start && text_[end - 1] == u'\r') --end;
  return end;
}

std::size_t TextModel::RowOf(std::size_t position) const {
  const auto it = std::upper_bound(rows_.begin(), rows_.end(), position);
  return static_cast<std::size_t>(it - rows_.begin()) - 1;
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
  const std::size_t n = text_.size();
  const char16_t* s = text_.data();
  const bool wrap = wrapWidth_ > 0 && measure_;
  const std::int32_t width = wrap ? ToUnits(wrapWidth_) : std::numeric_limits<std::int32_t>::max();
  const std::int32_t* fast = wrap ? fast_.data() : BreaksOnly();
  std::int32_t x = 0;
  std::size_t rowStart = start;
  for (std::size_t i = start; i < n;) {
    // The hot path of every paste: a plain character is one table look-up and one sum.
    const char16_t c = s[i];
    std::int32_t a = c < kTable ? fast[c] : kSlow;
    if (a >= 0) {
      x += a;
      if (x > width && i > rowStart) {
        rows.push_back(i);
        x = a;
        rowStart = i;
      }
      ++i;
      continue;
    }
    if (!wrap && !IsLineBreak(c)) {
      ++i;
      continue;
    }
    if (IsLineBreak(c)) {
      std::size_t next = i + 1;
      if (c == u'\r' && next < n && s[next] == u'\n') ++next;
      if (next >= stop) return next;
      rows.push_back(next);
      x = 0;
      rowStart = i = next;
      continue;
    }
    // Not measured yet, a surrogate pair (measured as one character), or a joining mark.
    const char32_t ch = CodePoint(i);
    const CharMetrics m = Metrics(ch);
    a = ToUnits(m.advance);
    if (x + a > width && i > rowStart && !m.joinsPrevious) {
      rows.push_back(i);
      x = 0;
      rowStart = i;
    }
    // A run of joining characters never breaks, however long. Past the width, all that matters
    // is that the row is too wide, so the sum stops growing there and stays in range.
    x = std::min(x + a, width + 1);
    i += ch >= 0x10000 ? 2 : 1;
  }
  return kNoLine;
}

void TextModel::UpdateRows(std::size_t from, std::size_t removed, std::size_t inserted) {
  if (!multiLine_) return;
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
  position = std::min(position, text_.size());
  Change change{position, text_.size() - position, 0, {}};
  if (keepRemoved_) change.removedText = text_.substr(position);
  Grow(position + reserve, position);  // may throw: nothing has changed yet
  text_.resize(position);
  history_.clear();
  done_ = 0;
  mergeable_ = false;
  const auto finish = [&] {
    change.inserted = text_.size() - position;
    last_ = std::move(change);
    cursor_ = anchor_ = caretAtEnd ? text_.size() : 0;
    if (text_.capacity() > (std::size_t{1} << 16) && text_.size() < text_.capacity() / 4) {
      text_.shrink_to_fit();
    }
    RewrapFrom(position);
  };
  try {
    write(text_);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

bool TextModel::SwapWhole(std::u16string& other) {
  if (!text_.empty() && !other.empty()) return false;
  Change change{0, text_.size(), other.size(), {}};
  if (keepRemoved_) change.removedText = text_;  // screen readers are told what went
  last_ = std::move(change);
  text_.swap(other);
  RebuildRows();
  return true;
}

void TextModel::Grow(std::size_t size, std::size_t keep) {
  if (size <= text_.capacity()) return;
  // Half as much again, so typing after a large paste does not copy the whole text again; only
  // the characters kept are copied into the new buffer.
  std::u16string grown;
  grown.reserve(size + size / 2);
  grown.append(text_, 0, keep);
  text_.swap(grown);
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
