#include "textboxaccessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QWidget>
#include <limits>
#include <vector>

#include "textbox.h"

namespace calvexa {
namespace {

// The text of [from, to) for a word boundary finder, with every run of ASCII letters and digits
// longer than twice kKept cut to its first and last kKept characters. Letters and digits join
// into one word, so nothing inside such a run is a boundary, and its ends keep the context the
// finder looks at: a long word costs a scan, not the finder's work on every character.
class Squeezed {
 public:
  static constexpr std::size_t kKept = 64;

  Squeezed(std::u16string_view all, std::size_t from, std::size_t to) : from(from) {
    const auto alnum = [](char16_t c) {
      return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    };
    std::size_t kept = from;  // what is copied so far
    for (std::size_t i = from; i < to;) {
      if (!alnum(all[i])) {
        ++i;
        continue;
      }
      std::size_t end = i;
      while (end < to && alnum(all[end])) ++end;
      if (end - i > 2 * kKept) {
        text += ToQString(all.substr(kept, i + kKept - kept));
        gaps.push_back({i + kKept, end - i - 2 * kKept});
        kept = end - kKept;
      }
      i = end;
    }
    text += ToQString(all.substr(kept, to - kept));
  }

  // Where an offset of the text is in the window; inside a cut, where the cut is.
  qsizetype In(std::size_t p) const {
    std::size_t left = 0;
    for (const Gap& gap : gaps) {
      if (p < gap.at) break;
      left += std::min(gap.length, p - gap.at);
    }
    return static_cast<qsizetype>(p - from - left);
  }
  // The offset of the text at a place in the window.
  std::size_t Out(qsizetype q) const {
    std::size_t p = from + static_cast<std::size_t>(q);
    for (const Gap& gap : gaps) {
      if (p <= gap.at) break;
      p += gap.length;
    }
    return p;
  }

  QString text;

 private:
  struct Gap {
    std::size_t at, length;  // where in the text the characters left out start, and how many
  };
  std::size_t from;
  std::vector<Gap> gaps;
};

// What a screen reader reads around an offset: the character, word, sentence, line or paragraph
// there, before it or after it, answered as Qt's box of the same kind answers (a multi-line box
// as QPlainTextEdit, a line box as QLineEdit). Qt's boxes shape the whole text or paragraph for
// every question; these look at most kReach characters either way, so a question costs the
// same in a box of megabytes. A word, a paragraph, a line box's line and the whole text are
// answered whole, in time linear in their length, as they are what was asked for.
class Reader {
 public:
  using Type = QAccessible::TextBoundaryType;
  struct Span {
    int start = -1, end = -1;  // -1, -1: nothing there
  };
  enum class Side { At, Before, After };

  explicit Reader(const TextBoxBase& box)
      : model(box.Model()), text(model.View()), size(text.size()),
        caret(static_cast<std::size_t>(box.CursorPosition())) {}

  Span Find(Side side, int offset, Type type) const {
    return model.MultiLine() ? InDocument(side, offset, type) : InLine(side, offset, type);
  }

 private:
  // A sentence longer than this is cut this far from the offset; a line box's word is first
  // looked for this far.
  static constexpr std::size_t kReach = 4096;
  // How far from where a window cuts the text the boundaries found there are the whole text's.
  static constexpr std::size_t kClear = 64;
  static constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();

  static Span Make(std::size_t start, std::size_t end) {
    return {static_cast<int>(start), static_cast<int>(end)};
  }
  QString Window(std::size_t from, std::size_t to) const {
    return ToQString(std::u16string_view(text).substr(from, to - from));
  }

  // ---- Multi-line: as QPlainTextEdit, whose answers come from its text cursor's moves ----

