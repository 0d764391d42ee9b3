// The window's text boxes driven like a user: pastes through the clipboard, a keystroke at the
// end of a large text, typing into an empty box, and the memory a large paste holds. Each figure
// stands beside the floor measured in the same run: bare Qt boxes of the same size and font
// showing the same texts.
//
// Boxes are found by name as plain widgets and their texts read and written through the USER
// property, so whatever box classes the window uses are measured the same way.
//
// Offscreen; usage: boxes_bench [runs] [paste|key|small|reader|word|mixed|memory]. Without a section every one runs;
// memory always runs in a process of its own, since it must start clean.
#include <QAccessible>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base64.h"
#include "codepage.h"
#include "form1.h"
#include "quickhash.h"
#include "tabcontrol.h"

namespace {

using Clock = std::chrono::steady_clock;
using calvexa::Form1;

constexpr qsizetype kKiB = 1024;
constexpr qsizetype kMiB = 1024 * kKiB;
constexpr int kTypedKeys = 200;

const char16_t kAlnum[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Every string of these whose length is a multiple of four is the Base64 of as many random bytes.
const char16_t kBase64[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// One line of `size` characters drawn from `alphabet`.
QString Payload(qsizetype size, std::u16string_view alphabet, unsigned seed) {
  std::mt19937 rng(seed);
  QString text(size, Qt::Uninitialized);
  for (QChar& c : text) c = QChar(alphabet[rng() % alphabet.size()]);
  return text;
}

QString SizeName(qsizetype size) {
  return size >= kMiB ? QStringLiteral("%1 MiB").arg(size / kMiB)
                      : QStringLiteral("%1 KiB").arg(size / kKiB);
}

[[noreturn]] void Fail(const char* what, const char* name) {
  std::fprintf(stderr, "%s: %s\n", name, what);
  std::exit(1);
}

QWidget* Box(const QWidget& window, const char* name) {
  auto* box = window.findChild<QWidget*>(QString::fromLatin1(name));
  if (!box) Fail("no such control", name);
  return box;
}

QMetaProperty TextProperty(const QWidget* box) {
  const QMetaProperty property = box->metaObject()->userProperty();
  if (!property.isValid()) Fail("has no USER property", qPrintable(box->objectName()));
  return property;
}

// A multi-line box names its text plainText, a single-line one text.
bool MultiLine(const QWidget* box) {
  return std::strcmp(TextProperty(box).name(), "plainText") == 0;
}

QString Text(const QWidget* box) { return TextProperty(box).read(box).toString(); }

void SetText(QWidget* box, const QString& text) {
  if (!TextProperty(box).write(box, text)) Fail("refused its text", qPrintable(box->objectName()));
}

// Whether a box shows `expected`, a text as the handlers write it (line breaks CR LF). Qt's own
// multi-line box reads back through toPlainText, which turns every line break into LF and a
// no-break space into a space; any other box must read back exactly what it was given.
bool Shows(const QWidget* box, const std::u16string& expected) {
  const QString shown = Text(box);
  if (!box->inherits("QPlainTextEdit")) return shown == QStringView(expected);
  std::u16string folded;
  folded.reserve(expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    char16_t c = expected[i];
    if (c == u'\r') {
      if (i + 1 < expected.size() && expected[i + 1] == u'\n') ++i;
      c = u'\n';
    } else if (c == u'\u2028' || c == u'\u2029') {
      c = u'\n';
    } else if (c == u'\u00A0') {
      c = u' ';
    }
    folded += c;
  }
  return shown == QStringView(folded);
}

void Check(const QWidget* box, const std::u16string& expected) {
  if (!Shows(box, expected)) Fail("does not show the expected text", qPrintable(box->objectName()));
}

void Paint(QWidget& window) {
  window.repaint();
  QApplication::processEvents();
}

// From the user's action until the window has painted its outcome.
template <typename Action>
double Seconds(QWidget& window, Action action) {
  const auto start = Clock::now();
  action();
  Paint(window);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Focus(QWidget& window, QWidget* box) {
  QApplication::setActiveWindow(&window);
  box->setFocus();
  Paint(window);
}

void PasteInto(QWidget* box) { QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier); }

// The window with the tab of one input box in front and the caret in that box.
struct Ours {
  Ours(const char* input, const char* output)
      : in(Box(form, input)), out(output ? Box(form, output) : nullptr) {
    form.show();
    auto* tabs = form.findChild<calvexa::TabControl*>(QStringLiteral("SSTab1"));
    for (int i = 0; tabs && i < tabs->Tabs()->count(); ++i) {
      if (tabs->Page(i)->isAncestorOf(in)) tabs->Tabs()->setCurrentIndex(i);
    }
    Focus(form, in);
  }

  Form1 form;
  QWidget* in;
  QWidget* out;
};

// Bare Qt boxes with the size, place and font of the window's boxes of these names:
// QPlainTextEdit for a multi-line box, wrapping as the window's boxes wrap, and QLineEdit for a
// single-line one; with a button name, also a bare button where the window has that one.
struct Floor {
  Floor(const char* input, const char* output, const char* button = nullptr) {
    const Form1 model;
    window.setFont(model.font());
    window.resize(model.size());
    in = Mirror(Box(model, input));
    if (output) out = qobject_cast<QPlainTextEdit*>(Mirror(Box(model, output)));
    if (button) {
      this->button = new QPushButton(&window);
      Place(this->button, Box(model, button));
    }
    window.show();
    Focus(window, in);
  }

  void Place(QWidget* bare, const QWidget* box) {
    bare->setFont(box->font());
    bare->setGeometry(QRect(box->mapTo(box->window(), QPoint()), box->size()));
  }

  QWidget* Mirror(const QWidget* box) {
    QWidget* bare;
    if (MultiLine(box)) {
      auto* edit = new QPlainTextEdit(&window);
      edit->setWordWrapMode(QTextOption::WrapAnywhere);
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      bare = edit;
    } else {
      auto* line = new QLineEdit(&window);
      line->setMaxLength(INT_MAX);
      bare = line;
    }
    Place(bare, box);
    return bare;
  }

  QWidget window;
  QWidget* in = nullptr;
  QPlainTextEdit* out = nullptr;
  QPushButton* button = nullptr;
};

struct Figure {
  double ours = 1e9, floor = 1e9;
  void Add(double o, double f) {
    ours = std::min(ours, o);
    floor = std::min(floor, f);
  }
};

void Print(const QString& what, Figure f, double scale = 1e3) {
  std::printf("%-44s %10.2f %10.2f %8.2f\n", qPrintable(what), f.ours * scale, f.floor * scale,
              f.floor / f.ours);
  std::fflush(stdout);
}

const calvexa::Base64& Codec() {
  static const calvexa::Base64 codec;
  return codec;
}

std::u16string Md5Of(const QString& text) {
  return calvexa::HashText(calvexa::kHashMd5, calvexa::TextToAnsi(text.toStdU16String()));
}

// A one-line text pasted into each empty input box; for the hash input, also one MD5 click.
void PasteSection(int runs, qsizetype size, bool click) {
  struct Case {
    const char* what;
    const char* input;
    const char* output;  // null: the paste alone
    QString text;
    std::u16string expected;
  };
  const QString plain = Payload(size, kAlnum, 1);
  const QString base64 = Payload(size, kBase64, 2);
  const Case cases[] = {
      {", encode", "txtB64eIN", "txtB64eOUT", plain, Codec().Encode64(plain.toStdU16String())},
      {", decode", "txtB64dIN", "txtB64dOUT", base64, Codec().Decode64(base64.toStdU16String())},
      {"", "txtHashIn", nullptr, plain, plain.toStdU16String()},
  };
  for (const Case& c : cases) {
    const QString expected = QString::fromStdU16String(c.expected);
    QGuiApplication::clipboard()->setText(c.text);
    const bool clicks = click && !c.output;
    const char* output = c.output ? c.output : "txtHashOut";
    Figure paste, md5;
    for (int r = 0; r < runs; ++r) {
      // One window at a time, so each is the active window, as the one a user types into is.
      double floorPaste, floorClick = 0;
      {
        Floor floor(c.input, output, clicks ? "Command3" : nullptr);
        floorPaste = Seconds(floor.window, [&] {
          PasteInto(floor.in);
          if (c.output) floor.out->setPlainText(expected);
        });
        if (clicks) {
          // The bare button hashes the bare box's text as the handler hashes its own.
          QObject::connect(floor.button, &QPushButton::clicked, [&] {
            floor.out->setPlainText(
                QString::fromStdU16String(Md5Of(qobject_cast<QLineEdit*>(floor.in)->text())));
          });
          floorClick =
              Seconds(floor.window, [&] { QTest::mouseClick(floor.button, Qt::LeftButton); });
        }
      }
      Ours ours(c.input, output);
      const double oursPaste = Seconds(ours.form, [&] { PasteInto(ours.in); });
      Check(c.output ? ours.out : ours.in, c.expected);
      paste.Add(oursPaste, floorPaste);
      if (!clicks) continue;
      const double oursClick = Seconds(
          ours.form, [&] { QTest::mouseClick(Box(ours.form, "Command3"), Qt::LeftButton); });
      Check(ours.out, Md5Of(c.text));
      md5.Add(oursClick, floorClick);
    }
    Print(QStringLiteral("paste %1 into %2%3").arg(SizeName(size), c.input, c.what), paste);
    if (clicks) {
      Print(QStringLiteral("MD5 click on %1 (Command3)").arg(SizeName(size)), md5);
    }
  }
}

// One keystroke at the end of a large text; each run types one more character.
void KeySection(int runs, qsizetype size) {
  struct Case {
    const char* what;
    const char* input;
    const char* output;
  };
  const Case cases[] = {{" (no handler)", "txtHashIn", nullptr},
                        {", encode", "txtB64eIN", "txtB64eOUT"}};
  const QString text = Payload(size, kAlnum, 3);
  for (const Case& c : cases) {
    Ours ours(c.input, c.output);
    Floor floor(c.input, c.output);
    SetText(ours.in, text);
    SetText(floor.in, text);
    if (c.output) {
      floor.out->setPlainText(QString::fromStdU16String(Codec().Encode64(text.toStdU16String())));
    }
    for (QWidget* box : {ours.in, floor.in}) {
      QWidget& window = *box->window();
      Focus(window, box);
      QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
      Paint(window);
    }
    Figure key;
    QString typed = text;
    for (int r = 0; r < runs; ++r) {
      typed += u'x';
      const std::u16string expected =
          c.output ? Codec().Encode64(typed.toStdU16String()) : typed.toStdU16String();
      const QString floorOut = QString::fromStdU16String(expected);
      // Both windows hold their large texts throughout; the one typed into is made active first.
      Focus(floor.window, floor.in);
      const double floorKey = Seconds(floor.window, [&] {
        QTest::keyClick(floor.in, 'x');
        if (c.output) floor.out->setPlainText(floorOut);
      });
      Focus(ours.form, ours.in);
      const double oursKey = Seconds(ours.form, [&] { QTest::keyClick(ours.in, 'x'); });
      Check(c.output ? ours.out : ours.in, expected);
      if (Text(floor.in).size() != typed.size()) Fail("missed the keystroke", "floor");
      key.Add(oursKey, floorKey);
    }
    Print(QStringLiteral("key at end of %1 in %2%3").arg(SizeName(size), c.input, c.what), key);
  }
}

// Typing into the empty encoding box, one key at a time, each painted before the next.
void TypingSection(int runs) {
  const QString keys = Payload(kTypedKeys, kAlnum, 4);
  std::vector<QString> outputs;
  for (qsizetype i = 1; i <= keys.size(); ++i) {
    outputs.push_back(QString::fromStdU16String(Codec().Encode64(keys.left(i).toStdU16String())));
  }
  Figure perKey;
  for (int r = 0; r < runs; ++r) {
    double floorSum = 0, oursSum = 0;
    {
      Floor floor("txtB64eIN", "txtB64eOUT");
      for (qsizetype i = 0; i < keys.size(); ++i) {
        floorSum += Seconds(floor.window, [&] {
          QTest::keyClick(floor.in, static_cast<char>(keys[i].unicode()));
          floor.out->setPlainText(outputs[static_cast<std::size_t>(i)]);
        });
      }
    }
    Ours ours("txtB64eIN", "txtB64eOUT");
    for (QChar key : keys) {
      oursSum +=
          Seconds(ours.form, [&] { QTest::keyClick(ours.in, static_cast<char>(key.unicode())); });
    }
    Check(ours.out, outputs.back().toStdU16String());
    perKey.Add(oursSum / kTypedKeys, floorSum / kTypedKeys);
  }
  Print(QStringLiteral("type %1 keys into txtB64eIN, per key").arg(kTypedKeys), perKey);
}

// A screen reader's questions about the text around an offset in the middle of a large paragraph
// of words and sentences in the encoding input: ms per question, as the accessibility bridge
// answers them.
void ReaderSection(int runs, qsizetype size) {
  const QString text = Payload(size, u"abcdefghijklmnopqrstuvwxyz    .", 6);
  Ours ours("txtB64eIN", nullptr);
  Floor floor("txtB64eIN", nullptr);
  SetText(ours.in, text);
  SetText(floor.in, text);
  Paint(ours.form);
  Paint(floor.window);
  QAccessibleTextInterface* oursText = QAccessible::queryAccessibleInterface(ours.in)->textInterface();
  QAccessibleTextInterface* floorText = QAccessible::queryAccessibleInterface(floor.in)->textInterface();
  if (!oursText || !floorText) Fail("has no text interface", "txtB64eIN");
  constexpr int kQuestions = 20;
  const struct {
    const char* name;
    QAccessible::TextBoundaryType type;
  } kinds[] = {{"character", QAccessible::CharBoundary}, {"word", QAccessible::WordBoundary},
               {"sentence", QAccessible::SentenceBoundary}, {"line", QAccessible::LineBoundary}};
  for (const auto& kind : kinds) {
    Figure ask;
    for (int r = 0; r < runs; ++r) {
      const auto time = [&](QAccessibleTextInterface* face) {
        const auto start = Clock::now();
        for (int q = 0; q < kQuestions; ++q) {
          int from = 0, to = 0;
          face->textAtOffset(static_cast<int>(size / 2) + q, kind.type, &from, &to);
        }
        return std::chrono::duration<double>(Clock::now() - start).count() / kQuestions;
      };
      ask.Add(time(oursText), time(floorText));
    }
    Print(QStringLiteral("screen reader: %1, %2 line").arg(kind.name, SizeName(size)), ask);
  }
}

// A double-click on the first row of a large one-line text in the decoding input, which selects
// the word there: letters and digits, one word all through, and Base64, whose "+" and "/" end
// its words.
void WordSection(int runs, qsizetype size) {
  const struct {
    const char* name;
    QString text;
  } cases[] = {{"one word", Payload(size, kAlnum, 7)}, {"Base64", Payload(size, kBase64, 8)}};
  const auto doubleClick = [](QWidget* box) {
    QWidget* viewport = static_cast<QAbstractScrollArea*>(box)->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(40, 8));
  };
  for (const auto& c : cases) {
    Figure click;
    for (int r = 0; r < runs; ++r) {
      double floorClick;
      {
        Floor floor("txtB64dIN", nullptr);
        SetText(floor.in, c.text);
        Paint(floor.window);
        floorClick = Seconds(floor.window, [&] { doubleClick(floor.in); });
      }
      Ours ours("txtB64dIN", nullptr);
      SetText(ours.in, c.text);
      Paint(ours.form);
      click.Add(Seconds(ours.form, [&] { doubleClick(ours.in); }), floorClick);
    }
    Print(QStringLiteral("double-click, %1 line of %2").arg(SizeName(size), c.name), click);
  }
}

// Lines of mixed scripts: kerned Latin, emoji joined into families and flags, Arabic, Chinese,
// combining accents and tabs, CR LF between lines of about a hundred characters.
QString MixedText(qsizetype size, unsigned seed) {
  static const char16_t* const kPieces[] = {
      u"AWAY To View WAVE data", u"Typography, kerned: AV Ta Yo LT", u"\U0001F468\u200D\U0001F469\u200D\U0001F467",
      u"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",
      u"\u4F60\u597D\u4E16\u754C\uFF0C\u6587\u5B57", u"e\u0301te\u0301", u"a\tbb\tccc", u"\u0939\u093F\u0928\u094D\u0926\u0940"};
  std::mt19937 rng(seed);
  QString text;
  text.reserve(size + 256);
  qsizetype lineStart = 0;
  while (text.size() < size) {
    text += QStringView(kPieces[rng() % std::size(kPieces)]);
    if (text.size() - lineStart >= 100) {
      text += u"\r\n";
      lineStart = text.size();
    } else {
      text += u' ';
    }
  }
  text.truncate(size);
  if (text.endsWith(u'\r')) text.chop(1);
  return text;
}

// 8 MiB of mixed scripts pasted into the encoding input, a key at its end and at its start, and
// a click in view after the scroll bar was dragged anywhere into it. The encoding's own time is
// given beside them: what the box adds is the rest.
void MixedSection(int runs, qsizetype size) {
  const QString text = MixedText(size, 9);
  QGuiApplication::clipboard()->setText(text);
  Figure codec, paste, end, start, scroll, click;
  std::mt19937 rng(10);
  const std::u16string plain = text.toStdU16String();
  for (int r = 0; r < runs; ++r) {
    const auto codecStart = Clock::now();
    const std::u16string encoded = Codec().Encode64(plain);
    codec.Add(std::chrono::duration<double>(Clock::now() - codecStart).count(), 0);
    const double fraction = std::uniform_real_distribution<double>(0.05, 0.95)(rng);
    double floorTimes[5];
    {
      Floor floor("txtB64eIN", "txtB64eOUT");
      const QString output = QString::fromStdU16String(encoded);
      floorTimes[0] = Seconds(floor.window, [&] {
        PasteInto(floor.in);
        floor.out->setPlainText(output);
      });
      floorTimes[1] = Seconds(floor.window, [&] { QTest::keyClick(floor.in, 'x'); });
      QTest::keyClick(floor.in, Qt::Key_Home, Qt::ControlModifier);
      Paint(floor.window);
      floorTimes[2] = Seconds(floor.window, [&] { QTest::keyClick(floor.in, 'x'); });
      auto* area = static_cast<QAbstractScrollArea*>(floor.in);
      QScrollBar* bar = area->verticalScrollBar();
      floorTimes[3] = Seconds(floor.window, [&] { bar->setValue(static_cast<int>(bar->maximum() * fraction)); });
      floorTimes[4] = Seconds(floor.window, [&] {
        QTest::mouseClick(area->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
      });
    }
    Ours ours("txtB64eIN", "txtB64eOUT");
    paste.Add(Seconds(ours.form, [&] { PasteInto(ours.in); }), floorTimes[0]);
    Check(ours.out, encoded);
    end.Add(Seconds(ours.form, [&] { QTest::keyClick(ours.in, 'x'); }), floorTimes[1]);
    QTest::keyClick(ours.in, Qt::Key_Home, Qt::ControlModifier);
    Paint(ours.form);
    start.Add(Seconds(ours.form, [&] { QTest::keyClick(ours.in, 'x'); }), floorTimes[2]);
    auto* area = static_cast<QAbstractScrollArea*>(ours.in);
    QScrollBar* bar = area->verticalScrollBar();
    scroll.Add(Seconds(ours.form, [&] { bar->setValue(static_cast<int>(bar->maximum() * fraction)); }),
               floorTimes[3]);
    click.Add(Seconds(ours.form, [&] {
                QTest::mouseClick(area->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 30));
              }),
              floorTimes[4]);
  }
  const QString name = SizeName(size) + QStringLiteral(" of mixed scripts");
  std::printf("%-44s %10.2f\n", qPrintable(QStringLiteral("Encode64 of all %1 alone").arg(name)), codec.ours * 1e3);
  Print(QStringLiteral("paste %1 into txtB64eIN").arg(name), paste);
  Print(QStringLiteral("key at its end"), end);
  Print(QStringLiteral("key at its start"), start);
  Print(QStringLiteral("scroll bar dragged anywhere into it"), scroll);
  Print(QStringLiteral("click in view there"), click);
}

// A field of /proc/self/status in MB.
double StatusMB(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  const std::size_t length = std::strlen(field);
  char line[256];
  double kB = -1;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      kB = std::atof(line + length + 1);
      break;
    }
  }
  std::fclose(status);
  return kB * 1024 / 1e6;
}

