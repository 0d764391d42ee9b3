#include "textbox.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QStyle>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>

#include "boxtextdata.h"
#include "textboxaccessible.h"

namespace calvexa {
namespace {

// Space between a multi-line box's edge and its text, as in Qt's own text documents.
constexpr double kDocumentMargin = 4;
// A single-line box's text sits this far inside its frame, as in Qt's line edits.
constexpr int kLineHorizontalMargin = 2;
constexpr int kLineVerticalMargin = 1;
// Tab stops of the shown text, as Qt's boxes have them; a row's tabs reach to them.
constexpr double kTabStop = 80;
// How far around the caret the text is shaped to find the next character boundary.
constexpr std::size_t kBoundaryWindow = 256;
// A line box with a text of at most this many characters lays it out whole, as a line edit
// does, so that shaping places every script and direction as there; a longer one sums the
// model's advances (exact for ASCII) and lays out only the characters in view.
constexpr std::size_t kWholeLine = 8192;
// A multi-line box lays out a line in view of at most this many characters whole, as a text
// edit does, where the tables' advances would not place its characters as shaping does.
constexpr std::size_t kShapedLine = 8192;
// Rows this far from the view's top are taken at their own heights; beyond, at the font's.
constexpr std::size_t kMeasuredRows = 512;
// Texts from this size on are worth handing their memory back when a box is emptied.
constexpr std::size_t kLargeText = std::size_t{1} << 20;

// A line box shows control characters and line breaks as spaces.
QString ShownInLine(QString text) {
  for (QChar& c : text) {
    const char16_t u = c.unicode();
    if ((u < 0x20 && u != u'\t') || u == 0x2028 || u == 0x2029 || u == 0xFFFC) c = QChar(u' ');
  }
  return text;
}

// A control character's advance as the text layout gives it inside a text. Asked alone, the
// answer depends on which fallback fonts were loaded before (a box's first text with one in it
// may get the primary font's missing-glyph width, later ones none), so it is taken after a DEL,
// which has the fallback fonts looked through first.
bool IsControl(char32_t ch) { return ch < 0x20 || (ch >= 0x7F && ch < 0xA0); }
float ControlAdvance(const QFont& font, QPaintDevice* device, char32_t ch) {
  const QString text = QString(QChar(u'\x7f')) + QChar(static_cast<char16_t>(ch));
  QTextLayout layout(text, font, device);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  return line.isValid() ? static_cast<float>(line.cursorToX(2) - line.cursorToX(1)) : 0.0f;
}

CharMetrics Measure(const QFontMetricsF& metrics, const QFont& font, QPaintDevice* device, char32_t ch) {
  CharMetrics m;
  m.advance = ch == u'\t'      ? kTabStop
              : IsControl(ch) ? ControlAdvance(font, device, ch)
                              : static_cast<float>(metrics.horizontalAdvance(QString::fromUcs4(&ch, 1)));
  // Qt's layouts keep a glyph's ink inside the row, a negative right bearing included.
  if (ch != u'\t' && ch < 0x10000) {
    m.overhang = static_cast<float>(std::max(0.0, -metrics.rightBearing(QChar(static_cast<char16_t>(ch)))));
  }
  const QChar::Category category = QChar::category(ch);
  m.joinsPrevious = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
                    category == QChar::Mark_Enclosing || ch == 0x200D ||
                    (ch >= 0xFE00 && ch <= 0xFE0F) || (ch >= 0x1F3FB && ch <= 0x1F3FF) ||
                    (ch >= 0xE0020 && ch <= 0xE007F) || (ch >= 0xE0100 && ch <= 0xE01EF);
  return m;
}

// How shaping changes the advance of each printable ASCII character before each other one
// (the font's kerning, and any difference between a glyph's advance alone and in a run), in
// pixels, 95 by 95 from U+0020: measured once for each font and resolution from the text
// layout itself, each left character laid out before every right one in one run.
const std::vector<float>& AsciiKerning(const QFont& font, QPaintDevice* device) {
  static std::map<std::pair<QString, int>, std::vector<float>> known;
  auto& table = known[{font.key(), device ? device->logicalDpiX() : 0}];
  if (!table.empty()) return table;
  constexpr int first = 0x20, count = 0x7F - first;
  const QFontMetricsF metrics(font, device);
  std::vector<float> pairs(count * count, 0.0f);
  for (int l = 0; l < count; ++l) {
    QString run;
    for (int r = 0; r < count; ++r) run.append(QChar(first + l)).append(QChar(first + r));
    QTextLayout layout(run, font, device);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) continue;
    const double alone = metrics.horizontalAdvance(QChar(first + l));
    for (int r = 0; r < count; ++r) {
      pairs[static_cast<std::size_t>(l * count + r)] =
          static_cast<float>(line.cursorToX(2 * r + 1) - line.cursorToX(2 * r) - alone);
    }
  }
  table = std::move(pairs);
  return table;
}

// Whether a row may start at position at: not inside a grapheme cluster, as the text layout
// finds them. A cluster never reaches back past an ASCII character other than a line break,
// so the finder looks from the last one before at.
bool ClusterBoundary(std::u16string_view text, std::size_t at) {
  if (at == 0 || at >= text.size()) return true;
  std::size_t from = at - 1;
  while (from > 0 && at - from < 4096 && (text[from] >= 0x80 || IsLineBreak(text[from]))) --from;
  const std::size_t to = std::min(text.size(), at + 2);
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, reinterpret_cast<const QChar*>(text.data() + from),
                             static_cast<qsizetype>(to - from));
  finder.setPosition(static_cast<qsizetype>(at - from));
  return finder.isAtBoundary();
}

// Text that keys, the keyboard or an input method may type: printable characters and the
// format characters (joiners, direction marks), never with Ctrl alone.
bool IsTypable(const QKeyEvent& event) {
  const QString text = event.text();
  if (text.isEmpty()) return false;
  const QChar c = text.at(0);
  if (c.category() == QChar::Other_Format) return true;
  const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::ControlModifier || mods == (Qt::ShiftModifier | Qt::ControlModifier)) return false;
  if (c.isPrint() || c.category() == QChar::Other_PrivateUse) return true;
  return c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
}

bool Is(const QKeyEvent& event, Qt::Key key, Qt::KeyboardModifiers mods) {
  return event.key() == key && (event.modifiers() & ~Qt::KeypadModifier) == mods;
}

}  // namespace

TextBoxBase::TextBoxBase(bool isMultiLine, QWidget* parent)
    : QAbstractScrollArea(parent), multiLine(isMultiLine), model(isMultiLine) {
  InstallTextBoxAccessibility();
  setAttribute(Qt::WA_InputMethodEnabled);
  setFocusPolicy(Qt::StrongFocus);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setVerticalScrollBarPolicy(multiLine ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  connect(QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this,
          [this] { RestartBlink(); });
  Remeasure();
}

TextBoxBase::~TextBoxBase() { DetachSelection(); }

// ---- Text and edits ----

void TextBoxBase::SetText(std::u16string text) {
  DropHeldRanges();
  model.KeepRemovedText(QAccessible::isActive());
  preedit.clear();
  Edited([&] {
    model.SetText(std::move(text), !multiLine);
    return true;
  });
}

void TextBoxBase::ReplaceFrom(std::size_t position, std::size_t reserve,
                              const std::function<void(std::u16string&)>& write) {
  DropHeldRanges();
  model.KeepRemovedText(QAccessible::isActive());
  preedit.clear();
  Edited([&] {
    model.ReplaceFrom(position, reserve, write, !multiLine);
    return true;
  });
}

template <typename Change>
void TextBoxBase::Edited(Change change) {
  // Nothing may leave an event handler: out of memory, the box shows what the model holds.
  bool changed = true;
  try {
    DetachSelection();
    changed = change();
  } catch (...) {
    DropHeldRanges();  // the last change the model tells of may not be this one
    direction.valid = false;
  }
  try {
    AfterEdit(changed);
  } catch (...) {
  }
}

QString TextBoxBase::SelectedText() const { return ToQString(model.SelectedText()); }

void TextBoxBase::Select(int anchor, int cursor) {
  model.Select(static_cast<std::size_t>(std::max(0, anchor)),
               static_cast<std::size_t>(std::max(0, cursor)));
  AfterCaretMove();
}

void TextBoxBase::ReplaceRange(int from, int to, const QString& text) {
  Select(from, to);
  InsertTyped(text, TextModel::Edit::Other);
}

void TextBoxBase::InsertTyped(QString text, TextModel::Edit kind) {
  model.KeepRemovedText(QAccessible::isActive());
  const auto* chars = reinterpret_cast<const char16_t*>(text.constData());
  Edited([&] {
    const bool changed = model.Insert(std::u16string_view(chars, static_cast<std::size_t>(text.size())), kind);
    text = QString();  // a pasted text is in the box now: its QString goes before the handlers run
    return changed;
  });
}

void TextBoxBase::RemoveRange(std::size_t from, std::size_t to, TextModel::Edit kind) {
  model.KeepRemovedText(QAccessible::isActive());
  Edited([&] { return model.Remove(from, to, kind); });
}

void TextBoxBase::AfterEdit(bool changed) {
  if (!changed) {
    AfterCaretMove();
    return;
  }
  goalX = -1;
  pageCaretYValid = false;
  DirectionEdited(true);
  const TextModel::Change& last = model.LastChange();
  mouseUnit.Map(last);
  dragged = {last.Map(dragged.first), last.Map(dragged.second)};
  if (dragged.first >= dragged.second) dragged = {};
  sideways.TextChanged(model.LastChange().position);
  KeepShapedLines(model.LastChange());
  Recompose();
  RestartBlink();
  // An emptied box gives its text's memory back to the system, not just to the heap.
  if (model.Size() == 0 && model.LastChange().removed >= kLargeText) malloc_trim(0);
  UpdateScrollBar();
  EnsureCursorVisible();
  if (ShapeInView()) EnsureCursorVisible();
  viewport()->update();
  TellInputMethod();
  NotifyTextChange(*this, model.LastChange());
  emit textChanged();
}

void TextBoxBase::DropHeldRanges() {
  mouseUnit.Set(MouseSelection::Unit::Character);
  dragged = {};
}

void TextBoxBase::AfterCaretMove(bool keepGoalX, bool scroll) {
  if (!keepGoalX) goalX = -1;
  pageCaretYValid = false;
  if (!preedit.isEmpty()) {
    Recompose();
    UpdateScrollBar();
  }
  if (scroll) EnsureCursorVisible();
  RestartBlink();
  viewport()->update();
  TellInputMethod();
  NotifyCaretMove(*this);
}

void TextBoxBase::TellInputMethod() {
  // As Qt's boxes do on every move of their caret, change of the composed text and scroll.
  updateMicroFocus();
}

void TextBoxBase::RestartBlink() {
  caretOn = true;
  blink.stop();
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flash >= 2) blink.start(flash / 2, this);
}

