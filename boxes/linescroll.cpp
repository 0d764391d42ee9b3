#include "linescroll.h"

#include <algorithm>
#include <cmath>

namespace calvexa {
namespace {

// How far behind the last position asked for the known x is kept: an edit that reaches back
// less than this from the caret leaves it valid.
constexpr std::size_t kBehind = 256;

}  // namespace

double LineScroll::X(std::size_t position) {
  position = std::min(model_.Snap(position, false), model_.Size());
  std::size_t at = known_;
  double x = knownX_;
  if (position < known_ && position < known_ - position) at = 0, x = 0;
  if (at < position) x += model_.Width(at, position);
  if (at > position) x -= model_.Width(position, at);
  Remember(position, x);
  return x;
}

void LineScroll::Remember(std::size_t position, double x) {
  // Known a little behind position, so that Backspace and friends keep it.
  std::size_t at = position;
  for (std::size_t i = 0; i < kBehind && at > 0; ++i) {
    at = model_.PreviousChar(at);
    x -= model_.Advance(at);
  }
  known_ = at;
  knownX_ = at == 0 ? 0 : x;
}

std::size_t LineScroll::CharacterAt(double x) {
  if (x <= 0 || model_.Size() == 0) return 0;
  std::size_t at = known_;
  double left = knownX_;
  if (x < left && x < left - x) at = 0, left = 0;
  while (at > 0 && left > x) {
    at = model_.PreviousChar(at);
    left -= model_.Advance(at);
  }
  while (at < model_.Size()) {
    const double right = left + model_.Advance(at);
    if (right > x) break;
    left = right;
    at = model_.NextChar(at);
  }
  Remember(at, left);
  return at;
}

void LineScroll::Follow(std::size_t cursor, int width, double composed, double caret, bool alignRight) {
  // The line's width matters only where its end is in or near the view; elsewhere it is
  // taken as far beyond, without walking there.
  const std::size_t end = model_.Size();
  const auto near = [&](double from) {
    return model_.FitAfter(CharacterAt(from), static_cast<float>(width + 2)) >= end;
  };
  const bool fitsFromStart = near(0);
  const double far = std::max<double>(static_cast<double>(offset_), 0) + 4.0 * width + 8;
  const std::int64_t used =
      std::llround((fitsFromStart || near(static_cast<double>(offset_)) ? X(end) : far) + composed) + 1;
  Place(std::llround(X(cursor) + caret), used, width, alignRight);
}

void LineScroll::Place(std::int64_t cix, std::int64_t used, int width, bool alignRight) {
  if (used <= width) {
    offset_ = alignRight ? used - width + 1 : 0;
  } else if (cix - offset_ >= width) {
    offset_ = cix - width + 1;
  } else if (cix - offset_ < 0 && offset_ < used) {
    offset_ = cix;
  } else if (used - offset_ < width) {
    offset_ = used - width + 1;
  } else {
    offset_ = std::max<std::int64_t>(0, offset_);
  }
}

}  // namespace calvexa
