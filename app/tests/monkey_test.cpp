// The monkey: seeded random use of the real window. It types and pastes random texts into every
// box, clicks every button, answers "Clear All" at random and switches tabs. After every action
// it checks that only the boxes that action may write have changed (so no handler ever changes an
// input box, and only Yes on "Clear All" empties the calculator), and that no single event, a
// keystroke, a paste or a click with the repaint after it, takes longer than a generous bound.
// The slowest handler per input size is printed as a figure; it is not checked.
//
// Everything follows from the seed, so a failure replays exactly:
//   CALVEXA_MONKEY_SEED=<seed> CALVEXA_MONKEY_ACTIONS=<count> CALVEXA_MONKEY_LOG=1 monkey_test
// (CALVEXA_MONKEY_LOG=1 prints every action as it starts).

#include <QClipboard>
#include "textbox.h"
#include <QMessageBox>
#include <QPushButton>
#include <QStyleHints>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base64.h"
#include "boxtext.h"
#include "codepage.h"
#include "guitest.h"

namespace calvexa {
namespace {

using Clock = std::chrono::steady_clock;

// This seed's short run pastes a mebibyte into boxes of the Base64, Hash and ASCII tabs, which
// each lay out or convert it in their own way.
constexpr std::uint64_t kDefaultSeed = 6;
constexpr long kDefaultActions = 2000;
// One event longer than this counts as a hang. Generous, so that it holds under the sanitizers
// and on a busy machine; the slowest events seen, a mebibyte in a one-line box or through
// "Char(s) > Hex", take well under half of it in either build.
constexpr double kHangSeconds = 5.0;
// An event still running after this never ends: the watchdog reports it and aborts the run,
// since nothing else can stop a handler that loops in the only thread.
constexpr double kAbortSeconds = 60.0;
constexpr qsizetype kKiB = 1024;
constexpr qsizetype kMiB = 1024 * kKiB;
// About one paste in this many is a whole mebibyte. Each costs seconds (laying out the text,
// converting it, every keystroke after it), so they stay rare enough for a short run.
constexpr std::uint64_t kBigPasteOneIn = 150;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 10) : fallback;
}

// std::mt19937_64's sequence is fixed by the standard, and the helpers below use nothing
// implementation-defined, so a seed gives the same run everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : engine(seed) {}
  std::uint64_t Below(std::uint64_t n) { return engine() % n; }
  bool OneIn(std::uint64_t n) { return Below(n) == 0; }
  qsizetype Between(qsizetype low, qsizetype high) {
    return low + static_cast<qsizetype>(Below(static_cast<std::uint64_t>(high - low + 1)));
  }
  template <typename T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  std::mt19937_64 engine;
};

QString Char32(char32_t code) { return QString::fromUcs4(&code, 1); }

// Numbers as the calculator and the ASCII tab read them, with their edges.
QString NumberPiece(Rng& rng) {
  static const char* const kEdges[] = {
      "0", "-0", "1", "-1", "15", "31", "32", "63", "255", "256", "1023", "1024",
      "32767", "32768", "-32768", "65535", "2147483647", "2147483648", "-2147483648",
      "-2147483649", "4294967295", "4294967296", "99999999999999999999", "&H", "&HFF", "&HFFFF",
      "&H10000", "&H7FFFFFFF", "&HFFFFFFFF", "&H100000000", "&hffff", "1e308", "1e309", "-1e-320",
      "1E+15", "0.5", "1.5", "2.5", "-2.5", "1,000", "1.234,5", "1 2", " 7 ", "12abc", "abc",
      "48,69", "72,105,33", "0,128,255,256,-1", "FF,80,0", ".", "-", "+", "e", "E5"};
  switch (rng.Below(4)) {
    case 0:
      return QString::number(static_cast<qint64>(rng.Below(1ULL << 33)) - (1LL << 32));
    case 1:
      return QStringLiteral("&H") + QString::number(rng.Below(1ULL << 36), 16).toUpper();
    default:
      return QString::fromLatin1(rng.Pick(kEdges));
  }
}