void TextBoxBase::StopBlink() {
  blink.stop();
  caretOn = false;
}

void TextBoxBase::timerEvent(QTimerEvent* event) {
  if (event->timerId() == blink.timerId()) {
    caretOn = !caretOn;
    if (model.HasSelection() && !style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected, nullptr, this)) {
      caretOn = false;
    }
    // The caret takes the height of the font its character is drawn with: a fallback font's
    // (an emoji's, a Thai letter's) reaches below the row, and so does what is cleared.
    QRectF caret = CaretRect();
    caret.setHeight(2 * LineHeight());
    viewport()->update(caret.toAlignedRect().adjusted(-2, -2, 2, 2));
    return;
  }
  if (event->timerId() != autoScroll.timerId()) {
    QAbstractScrollArea::timerEvent(event);
    return;
  }
  // Held outside the box, the selection follows the pointer and the view scrolls, faster the
  // farther the pointer is, as a text edit does; a drag hovering within its edge's margin
  // scrolls it alike.
  QRect visible = viewport()->rect();
  QPoint point = viewport()->mapFromGlobal(QCursor::pos());
  if (dropPosition >= 0) {
    point = dragHover;
    const int mx = std::min(visible.width() / 3, 20), my = std::min(visible.height() / 3, 20);
    visible.adjust(mx, my, -mx, -my);
  } else if (selecting) {
    ExtendSelectionTo(point);
    AfterCaretMove(false, false);
  }
  const int deltaY = std::max(point.y() - visible.top(), visible.bottom() - point.y()) - visible.height();
  const int deltaX = std::max(point.x() - visible.left(), visible.right() - point.x()) - visible.width();
  int delta = std::max(deltaX, deltaY);
  if (delta >= 0) {
    delta = std::max(delta, 7);
    autoScroll.start(4900 / (delta * delta), this);
    if (deltaY > 0) {
      verticalScrollBar()->triggerAction(point.y() < visible.center().y() ? QAbstractSlider::SliderSingleStepSub
                                                                         : QAbstractSlider::SliderSingleStepAdd);
    }
  }
}

void TextBoxBase::selectAll() {
  if (!multiLine) model.EndUndoGroup();
  model.Select(0, model.Size());
  // A text edit keeps its view where it was; a line edit's follows its caret.
  AfterCaretMove(false, !multiLine);
}

void TextBoxBase::clear() { SetText({}); }

void TextBoxBase::undo() {
  model.KeepRemovedText(QAccessible::isActive());
  Edited([&] { return model.Undo(); });
}

void TextBoxBase::redo() {
  model.KeepRemovedText(QAccessible::isActive());
  Edited([&] { return model.Redo(); });
}

void TextBoxBase::copy() const {
  if (!model.HasSelection()) return;
  // Nothing is copied or converted here: the clipboard reads the characters from the text when
  // someone asks for them, or copies them out just before the text changes; the primary
  // selection offering the same characters shares them.
  const std::size_t from = model.SelectionStart(), to = model.SelectionEnd();
  auto* data = offeredSelection && offeredSelection->Reads(model, from, to)
                   ? new BoxTextData(offeredSelection.data())
                   : new BoxTextData(model, from, to, multiLine);
  QGuiApplication::clipboard()->setMimeData(data);
  offeredClipboard = data;
}

void TextBoxBase::cut() {
  if (!model.HasSelection()) return;
  copy();
  deleteSelection();
}

void TextBoxBase::paste() {
  // Qt's reader of another program's clipboard makes a QString of the text whatever format is
  // asked for (its bytes too go through one), so the text is asked for as that QString.
  QString text = QGuiApplication::clipboard()->text();
  if (text.isEmpty() && !model.HasSelection()) return;
  model.EndUndoGroup();
  // A text edit undoes typing that continues a paste together with it; a line edit does not.
  InsertTyped(std::move(text), multiLine ? TextModel::Edit::Paste : TextModel::Edit::Other);
}

void TextBoxBase::deleteSelection() {
  // A line edit undoes a removed selection together with the typing that follows it.
  const auto kind = multiLine ? TextModel::Edit::Other : TextModel::Edit::Typing;
  if (model.HasSelection()) RemoveRange(model.SelectionStart(), model.SelectionEnd(), kind);
}

void TextBoxBase::PublishSelection() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!model.HasSelection() || !clipboard->supportsSelection()) return;
  const std::size_t from = model.SelectionStart(), to = model.SelectionEnd();
  if (offeredSelection && offeredSelection->Reads(model, from, to)) return;  // offered already
  auto* data = new BoxTextData(model, from, to, multiLine);
  clipboard->setMimeData(data, QClipboard::Selection);
  offeredSelection = data;
}

void TextBoxBase::DetachSelection() {
  if (offeredSelection) offeredSelection->Detach();
  offeredSelection = nullptr;
  if (offeredClipboard) offeredClipboard->Detach();
  offeredClipboard = nullptr;
}

void TextBoxBase::InsertFromMimeData(const QMimeData* data) {
  if (!data || !data->hasText()) return;
  model.EndUndoGroup();
  InsertTyped(data->text(), TextModel::Edit::Other);
}

// ---- Geometry ----

double TextBoxBase::LineHeight() const {
  // As a text edit stacks its lines: the leading is included, a negative one rounded up, and
  // each line takes whole pixels.
  const QFontMetricsF metrics(font(), viewport());
  const double leading = metrics.leading();
  return std::ceil(metrics.ascent() + metrics.descent() + (leading >= 0 ? leading : std::ceil(leading)));
}

double TextBoxBase::RowHeight(std::size_t row) const {
  // A row laid out with its whole line is as tall as its fonts make it (an emoji's, a Thai
  // letter's are taller than the box's own); any other is the font's line height.
  if (!multiLine || shapedLines.empty() || row >= RowCount()) return LineHeight();
  QTextLine line;
  return ShapedRow(model.RowStart(row), line) != shapedLines.end() ? StackedHeight(line) : LineHeight();
}

TextBoxBase::ShapedLines::const_iterator TextBoxBase::ShapedRow(std::size_t rowStart, QTextLine& line) const {
  auto it = shapedLines.upper_bound(rowStart);
  if (it == shapedLines.begin()) return shapedLines.end();
  --it;
  if (rowStart >= it->second.end) return shapedLines.end();
  const int at = static_cast<int>(rowStart - it->first);
  line = it->second.layout->lineForTextPosition(at);
  return line.isValid() && line.textStart() == at ? it : shapedLines.end();
}

void TextBoxBase::AddPreedit(QTextLayout& layout, int at) const {
  layout.setPreeditArea(at, preedit);
  QList<QTextLayout::FormatRange> formats = preeditFormats;
  for (QTextLayout::FormatRange& range : formats) range.start += at;
  layout.setFormats(formats);
}

double TextBoxBase::StackedHeight(const QTextLine& line) {
  // As a text edit stacks the lines of a paragraph: its leading included, a negative one
  // rounded up.
  return line.height() + (line.leading() < 0 ? std::ceil(line.leading()) : 0.0);
}

double TextBoxBase::RowTop(std::size_t row) const {
  // The document's margin stands above its first row only: a scrolled view starts flush.
  const std::size_t first = static_cast<std::size_t>(FirstRow());
  const double below = composedExtra > 0 && row > composedLast ? static_cast<double>(composedExtra) : 0;
  double y = viewport()->rect().top() + (first == 0 ? kDocumentMargin : 0) + below * LineHeight();
  // The rows in view and near it are taken at their heights, those far from it at the font's.
  const std::size_t from = std::min(row, first), to = std::max(row, first);
  const std::size_t near = std::min(to, from + kMeasuredRows);
  double span = static_cast<double>(to - near) * LineHeight();
  for (std::size_t k = from; k < near; ++k) span += RowHeight(k);
  return row >= first ? y + span : y - span;
}

std::size_t TextBoxBase::RowAtHeight(double y) const {
  const std::size_t first = static_cast<std::size_t>(FirstRow());
  double top = RowTop(first);
  if (y < top) {
    const double above = std::ceil((top - y) / LineHeight());
    return above > static_cast<double>(first) ? 0 : first - static_cast<std::size_t>(above);
  }
  std::size_t row = first;
  for (; row < RowCount() && row < first + kMeasuredRows; ++row) {
    const double height = RowHeight(row);
    if (y < top + height) return row;
    top += height;
  }
  return row + static_cast<std::size_t>(std::floor((y - top) / LineHeight()));
}

int TextBoxBase::FullRows() const {
  return std::max(1, static_cast<int>(std::floor(viewport()->height() / LineHeight())));
}

int TextBoxBase::PageRows() const {
  // The last page: as many of the last rows as fit above the margin and a pixel below them.
  const double room = viewport()->height() - 2 * kDocumentMargin - 1;
  double used = 0;
  std::size_t rows = 0;
  for (; rows < RowCount() && rows < kMeasuredRows; ++rows) {
    const double height = RowHeight(RowCount() - 1 - rows);
    if (used + height > room) break;
    used += height;
  }
  if (rows == RowCount() || rows == kMeasuredRows) rows += static_cast<std::size_t>(std::max(0.0, std::floor((room - used) / LineHeight())));
  return std::max(1, static_cast<int>(rows));
}

QRect TextBoxBase::TextArea() const {
  const QRect area = viewport()->rect();
  if (multiLine) {
    const int m = static_cast<int>(kDocumentMargin);
    return area.adjusted(m, m, -m, -m);
  }
  return area.adjusted(kLineHorizontalMargin, kLineVerticalMargin, -kLineHorizontalMargin,
                       -kLineVerticalMargin);
}

int TextBoxBase::FirstRow() const { return multiLine ? verticalScrollBar()->value() : 0; }