// Starts the peak resident size (VmHWM) over from the present one; false where not permitted.
bool ResetPeak() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (!refs) return false;
  const bool written = std::fputs("5", refs) >= 0;
  return std::fclose(refs) == 0 && written;
}

struct Memory {
  double idle = 0, ready = 0, peak = 0, emptied = 0;
  bool peakReset = false;
};

// An 8 MiB Base64 line pasted into the empty decoding box, then both boxes emptied by selecting
// all of the input and deleting it. The floor pastes into a bare box and shows the decoded text
// in another, decoding within the paste as the handler does, and clears it on the deletion.
Memory MeasureMemory(bool bare) {
  Memory m;
  std::unique_ptr<Ours> ours;
  std::unique_ptr<Floor> floor;
  if (bare) {
    floor = std::make_unique<Floor>("txtB64dIN", "txtB64dOUT");
  } else {
    ours = std::make_unique<Ours>("txtB64dIN", "txtB64dOUT");
  }
  QWidget& window = bare ? floor->window : ours->form;
  QWidget* in = bare ? floor->in : ours->in;
  QWidget* out = bare ? floor->out : ours->out;
  m.idle = StatusMB("VmRSS");

  QString text = Payload(8 * kMiB, kBase64, 5);
  QGuiApplication::clipboard()->setText(text);
  m.ready = StatusMB("VmRSS");

  m.peakReset = ResetPeak();
  Seconds(window, [&] {
    PasteInto(in);
    if (bare) {
      floor->out->setPlainText(QString::fromStdU16String(Codec().Decode64(text.toStdU16String())));
    }
  });
  m.peak = StatusMB("VmHWM");
  if (!bare) Check(out, Codec().Decode64(text.toStdU16String()));

  // What is left is the window's own: the pasting program never holds the clipboard's text.
  QGuiApplication::clipboard()->clear();
  text.clear();
  QTest::keyClick(in, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(in, Qt::Key_Delete);
  if (bare) floor->out->clear();
  Paint(window);
  if (!Text(in).isEmpty() || !Text(out).isEmpty()) {
    Fail("kept text after select all and Delete", qPrintable(in->objectName()));
  }
  m.emptied = StatusMB("VmRSS");
  return m;
}

void MemorySection() {
  const Memory ours = MeasureMemory(false);
  QProcess floorRun;
  floorRun.start(QCoreApplication::applicationFilePath(), {QStringLiteral("memory-floor")});
  Memory floor;
  int reset = 0;
  if (!floorRun.waitForFinished(-1) ||
      std::sscanf(floorRun.readAllStandardOutput().constData(), "%lf %lf %lf %lf %d", &floor.idle,
                  &floor.ready, &floor.peak, &floor.emptied, &reset) != 5) {
    Fail("did not report", "memory floor");
  }
  floor.peakReset = reset != 0;

  std::printf(
      "\nresident memory in MB (VmRSS; peak VmHWM%s), 8 MiB Base64 line pasted into "
      "txtB64dIN; ours and floor each in a fresh process\n",
      ours.peakReset && floor.peakReset ? ", reset before the paste"
                                        : " since start: /proc/self/clear_refs refused");
  std::printf("%-44s %10s %10s %10s %10s %8s\n", "", "ours", "+idle", "floor", "+idle", "x less");
  const auto row = [&](const char* what, double o, double f) {
    std::printf("%-44s %10.1f %10.1f %10.1f %10.1f %8.2f\n", what, o, o - ours.idle, f,
                f - floor.idle, (f - floor.idle) / (o - ours.idle));
  };
  std::printf("%-44s %10.1f %10s %10.1f %10s %8s\n", "idle, window shown and painted", ours.idle,
              "", floor.idle, "", "");
  row("ready, the text on the clipboard", ours.ready, floor.ready);
  row("peak during the paste until painted", ours.peak, floor.peak);
  row("after select all + Delete in the input", ours.emptied, floor.emptied);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  calvexa::KeepFreedMemoryForReuse();  // as the program itself runs
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();

  int runs = 3;
  std::string section;
  for (int i = 1; i < argc; ++i) {
    if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) {
      runs = std::max(1, std::atoi(argv[i]));
    } else {
      section = argv[i];
    }
  }
  const bool all = section.empty();
  if (!all && section != "paste" && section != "key" && section != "small" && section != "reader" &&
      section != "word" && section != "mixed" && section != "memory" && section != "memory-floor") {
    std::fprintf(stderr, "usage: %s [runs] [paste|key|small|reader|word|mixed|memory]\n", argv[0]);
    return 2;
  }
  if (section == "memory-floor") {
    const Memory m = MeasureMemory(true);
    std::printf("%f %f %f %f %d\n", m.idle, m.ready, m.peak, m.emptied, m.peakReset ? 1 : 0);
    return 0;
  }
  if (section == "memory") {
    MemorySection();
    return 0;
  }

  {
    const Ours probe("txtB64eIN", nullptr);
    const QWidget* line = Box(probe.form, "txtHashIn");
    std::printf("boxes: multi-line %s (%s), single-line %s (%s)\n",
                probe.in->metaObject()->className(), TextProperty(probe.in).name(),
                line->metaObject()->className(), TextProperty(line).name());
  }
  std::printf(
      "best of %d runs; ms from the user's action until the window has painted; floor: "
      "bare Qt boxes of the same size and font showing the same texts\n",
      runs);
  std::printf("%-44s %10s %10s %8s\n", "", "ours ms", "floor ms", "x faster");
  if (all || section == "paste") {
    PasteSection(runs, 1 * kMiB, false);
    PasteSection(runs, 8 * kMiB, true);
  }
  if (all || section == "key") KeySection(runs, 8 * kMiB);
  if (all || section == "small") {
    TypingSection(runs);
    PasteSection(runs, 64 * kKiB, false);
  }
  if (all || section == "reader") ReaderSection(runs, 8 * kMiB);
  if (all || section == "word") WordSection(runs, 8 * kMiB);
  if (all || section == "mixed") MixedSection(runs, 8 * kMiB);
  if (all) {
    QProcess memory;
    memory.setProcessChannelMode(QProcess::ForwardedChannels);
    memory.start(QCoreApplication::applicationFilePath(), {QStringLiteral("memory")});
    if (!memory.waitForFinished(-1) || memory.exitCode() != 0) return 1;
  }
  return 0;
}