// One character or a short run of them, drawn from the classes that have tripped text handling
// before: the character 0, the code page's 0x80-0x9F block, C1 controls, characters the code
// page lacks, astral characters (surrogate pairs), lone surrogates and every kind of line break.
QString Piece(Rng& rng, bool numeric) {
  if (rng.Below(numeric ? 2 : 10) == 0) return NumberPiece(rng);
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kOutsideCodePage[] = {
      {0x0100, 0x024F}, {0x0370, 0x04FF}, {0x0590, 0x06FF}, {0x0900, 0x0DFF},
      {0x2000, 0x200F}, {0x2030, 0x20CF}, {0x3000, 0x30FF}, {0x4E00, 0x9FFF},
      {0xAC00, 0xD7A3}, {0xE000, 0xF8FF}, {0xFB00, 0xFFFF}};
  static const char16_t* const kBreaks[] = {u"\r\n", u"\n", u"\r", u"\u2028", u"\u2029", u"\t"};
  static const char* const kBase64Bits[] = {"=", "==", "+", "/", " ", "-", "_", "QQ==", "&H"};
  const std::uint64_t kind = rng.Below(40);
  if (kind < 14) return QChar(static_cast<char16_t>(0x20 + rng.Below(0x5F)));
  if (kind < 16) return QChar(u'\0');
  if (kind < 20) return QChar(AnsiToChar(static_cast<std::uint8_t>(0x80 + rng.Below(0x20))));
  if (kind < 22) return QChar(static_cast<char16_t>(0x80 + rng.Below(0x20)));
  if (kind < 25) return QChar(static_cast<char16_t>(0xA0 + rng.Below(0x60)));
  if (kind < 31) {
    const Range& range = rng.Pick(kOutsideCodePage);
    return Char32(range.first + static_cast<char32_t>(rng.Below(range.last - range.first + 1)));
  }
  if (kind < 34) {
    return Char32(rng.OneIn(3) ? 0x1F600 + static_cast<char32_t>(rng.Below(0x50))
                               : 0x10000 + static_cast<char32_t>(rng.Below(0x100000)));
  }
  if (kind < 37) return QString::fromUtf16(rng.Pick(kBreaks));
  if (kind < 38) {
    return QChar(static_cast<char16_t>((rng.OneIn(2) ? 0xD800 : 0xDC00) + rng.Below(0x400)));
  }
  return QString::fromLatin1(rng.Pick(kBase64Bits));
}

// A text of exactly `size` 16-bit characters in one of a few shapes: a mix of everything,
// Base64 in 76-column lines (so the decoder gets long valid input), a list of numbers, or plain
// ASCII.
QString RandomText(Rng& rng, qsizetype size, bool numeric) {
  static const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  QString text;
  text.reserve(size + 16);
  switch (rng.Below(numeric ? 2 : 4)) {
    case 0:
      while (text.size() < size) text += Piece(rng, numeric);
      break;
    case 1:
      while (text.size() < size) {
        text += NumberPiece(rng);
        text += rng.OneIn(4) ? QChar(u' ') : QChar(u',');
      }
      break;
    case 2:
      while (text.size() < size) {
        if (text.size() % 78 == 76) {
          text += QStringLiteral("\r\n");
        } else {
          text += QLatin1Char(kBase64[rng.Below(64)]);
        }
      }
      if (rng.OneIn(2) && size > 2) text.replace(size - 2, 2, QStringLiteral("=="));
      break;
    default:
      while (text.size() < size) text += QChar(static_cast<char16_t>(0x20 + rng.Below(0x5F)));
      break;
  }
  text.truncate(size);
  return text;
}

enum class Role { kText, kNumbers, kOutput };  // what a box is for: the first two are inputs

struct BoxInfo {
  const char* name;
  int tab;  // the calculator's boxes, on tab 3, are the ones "Clear All" empties
  Role role;
  const char* echo;  // the box its change handler writes, if it has one
};