int TextBoxBase::VisibleRows() const {
  if (!multiLine) return 1;
  return std::max(1, static_cast<int>(RowAtHeight(viewport()->height() - 1e-6)) - FirstRow() + 1);
}

std::size_t TextBoxBase::RowCount() const { return model.RowCount(); }

TextBoxBase::Row TextBoxBase::RowAt(std::size_t row) const {
  Row out;
  const QRect area = TextArea();
  if (multiLine) {
    out.start = model.RowStart(row);
    out.end = model.RowEnd(row);
    out.origin = QPointF(area.left(), RowTop(row));
  } else if (WholeLine()) {
    out.start = 0;
    out.end = model.Size();
    out.origin = QPointF(area.left() - static_cast<double>(sideways.Offset()), LinePlace(out).first);
  } else {
    // Only the characters in view are laid out, however long the line is; the first may be
    // partly hidden.
    out.start = sideways.FirstInView();
    const double hidden = sideways.Offset() - sideways.X(out.start);
    // (One more than fit: the last one's advance takes its kerning against the next.)
    out.end = model.NextChar(model.FitAfter(out.start, static_cast<float>(area.width() + hidden)));
    const auto [top, width] = LinePlace(out);
    // A right-to-left line that fits ends a pixel inside the text area's right edge.
    const double left = LineRightToLeft() ? area.right() - 1 - std::round(width) : area.left() - hidden;
    out.origin = QPointF(left, top);
  }
  return out;
}

bool TextBoxBase::WholeLine() const { return !multiLine && model.Size() <= kWholeLine; }

std::shared_ptr<const QTextLayout> TextBoxBase::WholeLineLayout(bool withPreedit) const {
  // As a line edit lays out its text: in one line of no set width, spaces at its end included,
  // in the direction of its first strong character.
  const bool composing = withPreedit && !preedit.isEmpty();
  WholeLaidOut now{ShownInLine(ToQString(model.View())), font(), RightToLeft(0), nullptr};
  if (!composing && wholeLine.layout && wholeLine.rightToLeft == now.rightToLeft && wholeLine.text == now.text &&
      wholeLine.font == now.font) {
    return wholeLine.layout;
  }
  auto layout = std::make_shared<QTextLayout>(now.text, now.font, viewport());
  QTextOption option;
  option.setTabStopDistance(kTabStop);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  option.setTextDirection(now.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
  layout->setTextOption(option);
  if (composing) AddPreedit(*layout, static_cast<int>(model.Cursor()));
  layout->beginLayout();
  layout->createLine();
  layout->endLayout();
  if (composing) return layout;
  now.layout = std::move(layout);
  wholeLine = std::move(now);
  return wholeLine.layout;
}

std::shared_ptr<const QTextLayout> TextBoxBase::Layout(const Row& row, bool withPreedit) const {
  if (WholeLine()) return WholeLineLayout(withPreedit);
  const QString shown = ToQString(model.View().substr(row.start, row.end - row.start));
  auto layout = std::make_shared<QTextLayout>(multiLine ? shown : ShownInLine(shown), font(), viewport());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(kTabStop);
  // Every row of a paragraph takes the paragraph's direction; a text edit aligns a right-to-left
  // one right, a line edit places its line itself.
  if (multiLine ? RightToLeft(row.start) : LineRightToLeft()) option.setTextDirection(Qt::RightToLeft);
  if (!multiLine) option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
  layout->setTextOption(option);
  const std::size_t cursor = model.Cursor();
  if (withPreedit && !preedit.isEmpty() && cursor >= row.start && cursor <= row.end) {
    AddPreedit(*layout, static_cast<int>(cursor - row.start));
  }
  layout->beginLayout();
  QTextLine line = layout->createLine();
  if (line.isValid()) {
    line.setLineWidth(TextArea().width());
    line.setPosition(QPointF(0, 0));
  }
  layout->endLayout();
  return layout;
}

std::shared_ptr<const QTextLayout> TextBoxBase::ComposedLayout() const {
  // As a text edit lays out the paragraph with the composed text in it: wrapped anywhere at
  // the box's width, from the caret's row on (the rows before it stay as they are).
  const std::size_t first = CaretRow(), start = model.RowStart(first);
  const std::size_t end = model.RowEnd(std::clamp(composedLast, first, RowCount() - 1));
  return WrappedLayout(start, end, true);
}

std::shared_ptr<QTextLayout> TextBoxBase::WrappedLayout(std::size_t start, std::size_t end, bool withPreedit) const {
  auto layout = std::make_shared<QTextLayout>(ToQString(model.View().substr(start, end - start)), font(), viewport());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAnywhere);
  option.setTabStopDistance(kTabStop);
  if (RightToLeft(start)) option.setTextDirection(Qt::RightToLeft);
  layout->setTextOption(option);
  if (withPreedit) AddPreedit(*layout, static_cast<int>(model.Cursor() - start));
  const double width = TextArea().width();
  double y = 0;
  layout->beginLayout();
  for (;;) {
    QTextLine line = layout->createLine();
    if (!line.isValid()) break;
    line.setLeadingIncluded(true);
    line.setLineWidth(width);
    line.setPosition(QPointF(0, y));
    y += StackedHeight(line);
  }
  layout->endLayout();
  return layout;
}

TextBoxBase::RowLine TextBoxBase::LineOf(const Row& r, bool withPreedit) const {
  const bool composing = withPreedit && !preedit.isEmpty() && model.Cursor() >= r.start && model.Cursor() <= r.end;
  QTextLine line;
  const auto it = multiLine && !composing ? ShapedRow(r.start, line) : shapedLines.end();
  if (it != shapedLines.end() && r.end <= it->second.end) {
    return {it->second.layout, line, it->first, r.origin - QPointF(0, line.y()), true};
  }
  auto layout = Layout(r, withPreedit);
  return {layout, layout->lineAt(0), r.start, r.origin};
}

void TextBoxBase::KeepShapedLines(const TextModel::Change& change) {
  // A line whose characters and line breaks the change left alone keeps its layout, moved
  // with the text after the change; the rest go.
  ShapedLines kept;
  const std::size_t from = change.position, to = change.position + change.removed;
  for (auto& [start, line] : shapedLines) {
    if (line.end + 2 < from) {
      kept.emplace(start, std::move(line));
    } else if (start >= to + 2) {
      line.end = line.end - change.removed + change.inserted;
      kept.emplace(start - change.removed + change.inserted, std::move(line));
    }
  }
  shapedLines = std::move(kept);
}

bool TextBoxBase::ShapeInView() {
  if (!multiLine || shapingInView || !model.MultiLine()) return false;
  shapingInView = true;
  const std::u16string_view text = model.View();
  const auto plain = [&](std::size_t from, std::size_t to) {
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.begin() + static_cast<std::ptrdiff_t>(to),
                       [](char16_t c) { return (c >= 0x20 && c < 0x7F) || c == u'\t'; });
  };
  bool changed = false;
  std::vector<std::size_t> inView;  // the lines laid out whole that the view shows
  // Rows that change above the view's top move it; a few rounds settle it.
  for (int round = 0; round < 3; ++round) {
    const std::size_t anchor = model.RowStart(static_cast<std::size_t>(FirstRow()));
    bool any = false, added = false;
    inView.clear();
    // Lays out the line that holds row, if it is short enough to be laid out whole; returns the
    // row after it.
    const auto shape = [&](std::size_t row) {
      // (Its ends are looked for in the text, no further than such a line reaches.)
      const std::size_t at = model.RowStart(row);
      std::size_t start = at, end = at;
      while (start > 0 && !IsLineBreak(text[start - 1]) && at - start <= kShapedLine) --start;
      while (end < text.size() && !IsLineBreak(text[end]) && end - start <= kShapedLine) ++end;
      const std::size_t next = model.RowOf(end) + 1;
      if (end - start > kShapedLine || plain(start, end)) return next;
      inView.push_back(start);
      auto known = shapedLines.find(start);
      const bool kept = known != shapedLines.end() && known->second.end == end;
      std::shared_ptr<const QTextLayout> layout = kept ? known->second.layout : WrappedLayout(start, end, false);
      // (A line kept through an edit elsewhere may have had rows wrapped again by the tables.)
      std::vector<std::size_t> starts;
      for (int i = 1; i < layout->lineCount(); ++i) starts.push_back(start + static_cast<std::size_t>(layout->lineAt(i).textStart()));
      any = model.SetLineRows(start, starts) || any;
      if (!kept) {
        added = true;
        shapedLines[start] = {end, std::move(layout)};
      }
      return model.RowOf(end) + 1;
    };
    for (std::size_t row = static_cast<std::size_t>(FirstRow());
         row < std::min(RowCount(), static_cast<std::size_t>(FirstRow() + VisibleRows() + 1));) {
      row = shape(row);
    }
    // And the last page's, whose heights set the scroll bar's range.
    const std::size_t lastPage = RowCount() - std::min(RowCount(), static_cast<std::size_t>(PageRows()) + 1);
    for (std::size_t row = std::max(lastPage, static_cast<std::size_t>(FirstRow() + VisibleRows() + 1)); row < RowCount();) {
      row = shape(row);
    }
    if (added) {  // new heights, perhaps new rows
      UpdateScrollBar();
      verticalScrollBar()->setValue(static_cast<int>(model.RowOf(anchor)));
    }
    changed = changed || added;
    if (!any) break;
  }
  // Those out of view go (they are laid out again when they come back).
  std::sort(inView.begin(), inView.end());
  for (auto it = shapedLines.begin(); it != shapedLines.end();) {
    it = std::binary_search(inView.begin(), inView.end(), it->first) ? std::next(it) : shapedLines.erase(it);
  }
  shapingInView = false;
  if (changed) viewport()->update();
  return changed;
}

void TextBoxBase::Recompose() {
  composedExtra = composedCaretLine = 0;
  if (!multiLine || preedit.isEmpty()) return;
  // Only the rows in view can show the composed text pushing the paragraph on.
  const std::size_t first = CaretRow();
  const std::size_t limit = first + static_cast<std::size_t>(VisibleRows());
  composedLast = first;
  while (composedLast < limit && model.IsWrappedRow(composedLast)) ++composedLast;
  const auto layout = ComposedLayout();
  const auto lines = static_cast<std::size_t>(std::max(1, layout->lineCount()));
  composedExtra = lines > composedLast - first + 1 ? lines - (composedLast - first + 1) : 0;
  const QTextLine caret = layout->lineForTextPosition(static_cast<int>(model.Cursor() - model.RowStart(first)) + preeditCursor);
  composedCaretLine = caret.isValid() ? static_cast<std::size_t>(caret.lineNumber()) : 0;
}