  // The offset -2 is the caret and -1 the text's end; any other offset out of range reads at
  // the caret (QPlainTextEdit's cursor stays there when told to go out of range).
  Span InDocument(Side side, int offset, Type type) const {
    std::size_t p = offset == -1 ? size
                    : offset < 0 || static_cast<std::size_t>(offset) > size
                        ? caret
                        : InsideBreak(static_cast<std::size_t>(offset));
    const Span at = DocumentAt(p, type);
    // The item before is the one at the character before the item; the one after, the item at
    // its end. At the text's start there is no character before, and the item itself answers.
    if (side == Side::Before && at.start > 0) return DocumentAt(InsideBreak(at.start - 1), type);
    if (side == Side::After) return DocumentAt(static_cast<std::size_t>(at.end), type);
    return at;
  }

  // The position of the CR LF pair whose LF is at p; Qt's document has one break where we keep two.
  std::size_t InsideBreak(std::size_t p) const {
    return p > 0 && p < size && text[p - 1] == u'\r' && text[p] == u'\n' ? p - 1 : p;
  }

  std::size_t ParagraphStart(std::size_t p, std::size_t reach) const {
    const std::size_t stop = p > reach ? p - reach : 0;
    while (p > stop && !IsLineBreak(text[p - 1])) --p;
    return model.Snap(p, true);
  }
  // Before the paragraph's line break.
  std::size_t ParagraphEnd(std::size_t p, std::size_t reach) const {
    const std::size_t stop = size - p > reach ? p + reach : size;
    while (p < stop && !IsLineBreak(text[p])) ++p;
    return model.Snap(p, false);
  }

  Span DocumentAt(std::size_t p, Type type) const {
    switch (type) {
      case QAccessible::CharBoundary: {
        if (p >= size) return Make(p, p);
        if (IsLineBreak(text[p])) return Make(p, model.NextChar(p));
        const std::size_t from = ParagraphStart(p, kReach), to = ParagraphEnd(p, kReach);
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, Window(from, to));
        graphemes.setPosition(static_cast<qsizetype>(p - from));
        return Make(p, from + static_cast<std::size_t>(graphemes.toNextBoundary()));
      }
      case QAccessible::WordBoundary: {
        // The word a double-click selects: the text cursor's start and end of the word at p.
        const auto [start, end] = DoubleClickWord(model, p);
        return Make(start, end);
      }
      case QAccessible::SentenceBoundary: {
        const std::size_t from = ParagraphStart(p, kReach), to = ParagraphEnd(p, kReach);
        QTextBoundaryFinder sentences(QTextBoundaryFinder::Sentence, Window(from, to));
        const auto at = static_cast<qsizetype>(p - from);
        sentences.setPosition(at);
        qsizetype first = at;
        if (!(sentences.boundaryReasons() & QTextBoundaryFinder::StartOfItem)) first = sentences.toPreviousBoundary();
        const qsizetype next = sentences.toNextBoundary();
        return Make(first < 0 ? from : from + static_cast<std::size_t>(first),
                    next < 0 ? to : from + static_cast<std::size_t>(next));
      }
      case QAccessible::LineBoundary: {
        // Our rows are the lines. A row that wraps after a space ends before it, as a text
        // cursor's end of line does.
        const std::size_t row = model.RowOf(p);
        const std::size_t start = model.RowStart(row);
        std::size_t end = model.RowEnd(row);
        const bool wraps = row + 1 < model.RowCount() && model.RowStart(row + 1) == end;
        if (wraps && end > start && QChar::isSpace(text[end - 1])) --end;
        return Make(start, end);
      }
      case QAccessible::ParagraphBoundary:
        return Make(ParagraphStart(p, kWhole), ParagraphEnd(p, kWhole));
      case QAccessible::NoBoundary:
        break;
    }
    return Make(0, size);
  }

  // ---- One line: as QLineEdit, whose answers come from a boundary finder over the text ----

