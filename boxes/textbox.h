#pragma once
// The window's two text boxes. They edit like Qt's own boxes (keys, mouse, clipboard and the
// X11 primary selection, drag and drop, undo, context menu, input methods, screen readers) but
// lay out and draw only the rows in view, so a keystroke costs the same in an empty box and
// in one holding megabytes.
//
// Handlers read and write the whole text through Text() (or View(), which never moves it) and
// SetText(), or replace its end with ReplaceFrom() after learning where it changed from
// LastChange(); the USER property (plainText or text) is the same text as a QString. Every
// change of the text, typed or written, emits textChanged() once, after the text has changed.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTextLayout>
#include <map>
#include <memory>
#include <string>

#include "linescroll.h"
#include "mouseselection.h"
#include "textmodel.h"

class QMenu;
class QMimeData;
namespace calvexa {
class BoxTextData;
}

namespace calvexa {

// A QString of a part of a box's text.
inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

class TextBoxBase : public QAbstractScrollArea {
  Q_OBJECT

 public:
  const std::u16string& Text() const { return model.Text(); }
  std::u16string_view View() const { return model.View(); }
  // Replaces the whole text, clears the undo history and selection.
  void SetText(std::u16string text);
  // As SetText with the text before position kept and the rest replaced by what write appends
  // to the text it is handed (reserve: about how many characters), at the cost of the replaced
  // part: the rows before it stay laid out, and screen readers hear of the replaced part alone.
  void ReplaceFrom(std::size_t position, std::size_t reserve,
                   const std::function<void(std::u16string&)>& write);
  // Where the last change of the text was; what textChanged() reports.
  const TextModel::Change& LastChange() const { return model.LastChange(); }
  QString TextAsQString() const { return ToQString(model.View()); }

  // Caret and selection in characters of Text() (a CR LF line break counts two).
  int CursorPosition() const { return static_cast<int>(model.Cursor()); }
  int AnchorPosition() const { return static_cast<int>(model.Anchor()); }
  bool HasSelection() const { return model.HasSelection(); }
  QString SelectedText() const;
  void Select(int anchor, int cursor);
  bool IsUndoAvailable() const { return model.CanUndo(); }
  bool IsRedoAvailable() const { return model.CanRedo(); }

  // The model itself, for the accessibility bridge.
  const TextModel& Model() const { return model; }
  // The rectangle of the character at position, in the widget's coordinates (empty if the
  // character is not in view).
  QRect CharacterRect(int position) const;
  // The same as a screen reader is told it: from the caret before it, as wide as it alone.
  QRect CharacterExtent(int position) const;
  // The character position under point (the widget's coordinates).
  int PositionAt(const QPoint& point) const;
  // Where the caret would stand at position (the widget's coordinates).
  QRect PositionRect(int position) const;

  // Replaces [from, to) with text as one undoable edit (screen readers edit this way).
  void ReplaceRange(int from, int to, const QString& text);

  // Undo, Redo, Cut, Copy, Paste, Delete and Select All, enabled as they apply now.
  QMenu* CreateStandardContextMenu();

 public slots:
  void selectAll();
  void clear();
  void undo();
  void redo();
  void cut();
  void copy() const;
  void paste();
  void deleteSelection();

 signals:
  void textChanged();

 protected:
  TextBoxBase(bool multiLine, QWidget* parent);
  ~TextBoxBase() override;

  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  enum class Move { Char, Word, RowStart, RowEnd, TextStart, TextEnd, RowUp, RowDown, PageUp, PageDown };

  // Editing through the model, then everything that follows a change: the scroll bar, the
  // caret in view, screen readers, textChanged.
  void InsertTyped(QString text, TextModel::Edit kind);
  void RemoveRange(std::size_t from, std::size_t to, TextModel::Edit kind);
  template <typename Change>
  void Edited(Change change);
  void AfterEdit(bool changed);
  void AfterCaretMove(bool keepGoalX = false, bool scroll = true);
  // Wraps at the text area's width; with measure, the font's advances are measured afresh.
  void Remeasure(bool measure = true);
  void UpdateScrollBar();
  void EnsureCursorVisible();
  // Tells the input method where the caret now is (its candidates follow it).
  void TellInputMethod();
  void PublishSelection() const;
  // What the primary selection and the clipboard offer of this box's text is read from it when
  // asked for; before the text changes, it is copied out (unless converted already).
  void DetachSelection();
  void InsertFromMimeData(const QMimeData* data);
  void StartDrag();
  // A handler rewrote the text (or an edit failed): what a double-click or a drag holds goes,
  // as a text edit's new document drops every cursor's selection.
  void DropHeldRanges();

