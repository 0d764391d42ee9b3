#include "mouseselection.h"

#include <array>
#include <cstdint>
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

namespace {

enum class Kind : std::uint8_t { Word, Space, Separator, LineEnd };

// What each ASCII character is to word moves, in a multi-line box and in a line box (which
// shows control characters as spaces): a table, since words are scanned a character at a time.
struct AsciiKinds {
  std::array<Kind, 0x80> multi{}, line{};
};
const AsciiKinds& Ascii() {
  static const AsciiKinds kinds = [] {
    AsciiKinds k;
    for (char16_t c = 0; c < 0x80; ++c) {
      k.multi[c] = IsSpace(c) ? Kind::Space : IsLineBreak(c) ? Kind::LineEnd
                   : IsWordSeparator(c) ? Kind::Separator : Kind::Word;
      k.line[c] = c < 0x20 ? Kind::Space : k.multi[c];
    }
    return k;
  }();
  return kinds;
}

// The kinds of one box's characters.
class Kinds {
 public:
  explicit Kinds(bool lineBox) : ascii((lineBox ? Ascii().line : Ascii().multi).data()), lineBox(lineBox) {}
  Kind operator()(char16_t c) const {
    if (c < 0x80) return ascii[c];
    return IsSpace(c) || (lineBox && c == 0xFFFC) ? Kind::Space : Kind::Word;
  }

 private:
  const Kind* ascii;
  bool lineBox;
};

// Past the run of word characters, or of separators, that starts at p.
std::size_t RunEnd(std::u16string_view text, std::size_t p, const Kinds& kind) {
  const Kind run = p < text.size() ? kind(text[p]) : Kind::LineEnd;
  if (run == Kind::Separator || run == Kind::Word) {
    while (p < text.size() && kind(text[p]) == run) ++p;
  }
  return p;
}

}  // namespace

std::size_t WordStop(std::u16string_view text, std::size_t position, bool forward, bool lineBox) {
  const Kinds kind(lineBox);
  std::size_t p = std::min(position, text.size());
  if (forward) {
    p = RunEnd(text, p, kind);
    while (p < text.size() && kind(text[p]) == Kind::Space) ++p;
  } else {
    while (p > 0 && kind(text[p - 1]) == Kind::Space) --p;
    const Kind run = p > 0 ? kind(text[p - 1]) : Kind::LineEnd;
    if (run == Kind::Separator || run == Kind::Word) {
      while (p > 0 && kind(text[p - 1]) == run) --p;
    }
  }
  return p;
}

std::pair<std::size_t, std::size_t> DoubleClickWord(const TextModel& model, std::size_t position) {
  const std::u16string_view text = model.View();
  const Kinds kind(false);
  // The start: nothing before the line's start; at the line's end after a space or a
  // separator the caret stays; else the word boundary before the next character.
  const bool atLineEnd = position >= text.size() || IsLineBreak(text[position]);
  std::size_t start = position;
  if (position > 0 && !IsLineBreak(text[position - 1])) {
    const bool stays = atLineEnd && kind(text[position - 1]) != Kind::Word;
    if (!stays) start = model.Snap(WordStop(text, atLineEnd ? position : model.NextChar(position), false, false), false);
  }
  // The end: past its run of separators, or of anything but spaces, separators and line breaks.
  return {start, RunEnd(text, start, kind)};
}

MouseSelection::Unit MouseSelection::CurrentUnit() const {
  if (lineEnd_ > lineStart_) return Unit::Line;
  return wordEnd_ > wordStart_ ? Unit::Word : Unit::Character;
}

void MouseSelection::Set(Unit unit, std::size_t start, std::size_t end) {
  if (unit != Unit::Line) wordStart_ = start, wordEnd_ = end;
  if (unit != Unit::Word) lineStart_ = start, lineEnd_ = end;
}

std::size_t MouseSelection::Start() const {
  const Unit unit = CurrentUnit();
  return unit == Unit::Line ? lineStart_ : unit == Unit::Word ? wordStart_ : 0;
}

std::size_t MouseSelection::End() const {
  const Unit unit = CurrentUnit();
  return unit == Unit::Line ? lineEnd_ : unit == Unit::Word ? wordEnd_ : 0;
}

void MouseSelection::Map(const TextModel::Change& change) {
  for (std::size_t* end : {&wordStart_, &wordEnd_, &lineStart_, &lineEnd_}) *end = change.Map(*end);
}

std::pair<std::size_t, std::size_t> MouseSelection::ExtendByLine(const TextModel& model,
                                                                std::size_t position) const {
  if (position >= lineStart_ && position <= lineEnd_) return {lineStart_, lineEnd_};
  const std::u16string_view text = model.View();
  if (position < lineEnd_) return {lineEnd_, LineStartOf(text, position)};
  return {lineStart_, model.NextChar(LineEndOf(text, position))};
}

std::optional<std::pair<std::size_t, std::size_t>> MouseSelection::ExtendByWord(
    std::size_t position, std::size_t wordStart, std::size_t wordEnd, double startX, double endX,
    double pointerX) const {
  if (position >= wordStart_ && position <= wordEnd_) return std::make_pair(wordStart_, wordEnd_);
  if (wordEnd == wordStart || pointerX < startX || pointerX > endX) return std::nullopt;
  const std::size_t anchor = position < wordEnd_ ? wordEnd_ : wordStart_;
  return std::make_pair(anchor, pointerX - startX < endX - pointerX ? wordStart : wordEnd);
}

}  // namespace calvexa