std::size_t TextBoxBase::CaretRow() const { return multiLine ? model.RowOf(model.Cursor()) : 0; }

bool TextBoxBase::RightToLeft(std::size_t position) const {
  const std::u16string_view text = model.View();
  position = std::min(position, text.size());
  Direction& d = direction;
  const auto breaks = [&](std::size_t i) { return multiLine && IsLineBreak(text[i]); };
  // A later position of the paragraph asked for last: what lies between is checked for a
  // line break, so that painting down a long paragraph or typing in it costs what it passes.
  if (d.valid && position > d.known && d.known >= d.start) {
    std::size_t i = d.known;
    while (i < position && !breaks(i)) ++i;
    if (i == position) d.known = position;
  }
  if (!d.valid || position < d.start || position > d.known) {
    // Back to the paragraph's first row: a step per row, not per character.
    std::size_t row = multiLine ? model.RowOf(position) : 0;
    while (row > 0 && model.IsWrappedRow(row - 1)) --row;
    const std::size_t start = multiLine ? model.RowStart(row) : 0;
    d = Direction{true, false, false, start, start, position, 0};
  }
  if (d.found) return d.rightToLeft;
  // As the text layout decides a paragraph's direction: its first strong character outside
  // isolates, left to right if it has none.
  std::size_t i = d.decided;
  while (i < text.size() && !breaks(i)) {
    char32_t ch = text[i++];
    if (QChar::isHighSurrogate(ch) && i < text.size() && QChar::isLowSurrogate(text[i])) {
      ch = QChar::surrogateToUcs4(static_cast<char16_t>(ch), text[i++]);
    }
    const QChar::Direction kind = QChar::direction(ch);
    if (kind == QChar::DirLRI || kind == QChar::DirRLI || kind == QChar::DirFSI) {
      ++d.isolates;
    } else if (kind == QChar::DirPDI) {
      d.isolates = std::max(0, d.isolates - 1);
    } else if (d.isolates == 0 && (kind == QChar::DirL || kind == QChar::DirR || kind == QChar::DirAL)) {
      d.found = true;
      d.rightToLeft = kind != QChar::DirL;
      break;
    }
  }
  d.decided = i;
  d.known = std::max(d.known, i);
  return d.rightToLeft;
}

void TextBoxBase::DirectionEdited(bool changed) {
  // An edit after the character that decided keeps the direction; one in a paragraph without
  // a strong character keeps what lies before it.
  Direction& d = direction;
  const TextModel::Change& last = model.LastChange();
  if (!changed || !d.valid) {
    d.valid = d.valid && !changed;
    return;
  }
  if (last.position < d.start || (d.found && last.position < d.decided)) {
    d.valid = false;
    return;
  }
  if (!d.found && last.position <= d.decided) {
    if (d.isolates > 0) d.decided = d.start, d.isolates = 0;
    else d.decided = std::min(d.decided, last.position);
  }
  d.known = std::min(d.known, last.position);
}

bool TextBoxBase::LineRightToLeft() const {
  return !multiLine && sideways.Offset() < 0 && RightToLeft(0);
}

std::pair<double, double> TextBoxBase::LinePlace(const Row& row) const {
  // As a line edit centres its line: by the taller of the font's height and the height of the
  // characters' boxes, the baseline then kept where the font alone would put it however tall
  // the fonts the characters take are (measured over the characters in view).
  QString raw = ToQString(model.View().substr(row.start, row.end - row.start));
  const std::size_t cursor = model.Cursor();
  if (!preedit.isEmpty() && cursor >= row.start && cursor <= row.end) raw.insert(static_cast<qsizetype>(cursor - row.start), preedit);
  raw += QChar(static_cast<char16_t>(viewport()->height()));  // the key's last character
  if (linePlace.first == raw) return linePlace.second;
  const QString shown = raw.left(raw.size() - 1);
  const QFontMetrics metrics(font(), viewport());
  const int height = std::max(shown.isEmpty() ? 0 : metrics.boundingRect(shown).height(), metrics.height());
  QTextLayout layout(ShownInLine(shown), font(), viewport());
  QTextOption option;
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  option.setTabStopDistance(kTabStop);
  layout.setTextOption(option);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  const int ascent = line.isValid() ? qRound(line.ascent()) : metrics.ascent();
  const double top = viewport()->rect().top() + (viewport()->height() - height + 1) / 2 - (ascent - metrics.ascent());
  linePlace = {raw, {top, line.isValid() ? line.naturalTextWidth() : 0}};
  return linePlace.second;
}

std::size_t TextBoxBase::HitTest(const QPoint& point) const {
  if (!multiLine && (WholeLine() || LineRightToLeft())) {
    const Row r = RowAt(0);
    const auto layout = Layout(r, false);
    const QTextLine line = layout->lineAt(0);
    const int at = line.isValid() ? line.xToCursor(point.x() - r.origin.x()) : 0;
    return model.Snap(std::min(static_cast<std::size_t>(std::max(0, at)), model.Size()), false);
  }
  if (!multiLine) {
    // Beside the box the characters beyond its edges count, as if the line went on there.
    const double lineX = point.x() - TextArea().left() + sideways.Offset();
    if (lineX <= 0) return 0;
    Row r;
    r.start = model.PreviousChar(sideways.CharacterAt(lineX));
    const double x = lineX - sideways.X(r.start);
    r.end = model.NextChar(model.FitAfter(r.start, static_cast<float>(x) + 1));
    const auto layout = Layout(r, false);
    const QTextLine line = layout->lineAt(0);
    const int at = line.isValid() ? line.xToCursor(x) : 0;
    return model.Snap(std::min(r.start + static_cast<std::size_t>(std::max(0, at)), r.end), false);
  }
  // Above the first row is the text's start, below the last its end, as in a text edit.
  if (point.y() < RowTop(0)) return 0;
  const std::size_t row = RowAtHeight(point.y());
  if (row >= RowCount()) return model.Size();
  return PositionInRow(row, point.x());
}

std::size_t TextBoxBase::PositionInRow(std::size_t row, double x) const {
  const Row r = RowAt(row);
  // A wrapped row is shaped with the character after it, as in its paragraph: its last glyph is
  // kerned against that one, which moves the middle of that glyph and where the row's ink ends.
  // Only where all of them run left to right: another direction could reorder the row around it.
  // (A line laid out whole has it so already.)
  RowLine laid = LineOf(r, false);
  if (laid.base == r.start && model.IsWrappedRow(row) && !RightToLeft(r.start)) {
    const std::size_t next = model.NextChar(r.end);
    const std::u16string_view shown = model.View().substr(r.start, next - r.start);
    // U+0590 starts the first right-to-left script.
    if (std::all_of(shown.begin(), shown.end(), [](char16_t c) { return c < 0x0590; })) {
      Row shaped = r;
      shaped.end = next;
      laid.layout = Layout(shaped, false);
      laid.line = laid.layout->lineAt(0);
    }
  }
  const auto& layout = laid.layout;
  const QTextLine& line = laid.line;
  const double lineX = x - r.origin.x();
  const std::size_t base = laid.base;
  const int at = line.isValid() ? line.xToCursor(lineX) : static_cast<int>(r.start - base);
  // Right of a row that wraps, the caret stays on it: before its last character, since the
  // place after it is where the next row starts. Over the right half of its last glyph it
  // goes there, as in a text edit.
  // (Its spaces at the end hang past the width and count as right of it.)
  std::size_t inked = r.end;
  while (inked > r.start && IsSpace(model.View()[inked - 1])) --inked;
  const bool beyond = !line.isValid() || lineX >= line.cursorToX(static_cast<int>(inked - base));
  // (Before its last cluster: a family of emoji steps back whole.)
  const auto lastCluster = [&] {
    return base + static_cast<std::size_t>(layout->previousCursorPosition(static_cast<int>(r.end - base)));
  };
  const std::size_t end = model.IsWrappedRow(row) && beyond ? lastCluster() : r.end;
  return model.Snap(std::clamp(base + static_cast<std::size_t>(std::max(0, at)), r.start, end), false);
}

QRectF TextBoxBase::CaretRect() const { return CaretRectAt(model.Cursor(), true); }

QRectF TextBoxBase::CaretRectAt(std::size_t position, bool withPreedit) const {
  const std::size_t row = multiLine ? model.RowOf(position) : 0;
  if (multiLine && withPreedit && !preedit.isEmpty()) {
    const auto layout = ComposedLayout();
    const int at = static_cast<int>(position - model.RowStart(row)) + preeditCursor;
    const QTextLine line = layout->lineForTextPosition(at);
    const double x = line.isValid() ? line.cursorToX(at) : 0;
    return QRectF(TextArea().left() + x, RowTop(row) + (line.isValid() ? line.y() : 0), 1,
                  line.isValid() ? StackedHeight(line) : LineHeight());
  }
  const Row r = RowAt(row);
  const RowLine laid = LineOf(r, withPreedit);
  const QTextLine& line = laid.line;
  int at = static_cast<int>(std::clamp(position, r.start, r.end) - laid.base);
  if (withPreedit && !preedit.isEmpty()) at += preeditCursor;
  const double x = line.isValid() ? line.cursorToX(at) : 0;
  // A line edit's caret is as tall as its line, which a fallback font may make taller.
  const double height = WholeLine() && line.isValid() ? line.height() : RowHeight(row);
  return QRectF(r.origin.x() + x, r.origin.y(), 1, height);
}

QRect TextBoxBase::PositionRect(int position) const {
  const std::size_t at = model.Snap(static_cast<std::size_t>(std::max(0, position)), false);
  return CaretRectAt(at, false).toRect().translated(viewport()->pos());
}

int TextBoxBase::PositionAt(const QPoint& point) const {
  return static_cast<int>(HitTest(point - viewport()->pos()));
}