  // The offset -2 is the caret and -1 the text's end; others out of range read nothing.
  Span InLine(Side side, int offset, Type type) const {
    const std::size_t p = offset == -2 ? caret : offset == -1 ? size : static_cast<std::size_t>(std::max(offset, 0));
    const bool valid = size > 0 && offset >= -2 && p <= size;
    if (!valid || (side == Side::Before && p == 0) || (side == Side::After && p == size)) return {};
    switch (type) {
      case QAccessible::CharBoundary:
        if (side == Side::At && p == size) return {};
        return Items(side, p, QTextBoundaryFinder::Grapheme);
      case QAccessible::WordBoundary:
        return Items(side, p, QTextBoundaryFinder::Word);
      case QAccessible::SentenceBoundary:
        return Items(side, p, QTextBoundaryFinder::Sentence);
      case QAccessible::LineBoundary:
      case QAccessible::ParagraphBoundary:
        return LineAt(side, p);
      case QAccessible::NoBoundary:
        break;
    }
    return side == Side::At ? Make(0, size) : Span{};
  }

  // Lines end after each LF, which they include.
  Span LineAt(Side side, std::size_t p) const {
    const std::u16string_view all(text);
    if (side == Side::After) {
      const std::size_t lf = all.find(u'\n', std::min(p, size - 1));
      if (lf == std::u16string_view::npos) return {};
      p = lf + 1;
    } else if (side == Side::Before) {
      const std::size_t lf = all.rfind(u'\n', p - 1);
      if (lf == std::u16string_view::npos) return {};
      p = lf;
    }
    const std::size_t start = p > 0 && all.rfind(u'\n', p - 1) != std::u16string_view::npos
                                  ? all.rfind(u'\n', p - 1) + 1 : 0;
    const std::size_t lf = all.find(u'\n', std::min(p, size - 1));
    return Make(start, lf == std::u16string_view::npos ? size : lf + 1);
  }

  // Characters, words and sentences are the runs between the finder's boundaries that start or
  // end an item: a word and the spaces and punctuation before the next word are two runs.
  // QLineEdit never answers for a word or sentence that ends at the text's end, nor for a run
  // that starts at the text's start before any item; these answer what it looks for there.
  // A word is answered whole: its reach doubles until the boundaries it looked at lie clear of
  // where the window cuts the text, so a word costs time linear in its length.
  Span Items(Side side, std::size_t p, QTextBoundaryFinder::BoundaryType type) const {
    for (std::size_t reach = kReach;; reach *= 2) {
      const std::size_t from = model.Snap(p > reach ? p - reach : 0, true);
      const std::size_t to = model.Snap(size - p > reach ? p + reach : size, false);
      std::size_t low = 0, high = 0;
      const Span span = ItemsWithin(side, p, type, from, to, low, high);
      const bool cut = (from > 0 && low < from + kClear) || (to < size && high + kClear > to);
      if (!cut || type != QTextBoundaryFinder::Word) return span;
    }
  }

  // The same within [from, to); [low, high] is what the answer looked at.
  Span ItemsWithin(Side side, std::size_t p, QTextBoundaryFinder::BoundaryType type, std::size_t from,
                   std::size_t to, std::size_t& low, std::size_t& high) const {
    const bool word = type == QTextBoundaryFinder::Word;
    const Squeezed squeezed(text, word ? from : to, to);  // only a word's window is squeezed
    QTextBoundaryFinder finder(type, word ? squeezed.text : Window(from, to));
    const auto n = word ? squeezed.text.size() : static_cast<qsizetype>(to - from);
    const auto place = [&](std::size_t q) { return word ? squeezed.In(q) : static_cast<qsizetype>(q - from); };
    const auto offset = [&](qsizetype x) { return word ? squeezed.Out(x) : from + static_cast<std::size_t>(x); };
    const auto marked = [&] {
      return (finder.boundaryReasons() &
              (QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem)) != 0;
    };
    // The last such boundary before x (or at it), the window's start if none.
    const auto back = [&](qsizetype x, bool orAt) {
      finder.setPosition(x);
      if (!orAt || !marked()) {
        while (finder.position() > 0 && finder.toPreviousBoundary() > 0 && !marked()) {
        }
      }
      return std::max<qsizetype>(finder.position(), 0);
    };
    // The first such boundary after x, the window's end if none.
    const auto ahead = [&](qsizetype x) {
      finder.setPosition(x);
      while (finder.toNextBoundary() >= 0 && finder.position() < n && !marked()) {
      }
      return finder.position() < 0 ? n : finder.position();
    };
    const qsizetype at = place(p);
    qsizetype start = at, end = at;
    bool none = false;
    switch (side) {
      case Side::At:
        finder.setPosition(at);
        if (at == n && marked()) {
          start = back(n, false);
          end = n;
        } else {
          start = back(at, true);
          end = ahead(start);
        }
        break;
      case Side::Before:
        end = back(at, true);
        none = end == 0;
        start = none ? 0 : back(end, false);
        break;
      case Side::After:
        start = ahead(at);
        none = start >= n;
        end = none ? n : ahead(start);
        break;
    }
    low = std::min(offset(start), p);
    high = std::max(offset(end), p);
    if (none) return {};
    return Make(offset(start), offset(end));
  }

