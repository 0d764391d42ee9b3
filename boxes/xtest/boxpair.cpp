// The window of the real-X comparison: two copies of the Base 64 tab side by side, the left one
// built from the program's own boxes and wired to the tab's own handler, the right one from Qt's
// QPlainTextEdit and QLineEdit set up as the window had them before the boxes were replaced.
// Below each copy sit a one-line box as wide as the hash input and one as small as an operand.
//
// Every box has an accessible name "ours.NAME" or "qt.NAME" (input, output, dinput, doutput,
// line, short), which is how the driver finds it through AT-SPI.
//
// Standard input takes setup commands, one JSON object a line; each is answered on standard
// output, once done, by one JSON object a line ({} or {"error":"..."}, or what was asked):
//   {"cmd":"set","box":"ours.input","text":"...","anchor":0,"caret":0}
//       replaces the text (the handler runs), empties the undo history, puts the selection and
//       scrolls to the top; "\n" is a line break (CR LF in ours), and every position counts a
//       line break as one character, whichever box
//   {"cmd":"clip","mode":"clipboard"|"primary","text":"..."}   (no "text": the selection is cleared)
//   {"cmd":"focus","box":"ours.line"}   ("none": the window itself keeps the focus)
//   {"cmd":"sync","boxes":["ours.input",...]}
//       returns once every X event sent before it has been handled, with how many events have
//       reached the window's widgets so far (timers aside; repaints and drops count), so that two
//       syncs with the same count bracket a time in which nothing changed:
//       -> {"changes":N,"top":{"ours.input":N,...},"focus":"..."}, top as in geom
//   {"cmd":"geom","box":"qt.input","positions":[0,5]}
//       -> {"rects":[[x,y,w,h],...],"box":[...],"viewport":[...],"top":N}: screen rectangles of
//       the characters at those positions (zero width at a line's end), of the box and of its
//       text area, the position under the text area's top left corner, and the accessible
//       name of the box with the focus; with "carets":true, where the caret would stand at
//       each position instead (zero width), which in right-to-left text is a character's
//       right edge
//   {"cmd":"im"} -> {"im":"qt.input 12,4,1,14"}: where the input method was last told the caret
//       is (the focus box's ImCursorRectangle, from its corner, when the box last updated it;
//       for Qt's line edit, what it answers now)
//   {"cmd":"shot","box":"qt.input"} -> {"shot":"9f0c..."}: a digest of how the box draws the
//       caret's row left of the caret (the caret itself blinks), from 3 pixels inside its frame
//   {"cmd":"quit"}
// No step of a scenario goes through here: those are real X input.
#include <xcb/xcb.h>

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStyleFactory>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <unistd.h>

#include "base64.h"
#include "base64tab.h"
#include "boxtext.h"
#include "textbox.h"

