// Work in proportion to the change: keystrokes, pastes and deletions in megabyte texts, each
// until the window has painted its outcome, beside the whole-text path (the same window whose
// Base 64 handlers encode or decode the whole input and set the whole output, as they once did)
// and beside the memory floor (touching the texts' bytes once), all measured in the same run.
//
// Offscreen; usage: incremental_bench [runs] [key|start|paste|delete|sizes|typing]. Without a
// section every one runs. Pastes run in fresh processes, so their memory starts clean.
#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QTabBar>
#include <QTest>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "base64.h"
#include "form1.h"
#include "tabcontrol.h"
#include "textbox.h"

namespace {

using Clock = std::chrono::steady_clock;
using calvexa::Form1;
using calvexa::TextBoxBase;

constexpr std::size_t kKiB = 1024, kMiB = 1024 * kKiB;

const calvexa::Base64& Codec() {
  static const calvexa::Base64 codec;
  return codec;
}

[[noreturn]] void Fail(const char* what, const char* name) {
  std::fprintf(stderr, "%s: %s\n", name, what);
  std::exit(1);
}

// One line of letters and digits.
std::u16string Plain(std::size_t size, unsigned seed) {
  static const char16_t kAlnum[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::mt19937 rng(seed);
  std::u16string text(size, u'\0');
  for (char16_t& c : text) c = kAlnum[rng() % 62];
  return text;
}

// Base64 as the encoder writes it, in 76-column lines, of about size characters.
std::u16string Base64Lines(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(size / 78 * 57);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return Codec().EncodeArray64(bytes);
}

std::u16string Decoded(const std::u16string& text) {
  try {
    return Codec().Decode64(text);
  } catch (const calvexa::Base64DecodeError&) {
    return {};
  }
}

std::string SizeName(std::size_t size) {
  return size >= kMiB ? std::to_string(size / kMiB) + " MiB" : std::to_string(size / kKiB) + " KiB";
}

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Paint(QWidget& window) {
  window.repaint();
  QApplication::processEvents();
}

// The window with the tab of `input` in front and the caret in that box. With whole, the Base 64
// handlers are the whole-text ones: the input's whole text encoded or decoded, the output set.
struct Window {
  Window(const char* inputName, const char* outputName, bool whole)
      : in(form.Control<TextBoxBase>(inputName)),
        out(outputName ? form.Control<TextBoxBase>(outputName) : nullptr) {
    if (!in) Fail("no such box", inputName);
    if (whole && out) {
      QObject::disconnect(in, &TextBoxBase::textChanged, nullptr, nullptr);
      const bool encode = std::strcmp(inputName, "txtB64eIN") == 0;
      QObject::connect(in, &TextBoxBase::textChanged, [this, encode] {
        try {
          out->SetText(encode ? Codec().Encode64(in->Text()) : Codec().Decode64(in->Text()));
        } catch (const calvexa::Base64DecodeError&) {
          out->clear();
        } catch (...) {
        }
      });
    }
    form.show();
    auto* tabs = form.findChild<calvexa::TabControl*>(QStringLiteral("SSTab1"));
    for (int i = 0; tabs && i < tabs->Tabs()->count(); ++i) {
      if (tabs->Page(i)->isAncestorOf(in)) tabs->Tabs()->setCurrentIndex(i);
    }
    Focus();
  }

  void Focus() {
    QApplication::setActiveWindow(&form);
    in->setFocus();
    Paint(form);
  }

  // From the user's action until the window has painted its outcome.
  template <typename Action>
  double Seconds(Action action) {
    Focus();
    const auto start = Clock::now();
    action();
    Paint(form);
    return Since(start);
  }

  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(in, key, mods); }
  void Type(char key) { QTest::keyClick(in, key); }

  void Check(const std::u16string& expected, const char* what) const {
    if ((out ? out : in)->Text() != expected) Fail("does not show the expected text", what);
  }

  Form1 form;
  TextBoxBase* in;
  TextBoxBase* out;
};

// Writing `bytes` once into memory already mapped and touched: a pass over the texts.
double TouchOnce(std::size_t bytes) {
  static std::vector<char> memory;
  if (memory.size() < bytes) memory.assign(bytes, 1);
  const auto start = Clock::now();
  std::memset(memory.data(), 2, bytes);
  asm volatile("" : : "r"(memory.data()) : "memory");
  return Since(start);
}

// Writing `bytes` once into freshly mapped memory: the first touch a new text's pages cost.
double FirstTouch(std::size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) Fail("no memory", "first touch");
  const auto start = Clock::now();
  std::memset(memory, 2, bytes);
  asm volatile("" : : "r"(memory) : "memory");
  const double seconds = Since(start);
  munmap(memory, bytes);
  return seconds;
}