QRect TextBoxBase::CharacterRect(int position) const {
  if (position < 0 || static_cast<std::size_t>(position) >= model.Size()) return {};
  const auto at = static_cast<std::size_t>(position);
  const std::size_t row = multiLine ? model.RowOf(at) : 0;
  if (multiLine && (static_cast<int>(row) < FirstRow() || static_cast<int>(row) > FirstRow() + VisibleRows())) return {};
  const Row r = RowAt(row);
  if (at < r.start || at >= r.end) return {};
  const RowLine laid = LineOf(r, false);
  const QTextLine& line = laid.line;
  const double left = line.cursorToX(static_cast<int>(at - laid.base));
  const double right = line.cursorToX(static_cast<int>(model.NextChar(at) - laid.base));
  return QRectF(r.origin.x() + std::min(left, right), r.origin.y(), std::abs(right - left), RowHeight(row))
      .toRect()
      .translated(viewport()->pos());
}

QRect TextBoxBase::CharacterExtent(int position) const {
  const QRect span = CharacterRect(position);
  if (span.isNull()) return span;
  // As Qt's boxes tell a screen reader: from where the caret before it stands, as wide as the
  // character alone (so a letter of a run in the other direction, or a part of a cluster, is
  // not as wide as the run between its caret places).
  const auto at = static_cast<std::size_t>(position);
  const QPointF caret = CaretRectAt(at, false).topLeft();
  const int width = QFontMetrics(font(), viewport()).horizontalAdvance(QString(QChar(model.View()[at])));
  return QRect(static_cast<int>(caret.x()) + viewport()->x(), span.y(), width, span.height());
}

void TextBoxBase::Remeasure(bool measure) {
  const float width = multiLine ? static_cast<float>(std::max(1, TextArea().width())) : 0.0f;
  if (measure) {
    const QFontMetricsF metrics(font(), viewport());
    // A line box shows control characters and separators as spaces, and measures them so.
    const bool line = !multiLine;
    const QFont shown = font();
    QPaintDevice* const device = viewport();
    const std::vector<float>& kerning = AsciiKerning(shown, device);
    Shaping shaping;
    shaping.kerning = [&kerning](char16_t left, char16_t right) {
      return kerning[static_cast<std::size_t>((left - 0x20) * 95 + (right - 0x20))];
    };
    shaping.clusterBoundary = ClusterBoundary;
    model.SetWrap(width, [metrics, line, shown, device](char32_t ch) {
      const bool shownAsSpace = (ch < 0x20 && ch != u'\t') || ch == 0x2028 || ch == 0x2029 || ch == 0xFFFC;
      return Measure(metrics, shown, device, line && shownAsSpace ? U' ' : ch);
    }, std::move(shaping));
  } else {
    model.SetWrapWidth(width);
  }
  shapedLines.clear();
  Recompose();
  UpdateScrollBar();
  EnsureCursorVisible();
  if (ShapeInView()) EnsureCursorVisible();
  viewport()->update();
}

void TextBoxBase::UpdateScrollBar() {
  if (!multiLine) return;
  QScrollBar* bar = verticalScrollBar();
  const int visible = PageRows();
  bar->setRange(0, std::max(0, static_cast<int>(RowCount() + composedExtra) - visible));
  bar->setPageStep(visible);
  bar->setSingleStep(1);
}

void TextBoxBase::EnsureCursorVisible() {
  if (multiLine) {
    // As a text edit scrolls: a row above the view comes to its top; a row whose bottom
    // reaches the view's bottom comes up to be the last whole row.
    // While composing, the caret may stand on a row the composed text wrapped onto.
    const std::size_t row = CaretRow(), below = preedit.isEmpty() ? 0 : composedCaretLine;
    QScrollBar* bar = verticalScrollBar();
    const double room = viewport()->height();
    const double extra = static_cast<double>(below) * LineHeight();  // (its rows are the font's height)
    const double top = RowTop(row) + extra;
    if (top + RowHeight(row) >= room) {
      // The rows from the new first one to the caret's fill the view, or they all fit under the
      // document's margin.
      std::size_t first = row;
      double used = RowHeight(row) + extra;
      while (first > 0 && row - first < kMeasuredRows && used + RowHeight(first - 1) <= room) used += RowHeight(--first);
      if (first == 0 && kDocumentMargin + used > room) first = 1;
      bar->setValue(static_cast<int>(first));
    } else if (top < 0) {
      bar->setValue(static_cast<int>(row));
    }
    return;
  }
  // Sideways: the caret stays inside the box, and no space is left empty at the right while
  // text is hidden at the left.
  // The composed text counts as if typed: a line edit keeps its caret in view, and so the
  // whole of it where its caret stands at its end.
  if (WholeLine()) {
    const auto layout = WholeLineLayout(true);
    const QTextLine line = layout->lineAt(0);
    const int at = static_cast<int>(model.Cursor()) + (preedit.isEmpty() ? 0 : preeditCursor);
    const std::int64_t used = std::llround(line.isValid() ? line.naturalTextWidth() : 0) + 1;
    sideways.Place(std::llround(line.isValid() ? line.cursorToX(at) : 0), used, TextArea().width(), RightToLeft(0));
    return;
  }
  double composedWidth = 0, composedCaret = 0;
  if (!preedit.isEmpty()) {
    QTextLayout layout(ShownInLine(preedit), font(), viewport());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    composedWidth = line.naturalTextWidth();
    composedCaret = line.cursorToX(preeditCursor);
  }
  sideways.Follow(model.Cursor(), TextArea().width(), composedWidth, composedCaret, RightToLeft(0));
}

void TextBoxBase::scrollContentsBy(int, int) {
  ShapeInView();
  viewport()->update();
  TellInputMethod();
}

void TextBoxBase::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Remeasure(false);  // the font is the same: its advances are
}

void TextBoxBase::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    linePlace = {};
    Remeasure();
  }
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) autoScroll.stop();
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange ||
      event->type() == QEvent::ActivationChange) {
    viewport()->update();
  }
}

// ---- Painting ----

void TextBoxBase::paintEvent(QPaintEvent*) {
  ShapeInView();  // (rows brought into view by a scroll are laid out already)
  QPainter painter(viewport());
  const QPalette::ColorGroup group = !isEnabled()        ? QPalette::Disabled
                                     : isActiveWindow()  ? QPalette::Active
                                                         : QPalette::Inactive;
  const QPalette& colours = palette();
  // A text edit keeps its text's active colour in an inactive window; a line edit does not.
  const bool keepsActive = multiLine && group == QPalette::Inactive;
  painter.setPen(colours.color(keepsActive ? QPalette::Active : group, QPalette::Text));
  painter.setClipRect(viewport()->rect());

  QTextCharFormat selected;
  selected.setBackground(colours.brush(group, QPalette::Highlight));
  selected.setForeground(colours.brush(group, QPalette::HighlightedText));
  const std::size_t selStart = model.SelectionStart(), selEnd = model.SelectionEnd();
  const std::size_t cursor = model.Cursor();
  const std::size_t caretRow = CaretRow();
  const bool showCaret = hasFocus() && isEnabled() && caretOn;

  const std::size_t first = static_cast<std::size_t>(FirstRow());
  const std::size_t last = multiLine ? std::min(RowCount(), first + VisibleRows() + 1) : 1;
  const QTextLayout* drawn = nullptr;  // a line laid out whole is drawn once, for all its rows
  for (std::size_t row = first; row < last; ++row) {
    Row r = RowAt(row);
    const bool caretHere = row == caretRow;
    // The composed text wraps with the rest of its paragraph, drawn as one.
    const bool composed = multiLine && caretHere && !preedit.isEmpty();
    if (composed) r.end = model.RowEnd(std::clamp(composedLast, row, RowCount() - 1));
    RowLine laid;
    if (composed) {
      laid.layout = ComposedLayout();
      laid.line = laid.layout->lineAt(0);
      laid.base = r.start;
      laid.origin = r.origin;
    } else {
      laid = LineOf(r, caretHere);
    }
    const auto& layout = laid.layout;
    const std::size_t base = laid.base;
    const bool whole = laid.whole;
    // What the layout draws: this row, or every row of its line.
    const std::size_t from = whole ? base : r.start, to = whole ? base + static_cast<std::size_t>(layout->text().size()) : r.end;
    QList<QTextLayout::FormatRange> ranges;
    if (selStart < selEnd && selStart <= r.end && selEnd > r.start) {
      // A selected line break shows as a space's width of highlight after the row's text.
      if (multiLine && selEnd > r.end && r.end < model.Size() && IsLineBreak(model.View()[r.end])) {
        const double x = r.origin.x() + laid.line.naturalTextWidth();
        painter.fillRect(QRectF(x, r.origin.y(), QFontMetricsF(font()).horizontalAdvance(u' '), RowHeight(row)),
                         selected.background());
      }
    }
    if (selStart < selEnd && selStart <= to && selEnd > from) {
      const std::size_t start = std::max(selStart, from), end = std::min(selEnd, to);
      int offset = 0;
      if (caretHere && !preedit.isEmpty() && cursor <= start) offset = static_cast<int>(preedit.size());
      if (end > start) {
        ranges.append({static_cast<int>(start - base) + offset, static_cast<int>(end - start), selected});
      }
    }
    if (!whole || drawn != layout.get()) {
      // (Only its lines in view.)
      layout->draw(&painter, laid.origin, ranges, whole ? QRectF(viewport()->rect()) : QRectF());
      drawn = layout.get();
    }
    if (caretHere && showCaret && (preedit.isEmpty() || !preeditCaretHidden)) {
      int at = static_cast<int>(cursor - std::min(cursor, base));
      if (!preedit.isEmpty()) at += preeditCursor;
      layout->drawCursor(&painter, laid.origin, at, 1);
    }
    if (dropPosition >= 0 && static_cast<std::size_t>(dropPosition) >= r.start &&
        static_cast<std::size_t>(dropPosition) <= r.end &&
        (multiLine ? model.RowOf(static_cast<std::size_t>(dropPosition)) == row : true)) {
      layout->drawCursor(&painter, laid.origin, dropPosition - static_cast<int>(base), 1);
    }
    if (composed) row = std::max(row, composedLast);
  }
}

// ---- Keys ----