constexpr BoxInfo kBoxes[] = {
    {"txtB64eIN", 0, Role::kText, "txtB64eOUT"},  {"txtB64eOUT", 0, Role::kOutput, nullptr},
    {"txtB64dIN", 0, Role::kText, "txtB64dOUT"},  {"txtB64dOUT", 0, Role::kOutput, nullptr},
    {"txtHashIn", 1, Role::kText, nullptr},       {"txtHashOut", 1, Role::kOutput, nullptr},
    {"txtAHDIn", 2, Role::kNumbers, nullptr},     {"txtAHDOut", 2, Role::kOutput, nullptr},
    {"txtAnd1", 3, Role::kNumbers, nullptr},      {"txtAnd2", 3, Role::kNumbers, nullptr},
    {"txtAndRes", 3, Role::kOutput, nullptr},     {"txtAndResHex", 3, Role::kOutput, nullptr},
    {"txtOr1", 3, Role::kNumbers, nullptr},       {"txtOr2", 3, Role::kNumbers, nullptr},
    {"txtOrRes", 3, Role::kOutput, nullptr},      {"txtOrResHex", 3, Role::kOutput, nullptr},
    {"txtXor1", 3, Role::kNumbers, nullptr},      {"txtXor2", 3, Role::kNumbers, nullptr},
    {"txtXorRes", 3, Role::kOutput, nullptr},     {"txtXorResHex", 3, Role::kOutput, nullptr},
    {"txtSHL1", 3, Role::kNumbers, nullptr},      {"txtSHL2", 3, Role::kNumbers, nullptr},
    {"txtSHLRes", 3, Role::kOutput, nullptr},     {"txtSHLResHex", 3, Role::kOutput, nullptr},
    {"txtSHR1", 3, Role::kNumbers, nullptr},      {"txtSHR2", 3, Role::kNumbers, nullptr},
    {"txtSHRRes", 3, Role::kOutput, nullptr},     {"txtSHRResHex", 3, Role::kOutput, nullptr},
    {"txtNot", 3, Role::kNumbers, nullptr},       {"txtNotRes", 3, Role::kOutput, nullptr},
    {"txtNotResHex", 3, Role::kOutput, nullptr},
};
constexpr int kCalculatorTab = 3;

struct ButtonInfo {
  int number;  // CommandN
  int tab;
  std::vector<const char*> reads, writes;
};

// Every button but "Clear All", with the boxes its handler reads and writes.
std::vector<ButtonInfo> AllButtons() {
  std::vector<ButtonInfo> buttons;
  for (int number : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 19, 20, 21, 22}) {
    buttons.push_back({number, 1, {"txtHashIn"}, {"txtHashOut"}});
  }
  for (int number = 13; number <= 18; ++number) {
    buttons.push_back({number, 2, {"txtAHDIn"}, {"txtAHDOut"}});
  }
  buttons.insert(buttons.end(), {
      {23, 3, {"txtAnd1", "txtAnd2"}, {"txtAndRes", "txtAndResHex"}},
      {24, 3, {"txtOr1", "txtOr2"}, {"txtOrRes", "txtOrResHex"}},
      {25, 3, {"txtXor1", "txtXor2"}, {"txtXorRes", "txtXorResHex"}},
      {26, 3, {"txtSHL1", "txtSHL2"}, {"txtSHLRes", "txtSHLResHex"}},
      {27, 3, {"txtSHR1", "txtSHR2"}, {"txtSHRRes", "txtSHRResHex"}},
      {28, 3, {"txtNot"}, {"txtNotRes", "txtNotResHex"}},
  });
  return buttons;
}
constexpr int kClearAll = 29;

// Aborts the run, naming the event, when one event never returns.
class Watchdog {
 public:
  Watchdog() : thread([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    wake.notify_one();
    thread.join();
  }
  void Arm(std::string event) {
    std::lock_guard lock(mutex);
    what = std::move(event);
    started = Clock::now();
    armed = true;
  }
  void Disarm() {
    std::lock_guard lock(mutex);
    armed = false;
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex);
    while (!stop) {
      wake.wait_for(lock, std::chrono::milliseconds(250));
      if (armed && Seconds(Clock::now() - started) > kAbortSeconds) {
        std::fprintf(stderr, "monkey: HANG: %s has run for more than %.0f s\n", what.c_str(),
                     kAbortSeconds);
        std::fflush(stderr);
        std::abort();
      }
    }
  }