namespace calvexa {
namespace {

int Px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }
QRect Twips(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

constexpr int kPanelWidth = 673, kPanelHeight = 452;

// The text as the Qt box's handler read it: paragraph and line separators become CR LF.
std::u16string QtRead(const QPlainTextEdit& box) {
  QString raw = box.document()->toRawText();
  raw.replace(QChar(0x2029), QStringLiteral("\r\n")).replace(QChar(0x2028), QStringLiteral("\r\n"));
  return raw.toStdU16String();
}

// A position counted with one character per line break, in a text that keeps CR LF.
int CrLfPosition(const QString& text, int position) {
  int p = 0;
  for (int seen = 0; p < text.size() && seen < position; ++seen) {
    p += text[p] == u'\r' && p + 1 < text.size() && text[p + 1] == u'\n' ? 2 : 1;
  }
  return p;
}

class Panel : public QWidget {
 public:
  Panel(QWidget* parent, bool ours, int left) : QWidget(parent), ours(ours) {
    setObjectName(ours ? QStringLiteral("ours") : QStringLiteral("qt"));
    setGeometry(left, 0, kPanelWidth, kPanelHeight);
    auto* encoding = Frame("Encoding:", Twips(120, 120, 9855, 2775));
    auto* decoding = Frame("Decoding:", Twips(120, 3120, 9855, 2775));
    Multi(encoding, "txtB64eIN", "input", Twips(120, 480, 4695, 2175));
    Multi(encoding, "txtB64eOUT", "output", Twips(5040, 480, 4695, 2175));
    Multi(decoding, "txtB64dIN", "dinput", Twips(120, 480, 4695, 2175));
    Multi(decoding, "txtB64dOUT", "doutput", Twips(5040, 480, 4695, 2175));
    // The hash input's size, and a calculator operand's.
    Line("txtHashIn", "line", Twips(120, 6015, 9855, 285));
    Line("txtAnd1", "short", Twips(120, 6405, 1335, 285));
    if (ours) {
      new Base64Tab(*this, codec);
    } else {
      Wire("input", "output", false);
      Wire("dinput", "doutput", true);
    }
  }

  std::map<QString, QWidget*> boxes;  // by short name

 private:
  QGroupBox* Frame(const char* title, QRect at) {
    auto* frame = new QGroupBox(QString::fromLatin1(title), this);
    frame->setGeometry(at);
    for (auto [caption, x] : {std::pair{"Input:", 120}, {"Output:", 5040}}) {
      auto* label = new QLabel(QString::fromLatin1(caption), frame);
      label->move(Px(x), Px(240));
      label->adjustSize();
    }
    return frame;
  }

  void Name(QWidget* box, const char* realName, const char* name, QRect at) {
    const QString full = objectName() + QLatin1Char('.') + QLatin1String(name);
    // The tab's handler finds our boxes by the window's names.
    box->setObjectName(ours ? QString::fromLatin1(realName) : full);
    box->setAccessibleName(full);
    box->setGeometry(at);
    boxes[QString::fromLatin1(name)] = box;
  }

  void Multi(QWidget* parent, const char* realName, const char* name, QRect at) {
    if (ours) {
      Name(new MultiLineBox(parent), realName, name, at);
      return;
    }
    auto* box = new QPlainTextEdit(parent);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAnywhere);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setTabChangesFocus(true);
    Name(box, realName, name, at);
  }

  void Line(const char* realName, const char* name, QRect at) {
    if (ours) {
      Name(new SingleLineBox(this), realName, name, at);
      return;
    }
    auto* box = new QLineEdit(this);
    box->setMaxLength(std::numeric_limits<int>::max());
    Name(box, realName, name, at);
  }

  // The Qt copy's handler, as the tab ran it over Qt's boxes.
  void Wire(const char* from, const char* to, bool decode) {
    auto* in = static_cast<QPlainTextEdit*>(boxes[QString::fromLatin1(from)]);
    auto* out = static_cast<QPlainTextEdit*>(boxes[QString::fromLatin1(to)]);
    QObject::connect(in, &QPlainTextEdit::textChanged, this, [this, in, out, decode] {
      try {
        if (!codec) codec = std::make_unique<Base64>();
        const std::u16string text = QtRead(*in);
        out->setPlainText(QString::fromStdU16String(decode ? codec->Decode64(text)
                                                           : codec->Encode64(text)));
      } catch (const Base64DecodeError&) {
        out->clear();
      } catch (...) {
      }
    });
  }

  const bool ours;
  std::unique_ptr<Base64> codec;
};

class Window : public QWidget {
 public:
  Window() : left(this, true, 0), right(this, false, kPanelWidth) {
    // The input method hears of the caret on these two occasions alone.
    QObject::connect(QGuiApplication::inputMethod(), &QInputMethod::cursorRectangleChanged, this,
                     [this] { toldInputMethod = CaretForInputMethod(); });
    QObject::connect(qApp, &QGuiApplication::focusObjectChanged, this,
                     [this] { toldInputMethod = CaretForInputMethod(); });
    setObjectName(QStringLiteral("boxpair"));
    setWindowTitle(QStringLiteral("boxpair"));
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(2 * kPanelWidth, kPanelHeight);
    // Off the screen's edges, so that a drag can go past every box's edges.
    move(60, 50);
    qApp->installEventFilter(this);
    // What changes without an event reaching a widget.
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this] { ++changes; });
    connect(qApp, &QApplication::focusChanged, this, [this] { ++changes; });
  }

  // The boxes go after this, and drop the focus as they go: nothing is told any more.
  ~Window() override {
    QObject::disconnect(QGuiApplication::inputMethod(), nullptr, this, nullptr);
    QObject::disconnect(qApp, nullptr, this, nullptr);
  }

  QWidget* Box(const QString& name) const {
    const QString side = name.section(QLatin1Char('.'), 0, 0);
    const Panel& panel = side == QLatin1String("ours") ? left : right;
    const auto it = panel.boxes.find(name.section(QLatin1Char('.'), 1));
    return it == panel.boxes.end() ? nullptr : it->second;
  }

  // Carries out one command; an "error" member says why it could not.
  QJsonObject Run(const QJsonObject& command) {
    const QString cmd = command.value(QLatin1String("cmd")).toString();
    if (cmd == QLatin1String("sync")) {
      Sync();
      const QScopedValueRollback<bool> reading(answering, true);
      QJsonObject tops;
      for (const QJsonValue name : command.value(QLatin1String("boxes")).toArray()) {
        QWidget* box = Box(name.toString());
        if (!box) return Error(QStringLiteral("no box ") + name.toString());
        tops.insert(name.toString(), TopPosition(box));
      }
      return {{QStringLiteral("changes"), static_cast<double>(changes)},
              {QStringLiteral("top"), tops},
              {QStringLiteral("focus"), FocusName()}};
    }
    if (cmd == QLatin1String("quit")) {
      QCoreApplication::quit();
      return {};
    }
    if (cmd == QLatin1String("im")) {
      // Qt's line edit scrolls when it paints, after it has told the input method where its
      // caret is, so it tells where the caret stood before End, Home or a commit scrolled it
      // (off the box, after End in a long line). What it answers once painted is compared.
      if (qobject_cast<QLineEdit*>(QApplication::focusWidget())) return {{QStringLiteral("im"), CaretForInputMethod()}};
      return {{QStringLiteral("im"), toldInputMethod}};
    }
    if (cmd == QLatin1String("clip")) {
      const auto mode = command.value(QLatin1String("mode")).toString() == QLatin1String("primary")
                            ? QClipboard::Selection
                            : QClipboard::Clipboard;
      if (command.contains(QLatin1String("text"))) {
        QGuiApplication::clipboard()->setText(command.value(QLatin1String("text")).toString(), mode);
      } else {
        QGuiApplication::clipboard()->clear(mode);
      }
      Sync();
      return {};
    }
    const QString name = command.value(QLatin1String("box")).toString();
    if (cmd == QLatin1String("focus") && name == QLatin1String("none")) {
      activateWindow();
      setFocus(Qt::OtherFocusReason);
      Sync();
      return {};
    }
    QWidget* box = Box(name);
    if (!box) return Error(QStringLiteral("no box ") + name);
    if (cmd == QLatin1String("focus")) {
      activateWindow();
      box->setFocus(Qt::OtherFocusReason);
      Sync();
      return {};
    }
    if (cmd == QLatin1String("set")) {
      Set(box, command.value(QLatin1String("text")).toString(),
          command.value(QLatin1String("anchor")).toInt(), command.value(QLatin1String("caret")).toInt());
      Sync();
      return {};
    }
    if (cmd == QLatin1String("shot")) {
      QRect caret = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
      if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) caret.translate(plain->viewport()->pos());
      const int x = caret.x() + (caret.width() > 1 ? 5 : 0);  // a line edit's starts 5 pixels early
      const QImage image = box->grab(QRect(3, caret.y(), std::max(1, x - 4), caret.height())).toImage();
      const QByteArray bits(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
      return {{QStringLiteral("shot"), QString::fromLatin1(QCryptographicHash::hash(bits, QCryptographicHash::Md5).toHex())}};
    }
    if (cmd == QLatin1String("geom")) {
      const QScopedValueRollback<bool> reading(answering, true);
      QJsonArray rects;
      const bool carets = command.value(QLatin1String("carets")).toBool();
      for (const QJsonValue p : command.value(QLatin1String("positions")).toArray()) {
        rects.append(Rect(Global(box, CharRect(box, p.toInt(), carets))));
      }
      const QWidget* view = box->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
      const QRect viewport = view ? QRect(view->mapToGlobal(QPoint(0, 0)), view->size())
                                  : QRect(box->mapToGlobal(QPoint(0, 0)), box->size());
      return {{QStringLiteral("rects"), rects},
              {QStringLiteral("box"), Rect(QRect(box->mapToGlobal(QPoint(0, 0)), box->size()))},
              {QStringLiteral("viewport"), Rect(viewport)},
              {QStringLiteral("top"), TopPosition(box)},
              {QStringLiteral("focus"), FocusName()}};
    }
    return Error(QStringLiteral("unknown command ") + cmd);
  }

 protected:
  // Counts every event that reaches one of the window's widgets, but timers (a caret's blink
  // must not keep the count moving, and what a timer changes, an autoscroll, is repainted) and
  // what answering a question sends.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!answering && event->type() != QEvent::Timer && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
      ++changes;
    }
    return false;
  }

 private:
  static QJsonObject Error(const QString& why) { return {{QStringLiteral("error"), why}}; }
  static QJsonArray Rect(QRect r) { return {r.x(), r.y(), r.width(), r.height()}; }
  static QRect Global(const QWidget* box, QRect r) {
    return r.translated(box->mapToGlobal(QPoint(0, 0)));
  }

  static void Set(QWidget* box, const QString& text, int anchor, int caret) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
      plain->setPlainText(text);
      QTextCursor cursor = plain->textCursor();
      cursor.setPosition(anchor);
      cursor.setPosition(caret, QTextCursor::KeepAnchor);
      plain->setTextCursor(cursor);
      plain->verticalScrollBar()->setValue(0);
    } else if (auto* line = qobject_cast<QLineEdit*>(box)) {
      line->setText(text);
      line->setSelection(anchor, caret - anchor);
    } else {
      // Typed or pasted line breaks are CR LF in our multi-line boxes.
      auto* own = static_cast<TextBoxBase*>(box);
      QString stored = text;
      if (qobject_cast<MultiLineBox*>(box)) stored.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
      own->SetText(stored.toStdU16String());
      own->Select(CrLfPosition(stored, anchor), CrLfPosition(stored, caret));
      own->verticalScrollBar()->setValue(0);
    }
  }

  // Where the character at position (one character a line break) is drawn, in box
  // coordinates; at a line's end or the text's end, or if caretOnly, a caret-wide rectangle where
  // the caret would stand at position.
  static QRect CharRect(QWidget* box, int position, bool caretOnly = false) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
      QTextCursor cursor(plain->document());
      cursor.setPosition(std::clamp(position, 0, plain->document()->characterCount() - 1));
      const QRect caret = plain->cursorRect(cursor).translated(plain->viewport()->pos());
      const QTextBlock block = cursor.block();
      const int inBlock = cursor.position() - block.position();
      const QTextLine line = block.layout()->lineForTextPosition(inBlock);
      int x = caret.x(), width = 0;
      if (!caretOnly && line.isValid() && inBlock < line.textStart() + line.textLength() &&
          inBlock < block.length() - 1) {
        // A right-to-left character reaches left from the caret before it.
        const double step = line.cursorToX(inBlock + 1) - line.cursorToX(inBlock);
        x += static_cast<int>(std::lround(std::min(step, 0.0)));
        width = static_cast<int>(std::lround(std::abs(step)));
      }
      return {x, caret.y(), width, caret.height()};
    }
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
      Scrolled(line);
      // QLineEdit tells only where its caret is; the rest of its row is laid out alike here.
      QTextLayout layout(line->text(), line->font());
      layout.beginLayout();
      const QTextLine row = layout.createLine();
      layout.endLayout();
      const int size = static_cast<int>(line->text().size());
      const int at = std::clamp(position, 0, size);
      // The input method's rectangle starts 5 pixels left of the caret, which stands at its x
      // rounded to a pixel.
      const QRect caret = line->inputMethodQuery(Qt::ImCursorRectangle).toRect().adjusted(5, 0, 0, -1);
      const double x = caret.x() - std::round(row.cursorToX(line->cursorPosition())) + row.cursorToX(at);
      const double step = at < size && !caretOnly ? row.cursorToX(at + 1) - row.cursorToX(at) : 0;
      return {static_cast<int>(std::lround(x + std::min(step, 0.0))), caret.y(),
              static_cast<int>(std::lround(std::abs(step))), caret.height()};
    }
    auto* own = static_cast<TextBoxBase*>(box);
    const QString text = own->TextAsQString();
    const int at = qobject_cast<MultiLineBox*>(box) ? CrLfPosition(text, position) : position;
    const QRect r = caretOnly ? QRect() : own->CharacterRect(at);
    if (!r.isEmpty() && at < text.size() && text[at] != u'\r' && text[at] != u'\n') return r;
    const QRect caret = own->PositionRect(at);
    return {caret.x(), caret.y(), 0, caret.height()};
  }

  // QLineEdit scrolls its text sideways to the caret only when it paints, and the window paints
  // on a timer of its own: painted now, what it is asked about is what it shows.
  static void Scrolled(QLineEdit* line) { line->repaint(); }

  static QString FocusName() {
    const QWidget* focus = QApplication::focusWidget();
    if (!focus) return QStringLiteral("none");
    return focus->accessibleName().isEmpty() ? QStringLiteral("other ") + focus->objectName()
                                             : focus->accessibleName();
  }

  // The position under the top left corner of the text in view: how far the box has scrolled.
  static int TopPosition(QWidget* box) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) return plain->cursorForPosition(QPoint(1, 1)).position();
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
      Scrolled(line);
      return line->cursorPositionAt(QPoint(3, line->height() / 2));
    }
    auto* own = static_cast<TextBoxBase*>(box);
    const QWidget* view = own->viewport();
    const int at = own->PositionAt(view->pos() + QPoint(1, qobject_cast<MultiLineBox*>(box) ? 1 : view->height() / 2));
    const QString text = own->TextAsQString();
    int normal = 0;
    for (int i = 0; i < at && i < text.size(); ++i) normal += !(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n');
    return normal;
  }

  // A round trip to the X server brings in every event it sent before, then they are handled.
  static void Sync() {
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
      xcb_connection_t* connection = x11->connection();
      free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  static QString CaretForInputMethod() {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return QStringLiteral("none");
    QRect r = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    // Qt 6.4's text edit answers from its viewport's corner, not its own as the query says, so
    // its candidates open a frame's width up and left of its caret; ours answer from their own
    // corner. Compared from the widget's corner.
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) r.translate(plain->viewport()->pos());
    return QStringLiteral("%1 %2,%3,%4,%5").arg(FocusName()).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
  }

  Panel left, right;
  QString toldInputMethod = QStringLiteral("none");
  long long changes = 0;
  bool answering = false;
};