// The best and the worst of a number of runs.
struct Spread {
  double best = 1e9, worst = 0;
  void Add(double seconds) {
    best = std::min(best, seconds);
    worst = std::max(worst, seconds);
  }
};

struct Figure {
  Spread ours, whole;
  double floor = 1e9;
  void Add(double o, double w, double f) {
    ours.Add(o);
    whole.Add(w);
    floor = std::min(floor, f);
  }
};

void Header(const char* floor) {
  std::printf("\n%-52s %10s %8s %10s %8s %10s  (floor: %s)\n", "", "ours ms", "worst", "whole ms",
              "worst", "floor ms", floor);
}

void Print(const std::string& what, const Figure& f) {
  std::printf("%-52s %10.2f %8.2f %10.2f %8.2f %10.2f\n", what.c_str(), f.ours.best * 1e3,
              f.ours.worst * 1e3, f.whole.best * 1e3, f.whole.worst * 1e3, f.floor * 1e3);
  std::fflush(stdout);
}

struct Case {
  const char* what;
  const char* input;
  const char* output;  // null: no handler
  std::function<std::u16string(std::size_t)> text;
};

const Case kEncode{"encoding", "txtB64eIN", "txtB64eOUT", [](std::size_t n) { return Plain(n, 1); }};
const Case kDecode{"decoding", "txtB64dIN", "txtB64dOUT", [](std::size_t n) { return Base64Lines(n, 2); }};
const Case kHash{"hash", "txtHashIn", nullptr, [](std::size_t n) { return Plain(n, 3); }};

std::u16string Result(const Case& c, const std::u16string& input) {
  if (!c.output) return input;
  return c.input[6] == 'e' ? Codec().Encode64(input) : Decoded(input);
}

// Keys typed into a text of `size` in both windows, at its end or its start, as a person types
// them: the text pasted (Ctrl+V into the emptied box), the caret placed, then a first key and
// four more; and the first key after the text was set by a handler (SetText). The first key is
// the one that counts. The floor is a pass over both texts' bytes.
struct Keys {
  Figure pasted, set, later;
};

Keys TypeKeys(int runs, const Case& c, std::size_t size, bool atStart, char key) {
  const std::u16string original = c.text(size);
  QGuiApplication::clipboard()->setText(QString::fromStdU16String(original));
  Window ours(c.input, c.output, false), whole(c.input, c.output, true);
  Keys k;
  for (int r = 0; r < runs; ++r) {
    for (const bool paste : {true, false}) {
      std::u16string text = original;
      for (Window* w : {&ours, &whole}) {
        if (paste) {
          w->in->clear();
          w->Key(Qt::Key_V, Qt::ControlModifier);
        } else {
          w->in->SetText(original);
        }
        const int at = atStart ? 0 : static_cast<int>(text.size());
        w->in->Select(at, at);
      }
      for (int i = 0; i < (paste ? 5 : 1); ++i) {
        text.insert(atStart ? 0 : text.size(), 1, static_cast<char16_t>(key));
        const std::u16string expected = Result(c, text);
        const double o = ours.Seconds([&] { ours.Type(key); });
        ours.Check(expected, "ours");
        const double w = whole.Seconds([&] { whole.Type(key); });
        whole.Check(expected, "whole-text path");
        Figure& f = i > 0 ? k.later : paste ? k.pasted : k.set;
        f.Add(o, w, TouchOnce(2 * (text.size() + (c.output ? expected.size() : 0))));
      }
    }
  }
  return k;
}

void PrintKeys(const std::string& what, const Keys& k) {
  Print(what + ", first after a paste", k.pasted);
  Print("  first after SetText", k.set);
  Print("  the four after it", k.later);
}

void KeySection(int runs) {
  Header("one pass over the input's and output's bytes");
  for (const Case* c : {&kEncode, &kDecode, &kHash}) {
    PrintKeys("key at end of 64 MiB, " + std::string(c->what) + " input",
              TypeKeys(runs, *c, 64 * kMiB, false, 'Q'));
  }
}

// A key at the start of the decoding input shifts every group after it: the whole output is
// new. Beside the pass over the texts, what writing that output once costs: its characters
// written once into memory already touched, and the box given them (as SetText, the text itself
// moved in), laid out and painted.
void StartSection(int runs) {
  Header("one pass over the texts / the new output written once");
  for (std::size_t size : {8 * kMiB, 64 * kMiB}) {
    const Keys keys = TypeKeys(runs, kDecode, size, true, 'Q');
    Window box(kDecode.input, kDecode.output, false);
    std::u16string text = kDecode.text(size);
    box.in->SetText(text);
    text.insert(0, 1, u'Q');
    double write = 1e9, set = 1e9;
    for (int r = 0; r < runs; ++r) {
      // Without spare capacity, so that from the second run on (the box's buffer then as
      // large as the text alone) the text is moved in and nothing else is done with it.
      std::u16string output = Decoded(text);
      output.shrink_to_fit();
      write = std::min(write, TouchOnce(2 * output.size()));
      set = std::min(set, box.Seconds([&] { box.out->SetText(std::move(output)); }));
    }
    PrintKeys("key at start of " + SizeName(size) + " 76-column Base64", keys);
    const double once = write + set;
    std::printf("%-52s %10s %8s %10s %8s %10.2f  (its characters %.2f, set into the box %.2f)\n",
                "  the new output written once", "", "", "", "", once * 1e3, write * 1e3, set * 1e3);
    std::printf("%-52s %10.2f %8.2f  first after a paste; the four after it %.2f to %.2f\n",
                "  ours = x that", keys.pasted.ours.best / once, keys.pasted.ours.worst / once,
                keys.later.ours.best / once, keys.later.ours.worst / once);
  }
}