  std::mutex mutex;
  std::condition_variable wake;
  bool stop = false;
  bool armed = false;
  Clock::time_point started;
  std::string what;
  std::thread thread;
};

constexpr int kBuckets = 4;
constexpr const char* kBucketNames[kBuckets] = {"< 1 Ki", "< 64 Ki", "< 1 Mi", ">= 1 Mi"};
int Bucket(qsizetype size) {
  return size < kKiB ? 0 : size < 64 * kKiB ? 1 : size < kMiB ? 2 : 3;
}

// Figures print in the window's order: the Base64 boxes, the buttons by number, plain editing.
struct HandlerOrder {
  static int Rank(const std::string& name) {
    if (name.rfind("Command", 0) == 0) return std::atoi(name.c_str() + 7);
    return name.rfind("txt", 0) == 0 ? 0 : 100;
  }
  bool operator()(const std::string& a, const std::string& b) const {
    const int ra = Rank(a), rb = Rank(b);
    return ra != rb ? ra < rb : a < b;
  }
};

struct Slowest {
  long count = 0;
  double handler = 0;  // the event itself: the handler runs inside it
  double painted = 0;  // the same event with the repaint after it
};

class MonkeyTest : public WindowTest {
 protected:
  struct Box {
    const BoxInfo* info;
    SingleLineBox* line = nullptr;
    MultiLineBox* multi = nullptr;
    int changes = 0;  // textChanged signals so far

    QWidget* Widget() const { return line ? static_cast<QWidget*>(line) : multi; }
    QWidget* ClickTarget() const { return line ? line->viewport() : multi->viewport(); }
    QString Text() const { return line ? line->text() : multi->plainText(); }
    qsizetype Size() const { return static_cast<qsizetype>(line ? line->Text().size() : multi->Text().size()); }
  };

