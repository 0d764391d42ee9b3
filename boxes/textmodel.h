#pragma once
// The text of one box apart from its widget: the characters, the caret and selection, edits
// with undo and redo, and the index of the rows the text wraps into at a given width.
//
// Positions count 16-bit characters. A caret never rests between the two halves of a surrogate
// pair, nor between the CR and LF of a line break. CR LF, a lone CR and a lone LF each end a
// line. What a user types or pastes into a multi-line model gets CR LF for every kind of line
// break; what SetText writes is kept exactly as written.
//
// Every edit keeps the row index current in time proportional to the rows it touches: the
// rows from the one before the edit to the end of the edited line are wrapped again, and the
// rows after it move by the length the edit added or removed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace calvexa {

// CR and LF each end a line (a CR LF pair ends one).
inline bool IsLineBreak(char16_t c) { return c == u'\r' || c == u'\n'; }
// The spaces that separate words, as the text layout counts them (line breaks aside).
inline bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0x0B ||
         c == 0x0C || c == 0x85;
}

// How a character takes part in wrapping.
struct CharMetrics {
  float advance = 0;           // its width on its own
  // A mark, joiner or selector: never starts a row of its own, so a run of them stays on the
  // row of the character before it however far past the width that row then reaches (as a
  // cluster of marks does in Qt's wrap-anywhere layout).
  bool joinsPrevious = false;
  // How far its ink reaches past its advance (a negative right bearing): a row holds it only
  // if the ink fits too, as Qt's layouts wrap.
  float overhang = 0;
};

// What shaping changes of the characters' own widths, asked of whoever lays the text out.
// kerning(left, right): how far the advance of the printable ASCII character left (U+0020 to
// U+007E) changes when right follows it, in pixels. clusterBoundary(text, at): whether a
// grapheme cluster may end before position at of text, asked only where a row would start
// after a character outside the plain tables (an emoji, a mark, a joiner) and for the
// character after a joiner: a row never starts inside a cluster. Either may be empty (no
// kerning; every place may start a row).
struct Shaping {
  std::function<float(char16_t left, char16_t right)> kerning;
  std::function<bool(std::u16string_view text, std::size_t at)> clusterBoundary;
};

class TextModel {
 public:
  // What kind of edit a change is. As in Qt's boxes, typing that continues where the last
  // typing ended undoes with it, whatever the caret did in between, and typing that continues
  // a paste undoes with the paste. In a single-line model a run of Backspace, or of Delete,
  // undoes as one step; in a multi-line model Backspace and Delete mixed at one spot do, but a
  // removed line break is a step of its own. Other edits are steps of their own.
  enum class Edit { Typing, DeleteBackward, DeleteForward, Paste, Other };

  // The last change, for the widget's notifications: at position, removed characters were
  // replaced by inserted ones.
  struct Change {
    std::size_t position = 0, removed = 0, inserted = 0;
    std::u16string removedText;  // only while KeepRemovedText is on

    // Where a position held across the change ends up, as a text cursor follows an edit: before
    // the change it stays; from the change's start on it moves with the text after it, so one
    // inside the removed characters ends after the inserted ones.
    std::size_t Map(std::size_t at) const {
      return at < position ? at : std::max(at, position + removed) - removed + inserted;
    }
  };

  explicit TextModel(bool multiLine) : multiLine_(multiLine) {}

  // An emptied model gives its buffer back at once. Where fresh memory costs a page fault for
  // every 4 KiB (no huge pages), a process may have a large buffer kept until the next change
  // instead, so that a text emptied and written again (an output whose input Ctrl+Z brought
  // back) goes into memory still mapped.
  static void KeepEmptiedBuffersOnce(bool keep);

  // The text, without a copy. Valid until the next change, or the next call of Text().
  std::u16string_view View() const { return {buffer_.data() + front_, Size()}; }
  // The text as a string. A multi-line model may keep room before its text (so that an edit
  // near the start moves the characters before it, not the megabytes after it); the first call
  // after such an edit moves the text to the front of its buffer, in time proportional to it.
  const std::u16string& Text() const {
    DropFront();
    return buffer_;
  }
  std::size_t Size() const { return buffer_.size() - front_; }
  bool MultiLine() const { return multiLine_; }

  // Replaces the whole text, exactly as given (nothing is turned into CR LF). Clears the undo
  // history and the selection; the caret goes to the start or to the end.
  void SetText(std::u16string text, bool caretAtEnd);
  // As SetText with the text before position kept and the rest replaced by what write appends
  // to the text it is handed (reserve: about how many characters), at the cost of the replaced
  // part alone: the text's buffer is reused and only the rows from position on are wrapped
  // again. If write throws, the text keeps what it appended before.
  void ReplaceFrom(std::size_t position, std::size_t reserve,
                   const std::function<void(std::u16string&)>& write, bool caretAtEnd);