  const TextModel& model;
  const std::u16string_view text;
  const std::size_t size;
  const std::size_t caret;
};

// While the bridge edits a box for a screen reader, the caret moves it makes on the way are not
// told; the bridge tells where the caret ends.
const TextBoxBase* quietBox = nullptr;
struct QuietCaret {
  explicit QuietCaret(const TextBoxBase& box) { quietBox = &box; }
  ~QuietCaret() { quietBox = nullptr; }
};

void TellCaret(TextBoxBase& box, bool edited);

// The selection as screen readers are told it: (0, 0) when nothing is selected.
std::pair<int, int> ToldSelection(const TextBoxBase& box) {
  if (!box.HasSelection()) return {0, 0};
  return {static_cast<int>(box.Model().SelectionStart()), static_cast<int>(box.Model().SelectionEnd())};
}

class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
 public:
  // A screen reader learns the caret and selection of a box it meets from the box itself; only
  // their later changes are news. So a caret that has not moved is never told (focus coming to
  // an empty line box, say, where a caret event before the focus event would keep the focus
  // unspoken), as Qt's text edit tells only a cursor that moved.
  explicit TextBoxAccessible(QWidget* widget)
      : QAccessibleWidget(widget, QAccessible::EditableText),
        toldCursor(Box()->CursorPosition()), toldSelection(ToldSelection(*Box())) {}

  TextBoxBase* Box() const { return static_cast<TextBoxBase*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Box()->TextAsQString();
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.editable = true;
    s.selectableText = true;
    s.multiLine = Box()->Model().MultiLine();
    return s;
  }