  void SetUp() override {
    WindowTest::SetUp();
    // As the program's own start-up does, so that the figures are the program's.
    KeepFreedMemoryForReuse();
    // A click soon after a double-click at the same spot selects the whole line or text, and
    // "soon" is measured in real time, so a slower build would take other branches and leave
    // other texts. Ending that window at once keeps a run the same in every build.
    doubleClickInterval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(0);
    for (const BoxInfo& info : kBoxes) {
      Box box{&info};
      box.line = form.Control<SingleLineBox>(info.name);
      box.multi = form.Control<MultiLineBox>(info.name);
      ASSERT_TRUE(box.line || box.multi) << info.name;
      boxes.push_back(box);
    }
    for (Box& box : boxes) {
      auto count = [&box] { ++box.changes; };
      if (box.line) QObject::connect(box.line, &SingleLineBox::textChanged, count);
      if (box.multi) QObject::connect(box.multi, &MultiLineBox::textChanged, count);
    }
    for (const ButtonInfo& info : buttons) ASSERT_NE(Button(info.number), nullptr);
    ASSERT_NE(Button(kClearAll), nullptr);
    // Pastes go through the clipboard; the offscreen platform keeps it within the process.
    QGuiApplication::clipboard()->setText(QStringLiteral("probe \u20AC"));
    ASSERT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("probe \u20AC"));
  }

  void TearDown() override {
    QGuiApplication::styleHints()->setMouseDoubleClickInterval(doubleClickInterval);
  }

  QPushButton* Button(int number) {
    const std::string name = "Command" + std::to_string(number);
    return form.Control<QPushButton>(name.c_str());
  }
  int IndexOf(const char* name) const {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (std::strcmp(boxes[i].info->name, name) == 0) return static_cast<int>(i);
    }
    return -1;
  }

  std::string Replay() const {
    return "seed " + std::to_string(seed) + ", action #" + std::to_string(action) +
           " (replay: CALVEXA_MONKEY_SEED=" + std::to_string(seed) +
           " CALVEXA_MONKEY_ACTIONS=" + std::to_string(action + 1) + " CALVEXA_MONKEY_LOG=1)";
  }

  // After an event: the handler it ran, for the figures, and the size of that handler's input;
  // an empty name if it ran none.
  using Ran = std::function<std::pair<std::string, qsizetype>()>;

  // Runs one user event and lets the window repaint, guarded by the watchdog and timed.
  template <typename Do>
  void Event(const std::string& what, Do&& doIt, const Ran& ran = {}) {
    watchdog.Arm(Replay() + ": " + what);
    const auto start = Clock::now();
    doIt();
    const auto done = Clock::now();
    QCoreApplication::processEvents();
    const auto painted = Clock::now();
    watchdog.Disarm();
    const double total = Seconds(painted - start);
    ++events;
    if (total > slowestEvent) {
      slowestEvent = total;
      slowestEventWhat = "action #" + std::to_string(action) + ": " + what;
    }
    EXPECT_LE(total, kHangSeconds) << Replay() << ": " << what << " took " << total << " s";
    if (!ran) return;
    const auto [name, size] = ran();
    if (name.empty()) return;
    Slowest& cell = figures[name][Bucket(size)];
    ++cell.count;
    cell.handler = std::max(cell.handler, Seconds(done - start));
    cell.painted = std::max(cell.painted, total);
  }

  void SwitchTab(int index) {
    QTabBar* bar = Tabs();
    Event("tab " + std::to_string(index), [&] {
      QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
    });
    EXPECT_EQ(bar->currentIndex(), index) << Replay() << ": the click on the tab missed";
  }
  void ShowTab(int index) {
    if (Tabs()->currentIndex() != index) SwitchTab(index);
  }

  // What an event in box ran: its change handler, or only Qt's own editing.
  Ran EditOf(Box& box) {
    const int before = box.changes;
    return [&box, before]() -> std::pair<std::string, qsizetype> {
      if (box.changes == before) return {};
      if (box.info->echo) return {std::string(box.info->name) + " change", box.Size()};
      return {box.line ? "(no handler, one-line box)" : "(no handler, multi-line box)", box.Size()};
    };
  }

  void ClickInto(Box& box) {
    QWidget* target = box.ClickTarget();
    const QPoint at(static_cast<int>(rng.Below(static_cast<std::uint64_t>(target->width()))),
                    static_cast<int>(rng.Below(static_cast<std::uint64_t>(target->height()))));
    const bool twice = rng.OneIn(8);
    Event(std::string(twice ? "double-click" : "click") + " into " + box.info->name, [&] {
      if (twice) {
        QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, at);
      } else {
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
      }
    });
  }

  void Key(Box& box, Qt::Key key, Qt::KeyboardModifiers modifiers, const char* name) {
    Event(std::string("key ") + name + " in " + box.info->name,
          [&] { QTest::keyClick(box.Widget(), key, modifiers); }, EditOf(box));
  }

  // A key event that carries its text, as a keyboard or an input method sends it; QTest::keyClicks
  // would squeeze each character to Latin-1.
  void TypeText(Box& box, const QString& text) {
    Event("type U+" + QString::number(text.at(0).unicode(), 16).toUpper().toStdString() +
              (text.size() > 1 ? "+" : "") + " into " + box.info->name,
          [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(box.Widget(), &press);
            QApplication::sendEvent(box.Widget(), &release);
          },
          EditOf(box));
  }

  void Type(Box& box) {
    ClickInto(box);
    qsizetype keys = rng.Between(1, 8);
    // In a long text every keystroke costs time in proportion (a one-line box lays out its whole
    // text again): now and then one keystroke goes in there, otherwise the typing replaces it,
    // or the run would spend itself there.
    bool oneKeystroke = false;
    if (box.Size() > 16 * kKiB) {
      if (rng.OneIn(4)) {
        keys = 1;
        oneKeystroke = true;
      } else {
        Key(box, Qt::Key_A, Qt::ControlModifier, "Ctrl+A");
      }
    }
    for (qsizetype k = 0; k < keys; ++k) {
      if (rng.OneIn(4)) {
        struct Editing {
          Qt::Key key;
          Qt::KeyboardModifiers modifiers;
          const char* name;
        };
        static const Editing kKeys[] = {
            {Qt::Key_Backspace, Qt::NoModifier, "Backspace"},
            {Qt::Key_Delete, Qt::NoModifier, "Delete"},
            {Qt::Key_Return, Qt::NoModifier, "Return"},
            {Qt::Key_Return, Qt::ShiftModifier, "Shift+Return"},
            {Qt::Key_Left, Qt::NoModifier, "Left"},
            {Qt::Key_Right, Qt::NoModifier, "Right"},
            {Qt::Key_Home, Qt::NoModifier, "Home"},
            {Qt::Key_End, Qt::NoModifier, "End"},
            {Qt::Key_Left, Qt::ShiftModifier, "Shift+Left"},
            {Qt::Key_Home, Qt::ShiftModifier, "Shift+Home"},
            {Qt::Key_A, Qt::ControlModifier, "Ctrl+A"},
            {Qt::Key_Z, Qt::ControlModifier, "Ctrl+Z"},
            {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "Ctrl+Shift+Z"},
            {Qt::Key_X, Qt::ControlModifier, "Ctrl+X"},
            {Qt::Key_Backspace, Qt::ControlModifier, "Ctrl+Backspace"},
            {Qt::Key_Tab, Qt::NoModifier, "Tab"},
        };
        const Editing& edit = rng.Pick(kKeys);
        Key(box, edit.key, edit.modifiers, edit.name);
        continue;
      }
      QString piece = Piece(rng, box.info->role == Role::kNumbers);
      if (oneKeystroke) piece.truncate(piece.at(0).isHighSurrogate() ? 2 : 1);
      for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece.at(i).unicode();
        if (c == u'\r' || c == u'\n') {
          if (c == u'\r' && i + 1 < piece.size() && piece.at(i + 1) == u'\n') ++i;
          Key(box, Qt::Key_Return, Qt::NoModifier, "Return");
        } else if (c == u'\t') {
          Key(box, Qt::Key_Tab, Qt::NoModifier, "Tab");
        } else if (piece.at(i).isHighSurrogate() && i + 1 < piece.size() &&
                   piece.at(i + 1).isLowSurrogate()) {
          TypeText(box, piece.mid(i, 2));
          ++i;
        } else {
          TypeText(box, piece.mid(i, 1));
        }
      }
    }
  }

  void Paste(Box& box) {
    ClickInto(box);
    qsizetype size;
    if (rng.OneIn(kBigPasteOneIn)) {
      size = kMiB;
    } else {
      const std::uint64_t r = rng.Below(100);
      size = r < 70 ? rng.Between(1, 64) : r < 92 ? rng.Between(65, kKiB - 1)
                                                  : rng.Between(kKiB, 64 * kKiB - 1);
    }
    const QString text = RandomText(rng, size, box.info->role == Role::kNumbers);
    if (log) std::printf("  %lld characters\n", static_cast<long long>(size));
    // A whole mebibyte replaces what is there, so a box never grows far beyond one.
    if (size == kMiB || rng.OneIn(2)) Key(box, Qt::Key_A, Qt::ControlModifier, "Ctrl+A");
    QGuiApplication::clipboard()->setText(text);
    Event("paste " + std::to_string(size) + " characters into " + box.info->name,
          [&] { QTest::keyClick(box.Widget(), Qt::Key_V, Qt::ControlModifier); }, EditOf(box));
  }

  void Click(const ButtonInfo& info) {
    ShowTab(info.tab);
    QPushButton* button = Button(info.number);
    qsizetype size = 0;
    for (const char* name : info.reads) {
      size += boxes[static_cast<std::size_t>(IndexOf(name))].Size();
    }
    const std::string name = "Command" + std::to_string(info.number);
    Event("click " + name + " (" + std::to_string(size) + " characters in)",
          [&] { QTest::mouseClick(button, Qt::LeftButton); },
          [&] { return std::pair(name + " " + button->text().toStdString(), size); });
  }

  // Clicks "Clear All" and answers its question at random: a click on Yes, No or Cancel, or
  // Return (the default, Yes) or Escape (Cancel) on the keyboard. Returns whether that was Yes.
  bool ClearAll() {
    ShowTab(kCalculatorTab);
    enum Answer { kYes, kNo, kCancel, kReturn, kEscape };
    static const char* const kAnswers[] = {"Yes", "No", "Cancel", "Return", "Escape"};
    const auto answer = static_cast<Answer>(rng.Below(5));
    qsizetype size = 0;
    for (const Box& box : boxes) size += box.info->tab == kCalculatorTab ? box.Size() : 0;
    bool asked = false;
    QTimer::singleShot(0, &form, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      asked = true;
      switch (answer) {
        case kYes: box->button(QMessageBox::Yes)->click(); break;
        case kNo: box->button(QMessageBox::No)->click(); break;
        case kCancel: box->button(QMessageBox::Cancel)->click(); break;
        case kReturn: QTest::keyClick(box, Qt::Key_Return); break;
        case kEscape: QTest::keyClick(box, Qt::Key_Escape); break;
      }
    });
    const std::string what = std::string("Clear All, answered ") + kAnswers[answer];
    Event(what, [&] { QTest::mouseClick(Button(kClearAll), Qt::LeftButton); },
          [&] {
            return std::pair(std::string("Command29 Clear All (") + kAnswers[answer] + ")", size);
          });
    EXPECT_TRUE(asked) << Replay() << ": Clear All asked nothing";
    return answer == kYes || answer == kReturn;
  }

  // The tab of the next box or button: half the time the one in front, as a user mostly works
  // on one tab, otherwise any of the four with controls.
  int PickTab() {
    const int current = Tabs()->currentIndex();
    return current < 4 && rng.OneIn(2) ? current : static_cast<int>(rng.Below(4));
  }

  // A box of the tab; two times in three one that a handler reads.
  std::size_t PickBox(int tab) {
    const bool input = !rng.OneIn(3);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].info->tab == tab && (!input || boxes[i].info->role != Role::kOutput)) {
        candidates.push_back(i);
      }
    }
    return candidates[rng.Below(candidates.size())];
  }

  const ButtonInfo& PickButton(int tab) {
    std::vector<const ButtonInfo*> candidates;
    for (const ButtonInfo& info : buttons) {
      if (info.tab == tab) candidates.push_back(&info);
    }
    return *candidates[rng.Below(candidates.size())];
  }

  // A Base64 box converts its whole text on every change, so once the user has changed it, its
  // output shows the codec's result for the new text: never a stale one, nothing lost.
  void CheckEcho(const Box& in, const Box& out) {
    std::u16string expected;
    try {
      const std::u16string text = ReadBox(*in.multi);
      expected = std::strcmp(in.info->name, "txtB64eIN") == 0 ? codec.Encode64(text)
                                                                : codec.Decode64(text);
    } catch (const Base64DecodeError&) {
      // Only "=" signs and line breaks: the output is emptied.
    } catch (const std::exception& e) {
      ADD_FAILURE() << Replay() << ": the codec failed on the text of " << in.info->name << ": "
                    << e.what();
      return;
    }
    // The box keeps what the handler wrote exactly, a lone CR or LF included.
    const std::u16string& shown = expected;
    const std::u16string actual = ReadBox(*out.multi);
    if (actual != shown) {
      const auto diff = std::mismatch(actual.begin(), actual.end(), shown.begin(), shown.end());
      ADD_FAILURE() << Replay() << ": " << out.info->name << " holds " << actual.size()
                    << " characters, the codec gives " << shown.size()
                    << " for the text of " << in.info->name << "; they differ from character "
                    << (diff.first - actual.begin());
    }
  }

  // One random action; afterwards only the boxes it may write may differ.
  void Act() {
    std::vector<QString> before;
    for (const Box& box : boxes) before.push_back(box.Text());
    std::vector<bool> mayChange(boxes.size(), false);
    bool clearedAll = false;
    std::string what;

    const std::uint64_t roll = rng.Below(100);
    if (roll < 8) {
      const int tab = static_cast<int>(rng.Below(5));
      what = "switch to tab " + std::to_string(tab);
      Log(what);
      SwitchTab(tab);
    } else if (roll < 60) {
      const std::size_t i = PickBox(PickTab());
      Box& box = boxes[i];
      const bool paste = roll >= 46;
      what = std::string(paste ? "paste into " : "type into ") + box.info->name + " (" +
             std::to_string(box.Size()) + " characters)";
      Log(what);
      ShowTab(box.info->tab);
      mayChange[i] = true;
      if (box.info->echo) mayChange[static_cast<std::size_t>(IndexOf(box.info->echo))] = true;
      if (paste) {
        Paste(box);
      } else {
        Type(box);
      }
      if (box.info->echo && box.Text() != before[i]) {
        CheckEcho(box, boxes[static_cast<std::size_t>(IndexOf(box.info->echo))]);
      }
    } else if (roll < 96) {
      int tab = PickTab();
      if (tab == 0) tab = 1 + static_cast<int>(rng.Below(3));  // the Base64 tab has no buttons
      const ButtonInfo& info = PickButton(tab);
      what = "click Command" + std::to_string(info.number);
      Log(what);
      for (const char* name : info.writes) {
        mayChange[static_cast<std::size_t>(IndexOf(name))] = true;
      }
      Click(info);
    } else {
      what = "Clear All";
      Log(what);
      clearedAll = ClearAll();
    }

    for (std::size_t i = 0; i < boxes.size(); ++i) {
      const QString after = boxes[i].Text();
      const char* name = boxes[i].info->name;
      if (clearedAll && boxes[i].info->tab == kCalculatorTab) {
        EXPECT_TRUE(after.isEmpty()) << Replay() << ": Yes on Clear All left " << name << " with "
                                     << after.size() << " characters";
      } else if (!mayChange[i] && after != before[i]) {
        ADD_FAILURE() << Replay() << ": " << what << " changed " << name << " from "
                      << before[i].size() << " to " << after.size() << " characters";
      }
    }
  }

  void Log(const std::string& what) {
    if (log) {
      std::printf("monkey #%ld at %.3f s: %s\n", action, Seconds(Clock::now() - runStart),
                  what.c_str());
    }
  }

  void PrintFigures(double seconds) {
    std::printf("monkey: %ld actions, %ld events in %.1f s; slowest event %.0f ms (%s)\n",
                action, events, seconds, slowestEvent * 1000, slowestEventWhat.c_str());
    std::printf("monkey: slowest handler in ms [with the repaint after it] / events, by input "
                "size in characters (figures, not checks)\n");
    std::printf("%-36s", "handler");
    for (const char* bucket : kBucketNames) std::printf("%24s", bucket);
    std::printf("\n");
    for (const auto& [name, cells] : figures) {
      std::printf("%-36s", name.c_str());
      for (const Slowest& cell : cells) {
        if (cell.count == 0) {
          std::printf("%24s", "-");
        } else {
          char text[64];
          std::snprintf(text, sizeof text, "%.1f [%.1f] / %ld", cell.handler * 1000,
                        cell.painted * 1000, cell.count);
          std::printf("%24s", text);
        }
      }
      std::printf("\n");
    }
    std::fflush(stdout);
  }

  std::uint64_t seed = EnvNumber("CALVEXA_MONKEY_SEED", kDefaultSeed);
  long actions = static_cast<long>(EnvNumber("CALVEXA_MONKEY_ACTIONS", kDefaultActions));
  bool log = EnvNumber("CALVEXA_MONKEY_LOG", 0) != 0;
  Rng rng{seed};
  int doubleClickInterval = 0;
  long action = 0;
  Clock::time_point runStart = Clock::now();
  long events = 0;
  double slowestEvent = 0;
  std::string slowestEventWhat;
  std::vector<Box> boxes;
  const std::vector<ButtonInfo> buttons = AllButtons();
  Base64 codec;
  std::map<std::string, std::array<Slowest, kBuckets>, HandlerOrder> figures;
  Watchdog watchdog;
};

TEST_F(MonkeyTest, RandomUseChangesOnlyWhatEachActionMayWrite) {
  std::printf("monkey: seed %llu, %ld actions (rerun: CALVEXA_MONKEY_SEED=%llu "
              "CALVEXA_MONKEY_ACTIONS=%ld)\n",
              static_cast<unsigned long long>(seed), actions,
              static_cast<unsigned long long>(seed), actions);
  std::fflush(stdout);
  runStart = Clock::now();
  for (action = 0; action < actions && !HasFailure(); ++action) Act();
  PrintFigures(Seconds(Clock::now() - runStart));
}

}  // namespace
}  // namespace calvexa