// Every event of the box and of its viewport passes here: nothing thrown (out of memory while
// shaping, copying or painting) leaves it.
bool TextBoxBase::event(QEvent* event) try {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (IsOwnKey(*key)) {
      key->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
} catch (...) {
  return true;
}

bool TextBoxBase::viewportEvent(QEvent* event) try {
  return QAbstractScrollArea::viewportEvent(event);
} catch (...) {
  return true;
}

namespace {

struct MoveBinding {
  QKeySequence::StandardKey key;
  int move;  // TextBoxBase::Move, as int to keep the enum private
  bool forward;
  bool select;
};

}  // namespace

// The caret movements, each with its Shift twin that stretches the selection.
static const MoveBinding kMoves[] = {
    {QKeySequence::MoveToNextChar, 0, true, false},
    {QKeySequence::SelectNextChar, 0, true, true},
    {QKeySequence::MoveToPreviousChar, 0, false, false},
    {QKeySequence::SelectPreviousChar, 0, false, true},
    {QKeySequence::MoveToNextWord, 1, true, false},
    {QKeySequence::SelectNextWord, 1, true, true},
    {QKeySequence::MoveToPreviousWord, 1, false, false},
    {QKeySequence::SelectPreviousWord, 1, false, true},
    {QKeySequence::MoveToStartOfLine, 2, false, false},
    {QKeySequence::SelectStartOfLine, 2, false, true},
    {QKeySequence::MoveToEndOfLine, 3, true, false},
    {QKeySequence::SelectEndOfLine, 3, true, true},
    {QKeySequence::MoveToStartOfDocument, 4, false, false},
    {QKeySequence::SelectStartOfDocument, 4, false, true},
    {QKeySequence::MoveToEndOfDocument, 5, true, false},
    {QKeySequence::SelectEndOfDocument, 5, true, true},
    {QKeySequence::MoveToPreviousLine, 6, false, false},
    {QKeySequence::SelectPreviousLine, 6, false, true},
    {QKeySequence::MoveToNextLine, 7, true, false},
    {QKeySequence::SelectNextLine, 7, true, true},
    {QKeySequence::MoveToPreviousPage, 8, false, false},
    {QKeySequence::SelectPreviousPage, 8, false, true},
    {QKeySequence::MoveToNextPage, 9, true, false},
    {QKeySequence::SelectNextPage, 9, true, true},
};

bool TextBoxBase::IsOwnKey(const QKeyEvent& event) const {
  if (IsTypable(event)) return true;
  for (const MoveBinding& binding : kMoves) {
    if (event.matches(binding.key)) return multiLine || binding.move < 4;
  }
  for (const auto key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                         QKeySequence::Undo, QKeySequence::Redo, QKeySequence::SelectAll,
                         QKeySequence::Delete, QKeySequence::DeleteStartOfWord,
                         QKeySequence::DeleteEndOfWord, QKeySequence::DeleteEndOfLine}) {
    if (event.matches(key)) return true;
  }
  if (!multiLine && event.matches(QKeySequence::DeleteCompleteLine)) return true;
  return event.key() == Qt::Key_Backspace || Is(event, Qt::Key_Insert, Qt::ControlModifier) ||
         Is(event, Qt::Key_Insert, Qt::ShiftModifier) || Is(event, Qt::Key_Delete, Qt::ShiftModifier);
}

void TextBoxBase::keyPressEvent(QKeyEvent* event) {
  if (MoveKey(event) || EditKey(event)) {
    // Both of Qt's boxes offer their selection to other programs after a key they handle.
    PublishSelection();
    event->accept();
    return;
  }
  if (IsTypable(*event)) {
    InsertTyped(event->text(), TextModel::Edit::Typing);
    event->accept();
    return;
  }
  event->ignore();
}

bool TextBoxBase::MoveKey(QKeyEvent* event) {
  for (const MoveBinding& binding : kMoves) {
    if (!event->matches(binding.key)) continue;
    const auto move = static_cast<Move>(binding.move);
    // A line box leaves Up, Down, the page keys and Ctrl+Home/End to the window.
    if (!multiLine && (binding.move >= 6 || move == Move::TextStart || move == Move::TextEnd)) {
      return false;
    }
    if (!multiLine) model.EndUndoGroup();  // a line edit's caret moves end an undo step
    std::size_t target;
    if ((move == Move::RowUp || move == Move::RowDown) && !binding.select &&
        (binding.forward ? CaretRow() + 1 >= RowCount() : CaretRow() == 0)) {
      return true;  // nowhere to go: caret and selection stay as they are
    }
    // Keys go through the text in its order, not on the screen: in a right-to-left paragraph
    // Right steps back and Left forward. A line edit drops a selection at its logical edge
    // all the same.
    const bool along = move == Move::Char || move == Move::Word;
    const bool reversed = along && RightToLeft(model.Cursor());
    if (move == Move::Char && !binding.select && model.HasSelection() &&
        (multiLine || !IsLineBoxWindowsScheme())) {
      // Left and Right drop the selection at its edge, as Qt's text edits do, and its line
      // edits too but where the desktop follows Windows' keys.
      target = binding.forward != (reversed && multiLine) ? model.SelectionEnd() : model.SelectionStart();
    } else {
      target = Target(move, binding.forward != reversed, binding.select);
    }
    const bool page = move == Move::PageUp || move == Move::PageDown;
    // A page key that cannot move the caret leaves the selection too.
    if (!page || target != model.Cursor()) model.SetCursor(target, binding.select);
    const bool vertical = move == Move::RowUp || move == Move::RowDown || page;
    AfterCaretMove(vertical);
    if (page) pageCaretYValid = true;
    return true;
  }
  return false;
}

bool TextBoxBase::EditKey(QKeyEvent* event) {
  using Edit = TextModel::Edit;
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (event->matches(QKeySequence::Copy) || Is(*event, Qt::Key_Insert, Qt::ControlModifier)) {
    copy();
  } else if (event->matches(QKeySequence::Cut) || Is(*event, Qt::Key_Delete, Qt::ShiftModifier)) {
    cut();
  } else if (event->matches(QKeySequence::Paste) || Is(*event, Qt::Key_Insert, Qt::ShiftModifier)) {
    paste();
  } else if (event->matches(QKeySequence::Undo)) {
    undo();
  } else if (event->matches(QKeySequence::Redo)) {
    redo();
  } else if (event->matches(QKeySequence::DeleteStartOfWord) ||
             event->matches(QKeySequence::DeleteEndOfWord)) {
    // A text edit removes the selection or else the word. A line edit stretches the selection
    // by a word from the caret and removes it; Ctrl+Delete that leaves nothing selected
    // removes the character after the caret instead.
    const bool forward = event->matches(QKeySequence::DeleteEndOfWord);
    if (multiLine) {
      if (!model.HasSelection()) model.SetCursor(Boundary(model.Cursor(), forward, true), true);
      if (model.HasSelection()) deleteSelection();
    } else {
      model.SetCursor(Boundary(model.Cursor(), forward, true), true);
      if (model.HasSelection()) deleteSelection();
      else if (forward) RemoveRange(model.Cursor(), Boundary(model.Cursor(), true, false), Edit::DeleteForward);
    }
  } else if (event->key() == Qt::Key_Backspace &&
             !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    if (model.HasSelection()) deleteSelection();
    // One character back, not a whole cluster: Backspace takes an accent off its letter.
    else RemoveRange(model.PreviousChar(model.Cursor()), model.Cursor(), Edit::DeleteBackward);
  } else if (event->matches(QKeySequence::Delete)) {
    if (model.HasSelection()) deleteSelection();
    else RemoveRange(model.Cursor(), Boundary(model.Cursor(), true, false), Edit::DeleteForward);
  } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
    // Ctrl+K on an X11 desktop: a line edit cuts from the caret to the end of the text, a
    // text edit removes from the selection's anchor to the end of the caret's line.
    if (!multiLine) {
      model.Select(model.Cursor(), model.Size());
      cut();
    } else {
      std::size_t end = model.Cursor();
      while (end < model.Size() && !IsLineBreak(model.View()[end])) ++end;
      model.SetCursor(end, true);
      if (model.HasSelection()) deleteSelection();
    }
  } else if (!multiLine && event->matches(QKeySequence::DeleteCompleteLine)) {
    selectAll();
    cut();  // Ctrl+U on an X11 desktop
  } else if (multiLine && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
             !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    InsertTyped(QStringLiteral("\r\n"), Edit::Other);  // a new line is an undo step of its own
  } else {
    return false;
  }
  return true;
}

std::size_t TextBoxBase::Target(Move move, bool forward, bool select) {
  const std::size_t cursor = model.Cursor();
  switch (move) {
    case Move::Char:
      return Boundary(cursor, forward, false);
    case Move::Word:
      return Boundary(cursor, forward, true);
    case Move::RowStart:
      return multiLine ? model.RowStart(CaretRow()) : 0;
    case Move::RowEnd:
      return multiLine ? model.RowEndForCaret(CaretRow()) : model.Size();
    case Move::TextStart:
      return 0;
    case Move::TextEnd:
      return model.Size();
    case Move::PageUp:
    case Move::PageDown:
      return PageTarget(forward);
    case Move::RowUp:
    case Move::RowDown: {
      const long row = static_cast<long>(CaretRow()) + (forward ? 1 : -1);
      // Past the first or last row the caret stays, but a selection stretches to the end,
      // and the next row up or down is reckoned from there.
      if (row < 0 || row >= static_cast<long>(RowCount())) {
        if (!select) return cursor;
        goalX = -1;
        return forward ? model.Size() : 0;
      }
      if (goalX < 0) goalX = CaretRect().left();
      return PositionInRow(static_cast<std::size_t>(row), goalX);
    }
  }
  return cursor;
}

std::size_t TextBoxBase::PageTarget(bool forward) {
  // As a text edit pages: the view moves by a page, and the caret goes to the row at the
  // height in the view it had before the first of a run of PgUp and PgDn, keeping its x.
  // Where the view cannot move on, the caret goes to the first or last row; already there, it
  // stays where it is.
  EnsureCursorVisible();
  const std::size_t from = CaretRow();
  std::size_t row = from;
  if (!pageCaretYValid) pageCaretY = RowTop(row);
  if (goalX < 0) goalX = CaretRect().left();
  double wanted = pageCaretY;
  QScrollBar* bar = verticalScrollBar();
  const std::size_t last = RowCount() - 1;
  const double height = LineHeight(), room = viewport()->height();
  const std::size_t top = static_cast<std::size_t>(bar->value());
  if (forward) {
    if (RowTop(last) + height + kDocumentMargin <= room) {
      wanted = std::numeric_limits<double>::max();
    } else {
      const auto whole = static_cast<std::size_t>(std::max(0.0, std::floor((room - RowTop(top)) / height)));
      bar->setValue(static_cast<int>(std::min(last, top + std::max<std::size_t>(1, whole))));
    }
    while (row < last && RowTop(row) < wanted) ++row;
  } else {
    if (top == 0) wanted = -std::numeric_limits<double>::max();
    else bar->setValue(static_cast<int>(top > static_cast<std::size_t>(FullRows()) ? top - FullRows() : 0));
    while (row > 0 && RowTop(row) > wanted) --row;
  }
  return row == from ? model.Cursor() : PositionInRow(row, goalX);
}

