#pragma once
// How far a single-line box has scrolled sideways, and the rule that keeps its caret in view,
// as Qt's line edit has them: the view's left edge stands a whole number of pixels from the
// line's start, so a character may show in part at either edge.
//
// Positions' x are sums of the model's advances. Each is reckoned from a position whose x is
// already known, kept a little behind the last one asked for, so that scrolling, typing or
// deleting near the caret costs what it moves over rather than the line's length.

#include <cstddef>
#include <cstdint>

#include "textmodel.h"

namespace calvexa {

class LineScroll {
 public:
  explicit LineScroll(const TextModel& model) : model_(model) {}

  // Pixels of the line left of the view (negative where the line starts inside it). A line of
  // wide characters passes the range of an int.
  std::int64_t Offset() const { return offset_; }
  // The text changed from position on.
  void TextChanged(std::size_t position) {
    // (The character before position kerns against the one after it, which may have changed.)
    if (position <= known_) known_ = 0, knownX_ = 0;
  }

  // Where position stands from the line's start, in pixels.
  double X(std::size_t position);
  // The character under the line's x (the text's end beyond it, 0 before it).
  std::size_t CharacterAt(double x);
  // The character holding the view's left edge.
  std::size_t FirstInView() { return CharacterAt(static_cast<double>(offset_)); }

  // Scrolls a view `width` pixels wide so that the caret at cursor shows. Text being composed
  // at the cursor, `composed` pixels wide, counts as typed there, with the caret `caret` pixels
  // into it. A line that fits stands at the view's left, or with alignRight at its right (a
  // right-to-left text's place).
  void Follow(std::size_t cursor, int width, double composed = 0, double caret = 0, bool alignRight = false);
  // The same rule for a line whose caret's x (cursorX) and width in whole pixels with the
  // caret's (used) are known already: a line laid out whole.
  void Place(std::int64_t cursorX, std::int64_t used, int width, bool alignRight);

 private:
  void Remember(std::size_t position, double x);

  const TextModel& model_;
  std::int64_t offset_ = 0;
  std::size_t known_ = 0;  // a position whose x is knownX_
  double knownX_ = 0;
};

}  // namespace calvexa