  // A line box shows no parts of its own, as QLineEdit: its hidden scroll bars are not there.
  int childCount() const override { return Multi() ? QAccessibleWidget::childCount() : 0; }
  QAccessibleInterface* child(int index) const override {
    return Multi() ? QAccessibleWidget::child(index) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* part) const override {
    return Multi() ? QAccessibleWidget::indexOfChild(part) : -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    return Multi() ? QAccessibleWidget::childAt(x, y) : nullptr;
  }
  bool Multi() const { return Box()->Model().MultiLine(); }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // Text interface.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !Box()->HasSelection()) return;
    *start = static_cast<int>(Box()->Model().SelectionStart());
    *end = static_cast<int>(Box()->Model().SelectionEnd());
  }
  int selectionCount() const override { return Box()->HasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int index) override {
    if (index == 0) Box()->Select(Box()->CursorPosition(), Box()->CursorPosition());
  }
  void setSelection(int index, int start, int end) override {
    if (index == 0) Box()->Select(start, end);
  }
  int cursorPosition() const override { return Box()->CursorPosition(); }
  void setCursorPosition(int position) override { Box()->Select(position, position); }
  QString text(int start, int end) const override {
    const std::u16string_view all = Box()->View();
    const auto from = static_cast<std::size_t>(std::clamp(start, 0, characterCount()));
    const auto to = static_cast<std::size_t>(std::clamp(end, 0, characterCount()));
    return from < to ? ToQString(std::u16string_view(all).substr(from, to - from)) : QString();
  }
  int characterCount() const override { return static_cast<int>(Box()->View().size()); }
  QRect characterRect(int offset) const override {
    const QRect local = Box()->CharacterExtent(offset);
    return local.isNull() ? QRect() : local.translated(Box()->mapToGlobal(QPoint(0, 0)));
  }
  // A line box answers the caret position nearest the point, as QLineEdit does; a multi-line
  // box the character under it, as QPlainTextEdit means to (the nearest one beside the text).
  int offsetAtPoint(const QPoint& point) const override {
    const QPoint local = Box()->mapFromGlobal(point);
    const int nearest = Box()->PositionAt(local);
    if (!Multi() || nearest == 0 || Box()->CharacterRect(nearest).contains(local)) return nearest;
    const auto before = static_cast<int>(Box()->Model().PreviousChar(static_cast<std::size_t>(nearest)));
    return Box()->CharacterRect(before).contains(local) ? before : nearest;
  }
  // A line box puts its caret there, as QLineEdit does; a multi-line box scrolls the row into
  // view and leaves its caret alone.
  void scrollToSubstring(int start, int) override {
    if (!Box()->Model().MultiLine()) {
      setCursorPosition(start);
      return;
    }
    QScrollBar* bar = Box()->verticalScrollBar();
    const auto row = static_cast<int>(Box()->Model().RowOf(static_cast<std::size_t>(std::clamp(start, 0, characterCount()))));
    if (row < bar->value()) bar->setValue(row);
    else if (row >= bar->value() + bar->pageStep()) bar->setValue(row - bar->pageStep() + 1);
  }
  QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                       int* end) const override {
    return Answer(Reader(*Box()).Find(Reader::Side::At, offset, type), start, end);
  }
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                           int* end) const override {
    return Answer(Reader(*Box()).Find(Reader::Side::Before, offset, type), start, end);
  }
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                          int* end) const override {
    return Answer(Reader(*Box()).Find(Reader::Side::After, offset, type), start, end);
  }
  // A line box has no text attributes, as QLineEdit. A multi-line box tells its font for each
  // paragraph, and for each line break on its own, as QPlainTextEdit does.
  QString attributes(int offset, int* start, int* end) const override {
    const TextModel& model = Box()->Model();
    if (!model.MultiLine()) {
      *start = *end = offset;
      return {};
    }
    const int size = characterCount();
    if (offset == -2) offset = cursorPosition();
    if (offset == -1 || offset == size) offset = size - 1;
    *start = *end = -1;
    if (offset < 0 || offset > size) return {};
    const std::u16string_view all = model.View();
    auto p = static_cast<std::size_t>(offset);
    if (p > 0 && all[p - 1] == u'\r' && all[p] == u'\n') --p;
    std::size_t from = p, to = p;
    if (IsLineBreak(all[p])) {
      to = model.NextChar(p);
    } else {
      while (from > 0 && !IsLineBreak(all[from - 1])) --from;
      while (to < all.size() && !IsLineBreak(all[to])) ++to;
    }
    *start = static_cast<int>(from);
    *end = static_cast<int>(to);
    const QFont font = Box()->font();
    QString family = font.families().value(0);
    for (const QChar special : {u'\\', u':', u',', u'=', u';', u'"'}) {
      family.replace(special, QStringLiteral("\\") + special);
    }
    QString out = QStringLiteral("font-family:\"%1\";").arg(family);
    if (font.pointSize() != 0) out += QStringLiteral("font-size:%1pt;").arg(font.pointSize());
    out += font.weight() > QFont::Normal ? QStringLiteral("font-weight:bold;") : QStringLiteral("font-weight:normal;");
    out += font.style() == QFont::StyleItalic    ? QStringLiteral("font-style:italic;")
           : font.style() == QFont::StyleOblique ? QStringLiteral("font-style:oblique;")
                                                 : QStringLiteral("font-style:normal;");
    return out + QStringLiteral("text-position:baseline;text-align:left;");
  }

  QString Answer(Reader::Span span, int* start, int* end) const {
    *start = span.start;
    *end = span.end;
    return span.start < 0 ? QString() : text(span.start, span.end);
  }

  // Editable text interface. Each edit is one undoable step told as exactly what changed. The
  // caret ends where Qt's box of the kind leaves it: a line box's at the text's end (QLineEdit
  // writes its whole text anew), a multi-line box's where it was, moved along by the edit, with
  // the selection. Screen readers hear of the caret once.
  void deleteText(int start, int end) override { Edit(start, end, {}); }
  void insertText(int offset, const QString& text) override { Edit(offset, offset, text); }
  void replaceText(int start, int end, const QString& text) override { Edit(start, end, text); }

  void Edit(int start, int end, const QString& text) {
    TextBoxBase& box = *Box();
    const std::size_t cursor = box.Model().Cursor(), anchor = box.Model().Anchor();
    bool edited = false;
    {
      const QuietCaret quiet(box);
      bool changed = false;
      const auto watch = QObject::connect(&box, &TextBoxBase::textChanged, [&] { changed = true; });
      box.ReplaceRange(start, end, text);
      QObject::disconnect(watch);
      const TextModel::Change& change = box.Model().LastChange();
      const auto moved = [&](std::size_t p) {
        if (!changed || p < change.position) return p;
        if (p <= change.position + change.removed) return change.position + change.inserted;
        return p - change.removed + change.inserted;
      };
      if (Multi()) {
        box.Select(static_cast<int>(moved(anchor)), static_cast<int>(moved(cursor)));
      } else {
        box.Select(characterCount(), characterCount());
      }
      edited = changed;
    }
    TellCaret(box, edited);
  }

  // What screen readers were last told of the caret and the selection.
  int toldCursor;
  std::pair<int, int> toldSelection;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* box = qobject_cast<TextBoxBase*>(object)) return new TextBoxAccessible(box);
  return nullptr;
}