bool TextBoxBase::IsLineBoxWindowsScheme() const {
  // Qt's key bindings follow the desktop's scheme: only Windows' has no Ctrl+K.
  static const bool windows = QKeySequence::keyBindings(QKeySequence::DeleteEndOfLine).isEmpty();
  return windows;
}

std::size_t TextBoxBase::Boundary(std::size_t position, bool forward, bool words) const {
  const std::u16string_view text = model.View();
  position = model.Snap(position, false);
  // Across a line break, one step is the break itself.
  if (multiLine) {
    if (forward && position < text.size() && IsLineBreak(text[position])) return model.NextChar(position);
    if (!forward && position > 0 && IsLineBreak(text[position - 1])) return model.PreviousChar(position);
  }
  if (words) return model.Snap(WordStop(text, position, forward, !multiLine), forward);
  // Shape only the neighbourhood of the caret, up to the line's ends.
  std::size_t from = position > kBoundaryWindow ? position - kBoundaryWindow : 0;
  std::size_t to = std::min(text.size(), position + kBoundaryWindow);
  if (multiLine) {
    for (std::size_t i = position; i > from; --i) {
      if (IsLineBreak(text[i - 1])) {
        from = i;
        break;
      }
    }
    for (std::size_t i = position; i < to; ++i) {
      if (IsLineBreak(text[i])) {
        to = i;
        break;
      }
    }
  }
  from = model.Snap(from, true);
  to = model.Snap(to, false);
  const QString window = ToQString(std::u16string_view(text).substr(from, to - from));
  QTextLayout layout(multiLine ? window : ShownInLine(window), font());
  layout.beginLayout();
  layout.endLayout();
  const int at = static_cast<int>(position - from);
  const int next = forward ? layout.nextCursorPosition(at, QTextLayout::SkipCharacters)
                           : layout.previousCursorPosition(at, QTextLayout::SkipCharacters);
  return model.Snap(from + static_cast<std::size_t>(std::max(0, next)), forward);
}

std::pair<std::size_t, std::size_t> TextBoxBase::WordAt(std::size_t position) const {
  const std::u16string_view text = model.View();
  if (!multiLine) {
    // As a line edit does: the word that the character at position belongs to, without the
    // spaces after it.
    const std::size_t start = Boundary(model.NextChar(position), false, true);
    std::size_t end = Boundary(start, true, true);
    while (end > position && end > start && QChar::isSpace(text[end - 1])) --end;
    return {start, end};
  }
  // As a text edit does: within the line, from the word boundary before the character at
  // position to the end of its run of word characters or separators.
  return DoubleClickWord(model, position);
}

// ---- Mouse, menu, focus ----

void TextBoxBase::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  // A press on the composed text is the input method's. Anywhere else, what is composed is
  // committed where it was typed before the caret moves, as in Qt's boxes.
  pressInPreedit = preedit.isEmpty() ? -1 : PreeditHit(point);
  if (pressInPreedit >= 0) return;
  if (event->button() == Qt::LeftButton || (event->button() == Qt::MiddleButton && !multiLine)) CommitPreedit();
  // A line edit's caret follows the middle button too; both boxes paste on its release.
  if (event->button() == Qt::MiddleButton && !multiLine) {
    model.EndUndoGroup();
    model.SetCursor(HitTest(point), false);
    AfterCaretMove();
  }
  if (event->button() != Qt::LeftButton) return;
  if (!multiLine) model.EndUndoGroup();
  pressPoint = point;
  mightDrag = false;
  selecting = true;
  offerOnRelease = true;
  // A third click soon after a double-click selects the line with its line break (a line
  // box: all of it); a drag from there goes by lines.
  if (sinceDoubleClick.isValid() &&
      sinceDoubleClick.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
      (point - doubleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
    sinceDoubleClick.invalidate();
    std::size_t start = 0, end = model.Size();
    if (multiLine) {
      const std::u16string_view text = model.View();
      start = end = model.Cursor();
      while (start > 0 && !IsLineBreak(text[start - 1])) --start;
      while (end < text.size() && !IsLineBreak(text[end])) ++end;
      end = model.NextChar(end);
      mouseUnit.Set(MouseSelection::Unit::Line, start, end);
    }
    model.Select(start, end);
    AfterCaretMove();
    return;
  }
  const bool shift = multiLine ? event->modifiers() == Qt::ShiftModifier
                               : (event->modifiers() & Qt::ShiftModifier) != 0;
  if (shift) {
    ExtendSelectionTo(point);
    AfterCaretMove();
    return;
  }
  const std::size_t at = HitTest(point);
  // A text edit drags its selection from a press on it, ends included; a line edit has no
  // text drag and starts a new selection.
  if (multiLine && model.HasSelection() && at >= model.SelectionStart() && at <= model.SelectionEnd()) {
    mightDrag = true;
    selecting = false;
    return;
  }
  model.SetCursor(at, false);
  mouseUnit.Set(MouseSelection::Unit::Character);
  AfterCaretMove();
}

void TextBoxBase::ExtendSelectionTo(const QPoint& point) {
  std::size_t at = HitTest(point);
  if (!multiLine) {
    // A line edit's quick selection: dragged well below or above where it was pressed, the
    // selection reaches the line's end or start.
    const int threshold = QGuiApplication::styleHints()->mouseQuickSelectionThreshold();
    if (threshold > 0 && point.y() > pressPoint.y() + threshold) at = model.Size();
    if (threshold > 0 && point.y() + threshold < pressPoint.y()) at = 0;
  }
  // Back inside the word or line it started from, the selection is that again, not offered anew.
  const bool inUnit = at >= mouseUnit.Start() && at <= mouseUnit.End();
  switch (mouseUnit.CurrentUnit()) {
    case MouseSelection::Unit::Character:
      model.SetCursor(at, true);
      return;
    case MouseSelection::Unit::Line: {
      const auto [anchor, cursor] = mouseUnit.ExtendByLine(model, at);
      model.Select(anchor, cursor);
      break;
    }
    case MouseSelection::Unit::Word: {
      // A word that wraps onto the next row extends nothing, nor does a line's start (a text
      // edit finds no word start to move to there), unless it is in the double-click's word.
      const auto [start, end] = WordAt(at);
      const bool lineStart = at == 0 || IsLineBreak(model.View()[at - 1]);
      const bool oneRow = model.RowOf(start) == model.RowOf(end) && !lineStart;
      const auto extended = mouseUnit.ExtendByWord(at, start, oneRow ? end : start,
                                                   CaretRectAt(start, false).left(),
                                                   CaretRectAt(end, false).left(), point.x());
      if (!extended) return;
      model.Select(extended->first, extended->second);
      break;
    }
  }
  if (!inUnit) PublishSelection();
}

void TextBoxBase::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const QPoint point = event->position().toPoint();
  if (mightDrag) {
    if ((point - pressPoint).manhattanLength() > QApplication::startDragDistance()) {
      mightDrag = false;
      StartDrag();
    }
    return;
  }
  if (!selecting) return;
  ExtendSelectionTo(point);
  // A text edit leaves the scrolling to its timer while the pointer is outside; a line edit
  // keeps the caret in view.
  AfterCaretMove(false, !multiLine);
  if (multiLine && event->source() == Qt::MouseEventNotSynthesized) {
    if (viewport()->rect().contains(point)) autoScroll.stop();
    else if (!autoScroll.isActive()) autoScroll.start(100, this);
  }
}

void TextBoxBase::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (pressInPreedit >= 0) {
    pressInPreedit = -1;
    const int at = PreeditHit(point);
    if (at >= 0) {
      QGuiApplication::inputMethod()->invokeAction(QInputMethod::Click, at);
      return;
    }
  }
  if (event->button() == Qt::MiddleButton) {
    MiddleClickPaste(point);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (autoScroll.isActive()) {
    autoScroll.stop();
    EnsureCursorVisible();
  }
  if (mightDrag) {  // pressed in the selection and let go without dragging: no scrolling
    mightDrag = false;
    model.SetCursor(HitTest(point), false);
    AfterCaretMove(false, false);
    return;
  }
  if (selecting && offerOnRelease) PublishSelection();
  selecting = false;
}

void TextBoxBase::MiddleClickPaste(const QPoint& point) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard->supportsSelection()) return;
  QString text = clipboard->text(QClipboard::Selection);
  // A text edit pastes where the pointer is, a line edit at its caret (which the press put there).
  model.SetCursor(multiLine ? HitTest(point) : model.Cursor(), false);
  model.EndUndoGroup();
  // Undone as a paste from the clipboard is: in a text edit with the typing that continues it.
  InsertTyped(std::move(text), multiLine ? TextModel::Edit::Paste : TextModel::Edit::Other);
}

void TextBoxBase::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  CommitPreedit();
  const QPoint point = event->position().toPoint();
  const std::size_t at = HitTest(point);
  mightDrag = false;
  selecting = true;
  offerOnRelease = !multiLine;
  model.SetCursor(at, false);
  // A text edit selects a word only on a row with text; a drag from it goes by words. It
  // neither scrolls to the word nor forgets the line of a triple click just before.
  std::size_t start = at, end = at;
  const std::size_t row = multiLine ? model.RowOf(at) : 0;
  if (!multiLine || model.RowEnd(row) > model.RowStart(row)) {
    std::tie(start, end) = WordAt(at);
    model.Select(start, end);
  }
  if (multiLine) mouseUnit.Set(MouseSelection::Unit::Word, start, end);
  sinceDoubleClick.start();
  doubleClickPoint = point;
  AfterCaretMove(false, !multiLine);
  // A text edit offers the word at once; a line edit only on release, after any drag from it.
  if (multiLine) PublishSelection();
}