  // Caret and selection. The anchor is the other end of the selection; both are equal when
  // nothing is selected.
  std::size_t Cursor() const { return cursor_; }
  std::size_t Anchor() const { return anchor_; }
  std::size_t SelectionStart() const { return std::min(cursor_, anchor_); }
  std::size_t SelectionEnd() const { return std::max(cursor_, anchor_); }
  bool HasSelection() const { return cursor_ != anchor_; }
  std::u16string_view SelectedText() const;

  // Moves the caret to position (clamped, and moved off the inside of a pair). With keepAnchor
  // the selection stretches from the anchor to there; otherwise nothing stays selected.
  void SetCursor(std::size_t position, bool keepAnchor);
  void Select(std::size_t anchor, std::size_t cursor);
  // The nearest caret position at or before (or after) position.
  std::size_t Snap(std::size_t position, bool forward) const;
  // The caret position one character before or after position: a surrogate pair and a CR LF
  // pair count as one.
  std::size_t PreviousChar(std::size_t position) const;
  std::size_t NextChar(std::size_t position) const;

  // Edits. One that runs out of memory after its text has changed (an undo or redo too) leaves
  // the caret where it would have put it: caret and selection stay inside the text whatever fails.
  //
  // Replaces the selection, or inserts at the caret, with text; the caret ends after it.
  // Returns false if nothing changed.
  bool Insert(std::u16string_view text, Edit kind);
  // Removes [from, to) (snapped to caret positions); the caret ends at from.
  bool Remove(std::size_t from, std::size_t to, Edit kind);
  // Moves the characters [from, to) to at exactly as they are (line breaks included), as one
  // undo step of its own; the caret ends after them. As in Qt's text edit, undo puts the caret
  // back where they were dropped, and a move onto themselves (at inside or at either end of
  // them) leaves them where they are but is still a step. Returns false if [from, to) is empty.
  bool Move(std::size_t from, std::size_t to, std::size_t at);
  // The next edit starts a new undo step even if it continues the last one.
  void EndUndoGroup() { mergeable_ = false; }
  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < history_.size(); }
  bool Undo();
  bool Redo();
  const Change& LastChange() const { return last_; }
  // Whether LastChange keeps the removed characters (screen readers are told them).
  void KeepRemovedText(bool keep) { keepRemoved_ = keep; }

  // Wrapping. With a width above 0 the text wraps anywhere at that width, measured by measure
  // (which the model calls once for each different character and remembers) and shaping
  // (kerning asked once for every pair); at 0 every line is one row. A single-line model is
  // always one row. A tab reaches to the next multiple of its advance from the row's start;
  // past the width it hangs at the end of its row, which it ends.
  void SetWrap(float width, std::function<CharMetrics(char32_t)> measure, Shaping shaping = {});
  // A new width with the measure set before: what it has measured is kept.
  void SetWrapWidth(float width);
  std::size_t RowCount() const { return rows_.size(); }
  std::size_t RowStart(std::size_t row) const { return rows_[row]; }
  // Where the row's shown characters end: before its line break, if it has one.
  std::size_t RowEnd(std::size_t row) const;
  // Whether the row ends where the text wraps rather than at a line break or the text's end.
  bool IsWrappedRow(std::size_t row) const { return multiLine_ && row + 1 < rows_.size() && RowEnd(row) == rows_[row + 1]; }
  // Where End puts the caret on the row: its end, but before a space the row wraps after, so
  // that the caret stays on the row.
  std::size_t RowEndForCaret(std::size_t row) const;
  // The row whose characters (or line break) hold position; the text's end is in the last row.
  std::size_t RowOf(std::size_t position) const;
  // Replaces the rows of the line that begins at lineStart (where a row starts) with rows that
  // start there and at each of starts (ascending, inside the line): a line whose rows shaping
  // found, where the tables' advances would break it elsewhere. The next edit that reaches the
  // line wraps it by the tables again. Returns whether any row changed.
  bool SetLineRows(std::size_t lineStart, const std::vector<std::size_t>& starts);

  // Measuring without wrapping (a single-line box scrolls sideways instead), bounded by the
  // width asked for rather than by the text's length.
  // The first position after from where the characters from `from` on are wider than width
  // (the text's end if they never are).
  std::size_t FitAfter(std::size_t from, float width) const;
  // The advances of the characters from `from` up to `to` (caret positions) added up: what
  // stepping from one to the other with Advance and NextChar adds, at a fraction of the cost.
  double Width(std::size_t from, std::size_t to) const;
  // The advance of the character at position with its kerning against the next one (0 at the
  // text's end or without a measure).
  float Advance(std::size_t position) const;

 private:
  static constexpr std::size_t kAfter = static_cast<std::size_t>(-1);
  struct Step {
    std::size_t position = 0;
    // The characters the step took out of the text: those it removed while it is applied,
    // those it inserted while it is undone. insertedSize counts the ones in the text.
    // A whole text moved in keeps the room before it: saved's first savedFront characters are
    // not part of it.
    std::u16string saved;
    std::size_t savedFront = 0;
    std::size_t insertedSize = 0;
    std::size_t cursorBefore = 0, anchorBefore = 0;  // a line box restores them on undo
    // Where a multi-line undo or redo leaves the caret, from position, if not after what came
    // back (a move towards the start).
    std::size_t undoneCaret = kAfter, redoneCaret = kAfter;
    Edit kind = Edit::Other;
    std::u16string_view Saved() const { return std::u16string_view(saved).substr(savedFront); }
  };

  // Replaces [from, to) with with, or with with's line breaks made CR LF where crlf.
  void Replace(std::size_t from, std::size_t to, std::u16string_view with, bool crlf = false);
  // After an edit whose rows could not be laid out (out of memory): one row, and no history.
  void LostRows();
  // Moves the text to room characters into a buffer with capacity for size characters after
  // them: its own if that has the capacity, else a new one.
  void MoveText(std::size_t room, std::size_t size);
  // Moves the text to the front of its buffer, dropping the room kept before it.
  void DropFront() const;
  // When the text or other (from otherFront on) is empty, exchanges the two buffers with the
  // room before their texts (a whole text removed, or put back by undo or redo, moves instead
  // of being copied) and returns true; else returns false.
  bool SwapWhole(std::u16string& other, std::size_t& otherFront);
  // Room for size characters after the room before the text, the first keep of them kept (a
  // new buffer has no room before the text).
  void Grow(std::size_t size, std::size_t keep);
  // After a change: a buffer far larger than the text is kept once, given back the next time.
  void KeepOrShrink();
  void RewrapFrom(std::size_t position);
  void Apply(std::size_t from, std::size_t to, std::u16string_view with, Edit kind,
             bool crlf = false);
  void Record(std::size_t from, std::u16string removed, std::size_t removedFront,
              std::size_t inserted, Edit kind);
  void RebuildRows();
  void UpdateRows(std::size_t from, std::size_t removed, std::size_t inserted);
  // Appends the row starts from start (itself a row start) on, until a line begins at or
  // after stop; returns where that line begins (the text's size if none does).
  std::size_t WrapInto(std::vector<std::size_t>& rows, std::size_t start, std::size_t stop);
  CharMetrics Metrics(char32_t ch) const;  // measures once, then remembers
  // The kerning of the character at i against the one after it, in 64ths of a pixel.
  std::int32_t KernAt(std::size_t i) const {
    const std::u16string_view text = View();
    if (!kerning_ || i + 1 >= text.size() || (text[i] | text[i + 1]) >= 0x80) return 0;
    return (*kerning_)[static_cast<std::size_t>((text[i] << 7) | text[i + 1])];
  }
  // The table of advances with kerning, made when the first text is measured (most of a
  // window's boxes stay empty), and its row of the ASCII character ch.
  const std::int16_t* PairAdvances() const;
  void FillPairAdvances(char16_t ch) const;
  bool ClusterBoundary(std::size_t at) const {
    return !shaping_.clusterBoundary || shaping_.clusterBoundary(View(), at);
  }
  // Whether ch at position i is drawn as part of the glyph before it rather than beside it: the
  // emoji after a joiner in a sequence (where the boundary finder sees no boundary), the second
  // regional indicator of a flag. Marks aside, these are the characters that continue a
  // cluster; a row never starts at one, and their advance is the first one's.
  bool ContinuesCluster(std::size_t i, char32_t ch) const;
  char32_t CodePoint(std::size_t position) const;

  bool multiLine_;
  // The text is buffer_ from front_ on; only a multi-line model keeps characters before it.
  // Text() moves it to the front, which changes neither the text nor anything said of it.
  mutable std::u16string buffer_;
  mutable std::size_t front_ = 0;
  bool roomy_ = false;  // the last change left the buffer far larger than the text
  std::size_t cursor_ = 0, anchor_ = 0;

  std::vector<Step> history_;
  std::size_t done_ = 0;  // history_[0, done_) are applied
  bool mergeable_ = false;
  Change last_;
  bool keepRemoved_ = false;

  float wrapWidth_ = 0;
  std::function<CharMetrics(char32_t)> measure_;
  Shaping shaping_;
  // The kerning of every pair of ASCII characters in 64ths of a pixel, the left one's code
  // times 128 plus the right one's; null when nothing kerns. Models whose kerning is the same
  // (the boxes of a window, which share a font) share the table.
  std::shared_ptr<const std::vector<std::int16_t>> kerning_;
  // With kerning, the fast table's advance of each ASCII character with its kerning against
  // each one after it, alike; empty until PairAdvances makes it.
  mutable std::vector<std::int16_t> pairAdvance_;
  // What measure said of the characters in the flat tables; an advance below 0 is not
  // measured yet.
  mutable std::vector<std::int32_t> advance_;  // in 64ths of a pixel
  mutable std::vector<std::uint8_t> joins_;
  mutable std::vector<std::int32_t> overhang_;  // in 64ths of a pixel
  mutable std::int32_t maxOverhang_ = 0;         // of every character measured so far
  // The advances the wrapping loop adds up directly, below 0 where it must look closer.
  mutable std::vector<std::int32_t> fast_;
  mutable std::unordered_map<char32_t, CharMetrics> others_;
  std::vector<std::size_t> rows_{0};   // the start of every row, in order
};

}  // namespace calvexa