// A field of /proc/self/status in MB.
double StatusMB(const char* field) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  const std::size_t length = std::strlen(field);
  char line[256];
  double kB = -1;
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') kB = std::atof(line + length + 1);
  }
  std::fclose(status);
  return kB * 1024 / 1e6;
}

// In a fresh process: a text pasted into an empty input until painted; prints the seconds and
// the peak resident memory the paste added (VmHWM reset first).
int PasteChild(const Case& c, std::size_t size, bool whole) {
  Window w(c.input, c.output, whole);
  const std::u16string text = c.text(size);
  QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
  Paint(w.form);
  const double ready = StatusMB("VmRSS");
  if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", refs);
    std::fclose(refs);
  }
  const double seconds = w.Seconds([&] { w.Key(Qt::Key_V, Qt::ControlModifier); });
  const double peak = StatusMB("VmHWM");
  w.Check(Result(c, text), whole ? "whole-text path" : "ours");
  std::printf("%f %f\n", seconds, peak - ready);
  return 0;
}

struct Paste {
  Spread seconds, peakMB;
};

Paste PasteRun(int runs, const char* name, std::size_t size, bool whole) {
  Paste all;
  for (int r = 0; r < runs; ++r) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("paste-child"), QString::fromLatin1(name),
                 QString::number(size), whole ? QStringLiteral("whole") : QStringLiteral("ours")});
    double seconds = 0, peakMB = 0;
    if (!child.waitForFinished(-1) || child.exitCode() != 0 ||
        std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf", &seconds, &peakMB) != 2) {
      Fail("did not report", "paste");
    }
    all.seconds.Add(seconds);
    all.peakMB.Add(peakMB);
  }
  return all;
}

void PasteSection(int runs) {
  const std::size_t size = 64 * kMiB;
  const std::u16string text = kEncode.text(size);
  const std::size_t outChars = Codec().Encode64(text).size();
  const double textsMB = 2.0 * static_cast<double>(size + outChars) / 1e6;
  // The codec alone, into memory it has touched before.
  std::u16string reused;
  reused.reserve(outChars);
  double codec = 1e9, touch = 1e9;
  for (int r = 0; r < runs; ++r) {
    reused.clear();
    const auto start = Clock::now();
    Codec().Encode64Lines(text, true, reused);
    codec = std::min(codec, Since(start));
    touch = std::min(touch, FirstTouch(2 * (size + outChars)));
  }
  const Paste ours = PasteRun(runs, "encoding", size, false);
  const Paste whole = PasteRun(runs, "encoding", size, true);
  Header("first touch of both texts' memory + the codec's own time");
  const double floor = touch + codec;
  Print("paste 64 MiB into the encoding input", {ours.seconds, whole.seconds, floor});
  std::printf("%-52s %10.2f %8.2f %10.2f %8.2f %10.2f  (first touch %.1f ms, codec %.1f ms)\n",
              "  = x floor", ours.seconds.best / floor, ours.seconds.worst / floor,
              whole.seconds.best / floor, whole.seconds.worst / floor, 1.0, touch * 1e3, codec * 1e3);
  std::printf("%-52s %10.0f %8.0f %10.0f %8.0f %10.0f  (the two texts' bytes)\n",
              "  peak resident MB added by the paste", ours.peakMB.best, ours.peakMB.worst,
              whole.peakMB.best, whole.peakMB.worst, textsMB);
}

