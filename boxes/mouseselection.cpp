#include "mouseselection.h"

#include <string_view>

namespace calvexa {
namespace {

std::size_t LineStartOf(std::u16string_view text, std::size_t position) {
  while (position > 0 && !IsLineBreak(text[position - 1])) --position;
  return position;
}

std::size_t LineEndOf(std::u16string_view text, std::size_t position) {
  while (position < text.size() && !IsLineBreak(text[position])) ++position;
  return position;
}

}  // namespace

bool IsWordSeparator(char16_t c) {
  return c < 0x80 && std::u16string_view(u".,?!@#$:;-<>[](){}=/+%&^*'\"`~|\\").find(c) !=
                         std::u16string_view::npos;
}

std::pair<std::size_t, std::size_t> DoubleClickWord(
    const TextModel& model, std::size_t lineStart, std::size_t lineEnd, std::size_t position,
    const std::function<std::size_t(std::size_t)>& previousWordStart) {
  const std::u16string_view text = model.View();
  // The start: nothing before the line's start; at the line's end after a space or a
  // separator the caret stays; else the word boundary before the next character.
  std::size_t start = position;
  if (position > lineStart) {
    const bool stays = position >= lineEnd &&
                       (IsSpace(text[position - 1]) || IsWordSeparator(text[position - 1]));
    if (!stays) start = std::max(lineStart, previousWordStart(position < lineEnd ? model.NextChar(position) : position));
  }
  // The end: a run of separators, or a run of anything but spaces and separators.
  std::size_t end = start;
  if (end < lineEnd) {
    if (IsWordSeparator(text[end])) {
      while (end < lineEnd && IsWordSeparator(text[end])) ++end;
    } else {
      while (end < lineEnd && !IsSpace(text[end]) && !IsWordSeparator(text[end])) ++end;
    }
  }
  return {start, end};
}

void MouseSelection::Set(Unit unit, std::size_t start, std::size_t end) {
  unit_ = unit;
  start_ = unit == Unit::Character ? 0 : start;
  end_ = unit == Unit::Character ? 0 : end;
}

void MouseSelection::Map(const TextModel::Change& change) {
  if (unit_ == Unit::Character) return;
  start_ = change.Map(start_);
  end_ = change.Map(end_);
  if (start_ >= end_) Set(Unit::Character);
}

std::pair<std::size_t, std::size_t> MouseSelection::ExtendByLine(const TextModel& model,
                                                                std::size_t position) const {
  if (position >= start_ && position <= end_) return {start_, end_};
  const std::u16string_view text = model.View();
  if (position < end_) return {end_, LineStartOf(text, position)};
  return {start_, model.NextChar(LineEndOf(text, position))};
}

std::optional<std::pair<std::size_t, std::size_t>> MouseSelection::ExtendByWord(
    std::size_t position, std::size_t wordStart, std::size_t wordEnd, double startX, double endX,
    double pointerX) const {
  if (position >= start_ && position <= end_) return std::make_pair(start_, end_);
  if (wordEnd == wordStart || pointerX < startX || pointerX > endX) return std::nullopt;
  const std::size_t anchor = position < end_ ? end_ : start_;
  return std::make_pair(anchor, pointerX - startX < endX - pointerX ? wordStart : wordEnd);
}

}  // namespace calvexa