// Reads whole lines from standard input as the event loop finds them ready.
class CommandReader : public QObject {
 public:
  explicit CommandReader(Window& window) : window(window), notifier(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&notifier, &QSocketNotifier::activated, this, [this] { Read(); });
  }

 private:
  void Read() {
    char chunk[65536];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
      notifier.setEnabled(false);
      QCoreApplication::quit();
      return;
    }
    pending.append(chunk, n);
    for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
      const QByteArray line = pending.left(end);
      pending.remove(0, end + 1);
      if (line.trimmed().isEmpty()) continue;
      const QJsonDocument document = QJsonDocument::fromJson(line);
      QJsonObject reply = document.isObject()
                              ? window.Run(document.object())
                              : QJsonObject{{QStringLiteral("error"), QStringLiteral("not JSON")}};
      std::fputs(QJsonDocument(reply).toJson(QJsonDocument::Compact).append('\n').constData(), stdout);
      std::fflush(stdout);
    }
  }

  Window& window;
  QSocketNotifier notifier;
  QByteArray pending;
};

}  // namespace
}  // namespace calvexa

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("boxpair"));
  if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) QApplication::setStyle(classic);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(8.25);
  // Shorter than the desktop's 400 ms, so that the test can wait out a double-click sooner; still
  // three times the gap between the clicks of a double or triple click the driver sends.
  QGuiApplication::styleHints()->setMouseDoubleClickInterval(300);

  calvexa::Window window;
  window.setFont(font);
  window.show();
  window.activateWindow();
  window.setFocus();
  calvexa::CommandReader reader(window);
  std::fputs("ready\n", stdout);
  std::fflush(stdout);
  return app.exec();
}