  // Keys and caret movement.
  bool IsOwnKey(const QKeyEvent& event) const;
  bool MoveKey(QKeyEvent* event);
  bool EditKey(QKeyEvent* event);
  std::size_t Target(Move move, bool forward, bool select);
  std::size_t Boundary(std::size_t position, bool forward, bool words) const;
  std::pair<std::size_t, std::size_t> WordAt(std::size_t position) const;
  std::size_t PageTarget(bool forward);

  // The mouse: pressing, dragging and Shift+clicking by the unit of the last click.
  void ExtendSelectionTo(const QPoint& point);
  void MiddleClickPaste(const QPoint& point);
  void DropMove(std::size_t at);
  bool IsLineBoxWindowsScheme() const;

  // Input methods: the composed text ends where it was typed before anything else moves the
  // caret; a click on it goes to the input method.
  void CommitPreedit();
  int PreeditHit(const QPoint& point) const;  // where in the composed text, or -1
  // A multi-line box wraps the composed text with the rest of its paragraph, in view.
  void Recompose();
  std::shared_ptr<const QTextLayout> ComposedLayout() const;

  // The caret's blink, as the desktop times it; steady where the desktop says 0.
  void RestartBlink();
  void StopBlink();

  // Geometry, in the viewport's coordinates.
  struct Row {
    std::size_t start = 0, end = 0;  // the shown characters
    QPointF origin;                  // where the row's line is drawn
  };
  Row RowAt(std::size_t row) const;
  std::size_t CaretRow() const;
  int FirstRow() const;
  int VisibleRows() const;
  double LineHeight() const;
  double RowTop(std::size_t row) const;  // where the row starts in the viewport
  double RowHeight(std::size_t row) const;
  static double StackedHeight(const QTextLine& line);  // how far a text edit puts the next line
  std::size_t RowAtHeight(double y) const;  // the row at y in the viewport (below the last: past it)
  int FullRows() const;                  // the rows that fit a scrolled view
  int PageRows() const;                  // the rows the last page shows, above its margin
  std::size_t RowCount() const;
  std::shared_ptr<const QTextLayout> Layout(const Row& row, bool withPreedit) const;
  // A row's line as it is laid out: the layout that holds it, its line there, the text position
  // of the layout's first character, and where the layout is drawn to put the line on the row.
  struct RowLine {
    std::shared_ptr<const QTextLayout> layout;
    QTextLine line;
    std::size_t base = 0;
    QPointF origin;
    bool whole = false;  // the layout holds every row of the row's line
  };
  RowLine LineOf(const Row& r, bool withPreedit) const;
  // A line of a multi-line box laid out whole, by where it starts: where it ends, its layout.
  struct ShapedLine {
    std::size_t end = 0;
    std::shared_ptr<const QTextLayout> layout;
  };
  using ShapedLines = std::map<std::size_t, ShapedLine>;
  // The characters [start, end) of a multi-line box wrapped anywhere at its width, as a text
  // edit lays out a paragraph; withPreedit, with the composed text at the caret.
  std::shared_ptr<QTextLayout> WrappedLayout(std::size_t start, std::size_t end, bool withPreedit) const;
  // Lays out each line in view that holds characters beyond the tables' (anything but ASCII)
  // whole, as a text edit does, and takes its rows from there; the view keeps the character at
  // its top. Returns whether any row changed.
  bool ShapeInView();
  // The shaped line whose layout has a line starting at rowStart, and that line; or none.
  ShapedLines::const_iterator ShapedRow(std::size_t rowStart, QTextLine& line) const;
  // Puts the composed text into layout at the caret, which is at in it.
  void AddPreedit(QTextLayout& layout, int at) const;
  void KeepShapedLines(const TextModel::Change& change);
  // Whether a line box lays its whole text out as one, as a line edit does (a short one).
  bool WholeLine() const;
  std::shared_ptr<const QTextLayout> WholeLineLayout(bool withPreedit) const;
  // Where a line box's row is drawn from the top, for the characters in view, and how wide
  // they are.
  std::pair<double, double> LinePlace(const Row& row) const;
  // Whether the paragraph holding position runs right to left: its first strong character
  // decides, isolates aside (a line box's whole text is one paragraph).
  bool RightToLeft(std::size_t position) const;
  // Whether a line box lays its text out right to left: the whole text in view, aligned right.
  bool LineRightToLeft() const;
  void DirectionEdited(bool changed);
  std::size_t HitTest(const QPoint& point) const;
  std::size_t PositionInRow(std::size_t row, double x) const;  // x in the viewport
  QRectF CaretRect() const;
  QRectF CaretRectAt(std::size_t position, bool withPreedit) const;
  QRect TextArea() const;