// Select all + Delete, then Ctrl+Z, in a 64 MiB input. The floor: copying the text into fresh
// memory, which keeping a removed text for undo by copying it costs.
void DeleteSection(int runs) {
  Header("copying the removed text into fresh memory");
  for (const Case* c : {&kHash, &kEncode}) {
    const std::u16string text = c->text(64 * kMiB);
    const std::u16string expected = Result(*c, text);
    Window ours(c->input, c->output, false), whole(c->input, c->output, true);
    Figure remove, undo;
    for (Window* w : {&ours, &whole}) w->in->SetText(text);
    for (int r = 0; r < runs; ++r) {
      double seconds[2][2];
      for (int i = 0; i < 2; ++i) {
        Window& w = i == 0 ? ours : whole;
        w.Key(Qt::Key_A, Qt::ControlModifier);
        seconds[i][0] = w.Seconds([&] { w.Key(Qt::Key_Delete); });
        w.Check(u"", "emptied");
        seconds[i][1] = w.Seconds([&] { w.Key(Qt::Key_Z, Qt::ControlModifier); });
        if (w.in->Text() != text) Fail("did not bring the text back", c->input);
        w.Check(expected, "undone");
      }
      const auto start = Clock::now();
      volatile std::size_t keep = std::u16string(text).size();
      (void)keep;
      const double copy = Since(start);
      remove.Add(seconds[0][0], seconds[1][0], copy);
      undo.Add(seconds[0][1], seconds[1][1], copy);
    }
    Print("select all + Delete, 64 MiB, " + std::string(c->what) + " input", remove);
    Print("  then Ctrl+Z", undo);
  }
}

// Pastes into empty inputs and keys at both ends of 64 KiB to 8 MiB: never slower than before.
void SizesSection(int runs) {
  Header("first touch of the texts' memory (pastes), one pass over it (keys)");
  for (std::size_t size : {64 * kKiB, 1 * kMiB, 8 * kMiB}) {
    for (const Case* c : {&kEncode, &kDecode, &kHash}) {
      const std::u16string text = c->text(size);
      const std::u16string expected = Result(*c, text);
      Figure paste;
      QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
      for (int r = 0; r < runs; ++r) {
        double seconds[2];
        for (int i = 0; i < 2; ++i) {
          Window w(c->input, c->output, i == 1);
          seconds[i] = w.Seconds([&] { w.Key(Qt::Key_V, Qt::ControlModifier); });
          w.Check(expected, i ? "whole-text path" : "ours");
        }
        paste.Add(seconds[0], seconds[1], FirstTouch(2 * (text.size() + (c->output ? expected.size() : 0))));
      }
      Print("paste " + SizeName(size) + " into the " + c->what + " input", paste);
      PrintKeys("  key at its end", TypeKeys(runs, *c, size, false, 'Q'));
      PrintKeys("  key at its start", TypeKeys(runs, *c, size, true, 'Q'));
    }
  }
}

void TypingSection(int runs) {
  Header("none");
  const std::u16string keys = Plain(200, 4);
  Figure f;
  for (int r = 0; r < runs; ++r) {
    double sum[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      Window w(kEncode.input, kEncode.output, i == 1);
      for (char16_t k : keys) sum[i] += w.Seconds([&] { w.Type(static_cast<char>(k)); });
      w.Check(Codec().Encode64(keys), "typing");
    }
    f.Add(sum[0] / 200, sum[1] / 200, 0);
  }
  Print("type 200 keys into the empty encoding input, per key", f);
}

std::string LoadAverage() {
  std::FILE* f = std::fopen("/proc/loadavg", "r");
  char line[128] = "?";
  if (f) {
    if (!std::fgets(line, sizeof line, f)) line[0] = 0;
    std::fclose(f);
  }
  std::string s(line);
  return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  calvexa::KeepFreedMemoryForReuse();  // as the program itself runs
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  if (argc == 5 && std::strcmp(argv[1], "paste-child") == 0) {
    const Case& c = std::strcmp(argv[2], "encoding") == 0 ? kEncode : std::strcmp(argv[2], "decoding") == 0 ? kDecode : kHash;
    return PasteChild(c, std::strtoull(argv[3], nullptr, 10), std::strcmp(argv[4], "whole") == 0);
  }
  int runs = 3;
  std::string section;
  for (int i = 1; i < argc; ++i) {
    if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) runs = std::max(1, std::atoi(argv[i]));
    else section = argv[i];
  }
  const std::pair<const char*, void (*)(int)> sections[] = {
      {"key", KeySection},       {"start", StartSection}, {"paste", PasteSection},
      {"delete", DeleteSection}, {"sizes", SizesSection}, {"typing", TypingSection}};
  bool known = section.empty();
  for (const auto& s : sections) known = known || section == s.first;
  if (!known) {
    std::fprintf(stderr, "usage: %s [runs] [key|start|paste|delete|sizes|typing]\n", argv[0]);
    return 2;
  }
  std::printf("best and worst of %d runs; ms from the user's action until the window has painted; load average %s\n",
              runs, LoadAverage().c_str());
  std::printf("whole: the same window with the whole-text handlers (whole input encoded or decoded, whole output set)\n");
  for (const auto& s : sections) {
    if (section.empty() || section == s.first) s.second(runs);
  }
  std::printf("\nload average at the end %s\n", LoadAverage().c_str());
  return 0;
}