void TextBoxBase::StartDrag() {
  dragged = {model.SelectionStart(), model.SelectionEnd()};
  // Copied now: the box may change while the drag goes on.
  auto* data = new BoxTextData(model, dragged.first, dragged.second, multiLine);
  data->Detach();
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  // A move into another widget takes the text away from here, wherever the changes made
  // meanwhile have moved it (none left if a handler rewrote the box); a move within this box
  // was done by the drop itself.
  const auto [start, end] = dragged;
  dragged = {};
  if (action == Qt::MoveAction && drag->target() != this && drag->target() != viewport() && start < end) {
    model.EndUndoGroup();
    RemoveRange(start, end, TextModel::Edit::Other);
  }
}

QMenu* TextBoxBase::CreateStandardContextMenu() {
  auto* menu = new QMenu(this);
  const auto add = [&](const char* name, const QString& text, QKeySequence::StandardKey key,
                       bool enabled, auto slot) {
    QString caption = text;
    if (key != QKeySequence::UnknownKey) {
      caption += QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::NativeText);
    }
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
  };
  const bool selection = model.HasSelection();
  add("edit-undo", tr("&Undo"), QKeySequence::Undo, model.CanUndo(), &TextBoxBase::undo);
  add("edit-redo", tr("&Redo"), QKeySequence::Redo, model.CanRedo(), &TextBoxBase::redo);
  menu->addSeparator();
  add("edit-cut", tr("Cu&t"), QKeySequence::Cut, selection, &TextBoxBase::cut);
  add("edit-copy", tr("&Copy"), QKeySequence::Copy, selection, &TextBoxBase::copy);
  add("edit-paste", tr("&Paste"), QKeySequence::Paste,
      !QGuiApplication::clipboard()->text().isEmpty(), &TextBoxBase::paste);
  add("edit-delete", tr("Delete"), QKeySequence::UnknownKey, selection, &TextBoxBase::deleteSelection);
  menu->addSeparator();
  const bool allSelected = model.SelectionStart() == 0 && model.SelectionEnd() == model.Size();
  add("select-all", tr("Select All"), QKeySequence::SelectAll,
      model.Size() > 0 && (multiLine || !allSelected), &TextBoxBase::selectAll);
  return menu;
}

void TextBoxBase::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TextBoxBase::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  const Qt::FocusReason reason = event->reason();
  // A line box entered from the keyboard has its text selected, ready to be typed over.
  if (!multiLine && !model.HasSelection() &&
      (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
       reason == Qt::ShortcutFocusReason)) {
    // Offered to other programs as a selection made here, unlike Select All from the menu.
    selectAll();
    PublishSelection();
  }
  RestartBlink();
  viewport()->update();
}

void TextBoxBase::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  // A line box gives up its selection with the focus, unless a menu or another window took it.
  const Qt::FocusReason reason = event->reason();
  if (!multiLine && model.HasSelection() && reason != Qt::ActiveWindowFocusReason &&
      reason != Qt::PopupFocusReason) {
    model.SetCursor(model.Cursor(), false);
    NotifyCaretMove(*this);  // before the focus moves on, as a line edit tells it
  }
  StopBlink();
  viewport()->update();
}

// ---- Input methods ----

void TextBoxBase::inputMethodEvent(QInputMethodEvent* event) {
  // The old composed text gives way to what this event brings, before anything scrolls.
  preedit.clear();
  const QString commit = event->commitString();
  const auto length = static_cast<std::size_t>(std::max(0, event->replacementLength()));
  // As in Qt's boxes: any input takes the selection away first; the replaced characters count
  // from the caret; with nothing committed the caret stays, less what was replaced before it.
  if ((length > 0 || !commit.isEmpty() || !event->preeditString().isEmpty()) && model.HasSelection()) {
    deleteSelection();
  }
  if (length > 0 || !commit.isEmpty()) {
    const std::size_t caret = model.Cursor();
    const long start = static_cast<long>(caret) + event->replacementStart();
    const auto from = static_cast<std::size_t>(std::max(0L, start));
    if (length > 0) model.Select(from, from + length);
    // A text edit undoes each commit as a step of its own; a line edit with the typing around it.
    InsertTyped(commit, multiLine ? TextModel::Edit::Other : TextModel::Edit::Typing);
    if (commit.isEmpty()) {
      model.SetCursor(caret - (from < caret ? std::min(length, caret - from) : 0), false);
      AfterCaretMove();
    }
  }
  preedit = event->preeditString();
  preeditCursor = static_cast<int>(preedit.size());
  preeditCaretHidden = false;
  preeditFormats.clear();
  for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
    if (attribute.type == QInputMethodEvent::Cursor) {
      preeditCursor = std::clamp(attribute.start, 0, static_cast<int>(preedit.size()));
      preeditCaretHidden = attribute.length == 0;
    }
    if (attribute.type == QInputMethodEvent::TextFormat) {
      // How the input method marks its text (underlined, its converted part highlighted).
      const QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
      if (format.isValid()) preeditFormats.append({attribute.start, attribute.length, format});
    }
    if (attribute.type == QInputMethodEvent::Selection && preedit.isEmpty()) {
      model.Select(static_cast<std::size_t>(std::max(0, attribute.start)),
                   static_cast<std::size_t>(std::max(0, attribute.start + attribute.length)));
    }
  }
  Recompose();
  UpdateScrollBar();
  EnsureCursorVisible();
  viewport()->update();
  TellInputMethod();
  event->accept();
}

void TextBoxBase::CommitPreedit() {
  if (preedit.isEmpty()) return;
  QGuiApplication::inputMethod()->commit();
  if (preedit.isEmpty()) return;
  // An input method that kept its text loses it here, as in Qt's boxes.
  preedit.clear();
  preeditFormats.clear();
  Recompose();
  UpdateScrollBar();
  viewport()->update();
}

int TextBoxBase::PreeditHit(const QPoint& point) const {
  const Row r = RowAt(CaretRow());
  const auto layout = multiLine ? ComposedLayout() : Layout(r, true);
  // A line edit goes by x alone; a text edit by the row of the composed layout under the point.
  const double y = point.y() - r.origin.y();
  int row = multiLine ? -1 : 0;
  for (int i = 0; multiLine && i < layout->lineCount(); ++i) {
    const QTextLine candidate = layout->lineAt(i);
    if (y >= candidate.y() && y < candidate.y() + StackedHeight(candidate)) row = i;
  }
  if (row < 0 || row >= layout->lineCount()) return -1;
  const QTextLine line = layout->lineAt(row);
  const int at = line.xToCursor(point.x() - r.origin.x()) - static_cast<int>(model.Cursor() - r.start);
  return at >= 0 && at <= preedit.size() ? at : -1;
}

QVariant TextBoxBase::inputMethodQuery(Qt::InputMethodQuery query) const try {
  // Surrounding text is a window around the caret, not the whole of a large text.
  const std::u16string_view text = model.View();
  const std::size_t cursor = model.Cursor();
  const std::size_t from = model.Snap(cursor > 1000 ? cursor - 1000 : 0, true);
  const std::size_t to = model.Snap(std::min(text.size(), cursor + 1000), false);
  const auto relative = [&](std::size_t p) {
    return static_cast<int>(std::clamp(p, from, to) - from);
  };
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle: {
      const QRectF caret = query == Qt::ImAnchorRectangle && model.HasSelection()
                               ? CaretRectAt(model.Anchor(), false)
                               : CaretRect();
      if (multiLine) return caret.translated(viewport()->pos());
      // A line edit's: wider than its caret, from 5 pixels before it, and a pixel taller.
      const QRect line(static_cast<int>(std::lround(caret.x())) - 5, static_cast<int>(std::lround(caret.y())), 10,
                       static_cast<int>(std::lround(caret.height())) + 1);
      return line.translated(viewport()->pos());
    }
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return relative(cursor);
    case Qt::ImAnchorPosition:
      return relative(model.Anchor());
    case Qt::ImSurroundingText:
      return ToQString(std::u16string_view(text).substr(from, to - from));
    case Qt::ImCurrentSelection:
      return SelectedText();
    case Qt::ImMaximumTextLength:
      return QVariant();
    case Qt::ImAbsolutePosition:
      return static_cast<qlonglong>(cursor);
    case Qt::ImTextBeforeCursor:
      return ToQString(std::u16string_view(text).substr(from, cursor - from));
    case Qt::ImTextAfterCursor:
      return ToQString(std::u16string_view(text).substr(cursor, to - cursor));
    case Qt::ImHints:
      return static_cast<int>(multiLine ? Qt::ImhMultiLine : Qt::ImhNone);
    case Qt::ImReadOnly:
      return false;
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
} catch (...) {
  return QVariant();
}

// ---- Drag and drop ----

void TextBoxBase::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData() && event->mimeData()->hasText()) event->acceptProposedAction();
  else event->ignore();
}

void TextBoxBase::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData() || !event->mimeData()->hasText()) {
    event->ignore();
    return;
  }
  dropPosition = static_cast<int>(HitTest(event->position().toPoint()));
  if (multiLine) {
    dragHover = event->position().toPoint();
    if (!autoScroll.isActive()) autoScroll.start(100, this);
  }
  viewport()->update();
  event->acceptProposedAction();
}

void TextBoxBase::dragLeaveEvent(QDragLeaveEvent*) {
  dropPosition = -1;
  autoScroll.stop();
  viewport()->update();
}

void TextBoxBase::dropEvent(QDropEvent* event) {
  dropPosition = -1;
  autoScroll.stop();
  const QMimeData* data = event->mimeData();
  if (!data || !data->hasText()) {
    event->ignore();
    return;
  }
  std::size_t at = HitTest(event->position().toPoint());
  model.EndUndoGroup();
  const bool fromHere = event->source() == this || event->source() == viewport();
  if (fromHere && event->dropAction() == Qt::MoveAction && dragged.first < dragged.second) {
    DropMove(at);
  } else {
    model.SetCursor(at, false);
    InsertFromMimeData(data);
  }
  event->acceptProposedAction();
}

void TextBoxBase::DropMove(std::size_t at) {
  const auto [start, end] = dragged;
  // Its own characters move, line breaks as they are, as one undo step; the caret ends after
  // them. Dropped onto themselves they stay, and that is a step too, as in a text edit.
  model.KeepRemovedText(QAccessible::isActive());
  Edited([&] { return model.Move(start, end, at); });
}

}  // namespace calvexa
