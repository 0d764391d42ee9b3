#pragma once
// How the mouse selects in a multi-line box, apart from the widget: the word a double-click
// takes, and what a drag or a Shift+click after a double or triple click extends by. As in
// Qt's text edits: the word of the last double-click and the line of the last triple click
// are remembered apart; a drag or Shift+click grows the selection by whole lines (each with its
// line break) while the line took something, else by whole words while the word did, else by
// characters. Only a plain click that starts a new selection forgets them: not keys, not a
// double-click after a triple click, not a click in the selection that could have been a drag.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "textmodel.h"

namespace calvexa {

// The punctuation that separates words for double-clicks and word extension (not spaces).
bool IsWordSeparator(char16_t c);

// Where a word move from position stops, as a text layout moves by words over the line that
// holds position: forward over a run of separators, or else over a run of anything but spaces
// and separators, then over the spaces after it; backward over the spaces before position, then
// over the run before them. A line break ends a multi-line box's line; a line box has one line
// and shows its control characters as spaces. The time is linear in the distance moved, so a
// word of any length is whole.
std::size_t WordStop(std::u16string_view text, std::size_t position, bool forward, bool lineBox);

// The word a double-click at position selects in a multi-line text, within its line (line
// breaks excluded): from the start of the word that holds position to the end of its run of
// word characters, or of its run of separators when it starts with one. Right of a line that
// ends in a space or a separator, and at a line's end in general, it is empty at position.
// The time is linear in the word's length, whatever the line's.
std::pair<std::size_t, std::size_t> DoubleClickWord(const TextModel& model, std::size_t position);

class MouseSelection {
 public:
  enum class Unit { Character, Word, Line };

  // Line or Word while the one remembered took something, else Character.
  Unit CurrentUnit() const;
  // Remembers [start, end) as what a double (Word) or triple (Line) click took, keeping the
  // other; Character forgets both.
  void Set(Unit unit, std::size_t start = 0, std::size_t end = 0);

  // The selection (anchor, cursor) that extending the line unit to position gives: the
  // unit itself while position is inside it, else from its far end to the start of
  // position's line, or to the end of position's line with its line break.
  std::pair<std::size_t, std::size_t> ExtendByLine(const TextModel& model, std::size_t position) const;

  // The selection that extending the word unit gives, for the word [wordStart, wordEnd)
  // around position, which starts at startX and ends at endX on one row, with the pointer
  // at pointerX: the unit while position is inside it; nothing new (nullopt) while the
  // pointer is off that word; else from the unit's far end to the nearer end of the word.
  std::optional<std::pair<std::size_t, std::size_t>> ExtendByWord(
      std::size_t position, std::size_t wordStart, std::size_t wordEnd, double startX, double endX,
      double pointerX) const;

  // The text changed: the word and the line follow it as a text cursor's ends do, so one
  // whose characters all went takes nothing any more.
  void Map(const TextModel::Change& change);

  // The extent of the current unit (0, 0 for characters).
  std::size_t Start() const;
  std::size_t End() const;

 private:
  std::size_t wordStart_ = 0, wordEnd_ = 0;
  std::size_t lineStart_ = 0, lineEnd_ = 0;
};

}  // namespace calvexa