  const bool multiLine;
  TextModel model;
  double goalX = -1;          // the x the caret keeps on Up and Down
  mutable LineScroll sideways{model};  // single-line: how far the view has scrolled
  QString preedit;            // input method text being composed at the caret
  int preeditCursor = 0;
  bool preeditCaretHidden = false;
  QList<QTextLayout::FormatRange> preeditFormats;  // from the preedit's start
  int pressInPreedit = -1;    // a press on the composed text, for the input method on release
  // While composing in a multi-line box: the rows from the caret's to the last one in view of
  // its paragraph are laid out as one, and take composedExtra more rows than they had.
  std::size_t composedLast = 0;
  std::size_t composedExtra = 0;
  std::size_t composedCaretLine = 0;  // the row of that layout that holds the caret
  QPoint pressPoint;
  bool mightDrag = false;  // pressed in the selection: a move starts a drag
  bool selecting = false;
  // What the press selects is offered as the primary selection on release: not after a text
  // edit's double-click, which offered its word at once and then what a drag extends to.
  bool offerOnRelease = false;
  MouseSelection mouseUnit;
  QBasicTimer autoScroll;  // while the pointer is held outside a multi-line box
  QBasicTimer blink;
  // What this box offers the primary selection and the clipboard while they still read its text.
  mutable QPointer<BoxTextData> offeredSelection, offeredClipboard;
  bool caretOn = true;
  double pageCaretY = 0;  // the caret's height in view that PgUp and PgDn keep
  bool pageCaretYValid = false;
  int dropPosition = -1;  // where a drag would drop, while one hovers
  QPoint dragHover;       // and where it hovers
  // The characters a drag from here takes away, followed through the changes made while it
  // runs (a drop elsewhere may make a handler rewrite this box); empty when none.
  std::pair<std::size_t, std::size_t> dragged;
  QElapsedTimer sinceDoubleClick;  // a click soon after a double-click is a triple click
  // The last paragraph whose direction was asked for: it starts at start, has no line break up
  // to known, and its direction is decided by the characters before decided (none strong if
  // not found, with isolates still open).
  struct Direction {
    bool valid = false, found = false, rightToLeft = false;
    std::size_t start = 0, decided = 0, known = 0;
    int isolates = 0;
  };
  mutable Direction direction;
  mutable std::pair<QString, std::pair<double, double>> linePlace;  // what LinePlace last placed
  // A line box's whole text as last laid out, with the font and direction it was laid out in.
  struct WholeLaidOut {
    QString text;
    QFont font;
    bool rightToLeft = false;
    std::shared_ptr<const QTextLayout> layout;
  };
  mutable WholeLaidOut wholeLine;
  // The lines ShapeInView laid out; dropped when they leave the view or an edit reaches them.
  ShapedLines shapedLines;
  bool shapingInView = false;
  QPoint doubleClickPoint;
};

class MultiLineBox : public TextBoxBase {
  Q_OBJECT
  Q_PROPERTY(QString plainText READ plainText WRITE setPlainText USER true)

 public:
  explicit MultiLineBox(QWidget* parent = nullptr) : TextBoxBase(true, parent) {}
  QString plainText() const { return TextAsQString(); }
  void setPlainText(const QString& text) { SetText(text.toStdU16String()); }
};

class SingleLineBox : public TextBoxBase {
  Q_OBJECT
  Q_PROPERTY(QString text READ text WRITE setText USER true)

 public:
  explicit SingleLineBox(QWidget* parent = nullptr) : TextBoxBase(false, parent) {}
  QString text() const { return TextAsQString(); }
  void setText(const QString& text) { SetText(text.toStdU16String()); }
};

}  // namespace calvexa