// Screen readers hear of a selection that changed (or went) and of the caret, as from Qt's
// boxes: a multi-line box tells the caret after every change of the text and whenever it moved;
// a line box, as QLineEdit, only when it moved, and not while text is selected (the selection
// tells it).
void TellCaret(TextBoxBase& box, bool edited) {
  if (!QAccessible::isActive() || quietBox == &box) return;
  auto* face = dynamic_cast<TextBoxAccessible*>(QAccessible::queryAccessibleInterface(&box));
  if (!face) return;
  const int cursor = box.CursorPosition();
  const std::pair<int, int> selection = ToldSelection(box);
  if (selection != face->toldSelection) {
    face->toldSelection = selection;
    QAccessibleTextSelectionEvent event(&box, selection.first, selection.second);
    event.setCursorPosition(cursor);
    QAccessible::updateAccessibility(&event);
  }
  const bool moved = cursor != face->toldCursor;
  face->toldCursor = cursor;
  if (box.Model().MultiLine() ? edited || moved : moved && !box.HasSelection()) {
    QAccessibleTextCursorEvent event(&box, cursor);
    QAccessible::updateAccessibility(&event);
  }
}

}  // namespace

void InstallTextBoxAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

void NotifyTextChange(TextBoxBase& box, const TextModel::Change& change) {
  if (!QAccessible::isActive()) return;
  const auto position = static_cast<int>(change.position);
  const QString inserted =
      ToQString(box.View().substr(change.position, change.inserted));
  const QString removed = ToQString(change.removedText);
  if (change.removed > 0 && change.inserted > 0) {
    QAccessibleTextUpdateEvent event(&box, position, removed, inserted);
    QAccessible::updateAccessibility(&event);
  } else if (change.removed > 0) {
    QAccessibleTextRemoveEvent event(&box, position, removed);
    QAccessible::updateAccessibility(&event);
  } else if (change.inserted > 0) {
    QAccessibleTextInsertEvent event(&box, position, inserted);
    QAccessible::updateAccessibility(&event);
  }
  TellCaret(box, true);
}

void NotifyCaretMove(TextBoxBase& box) { TellCaret(box, false); }

}  // namespace calvexa
