// How long the "Base 64" tab takes to show a large text, against the floor: two bare text boxes
// in the same wrap mode showing the same input and output. Offscreen; usage: base64tab_bench [runs]
#include <QApplication>
#include <QPlainTextEdit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "base64.h"
#include "form1.h"
#include "textbox.h"

namespace {

using Clock = std::chrono::steady_clock;

// Letters and digits, no spaces; with breaks, CR LF after every 76 characters.
std::u16string Payload(std::size_t size, bool lines, unsigned seed) {
  static const char16_t kChars[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::mt19937 rng(seed);
  std::u16string text;
  text.reserve(size);
  while (text.size() < size) {
    if (lines && text.size() % 78 == 76) {
      text += u"\r\n";
    } else {
      text += kChars[rng() % 62];
    }
  }
  text.resize(size);
  return text;
}

// Breaks a Base64 text into 76-column lines, or leaves it as one line.
std::u16string Shape(const std::u16string& base64, bool lines) {
  std::u16string flat;
  for (char16_t c : base64) {
    if (c != u'\r' && c != u'\n') flat += c;
  }
  if (!lines) return flat;
  std::u16string out;
  for (std::size_t i = 0; i < flat.size(); i += 76) {
    out += flat.substr(i, 76);
    if (i + 76 < flat.size()) out += u"\r\n";
  }
  return out;
}

void Paint(QWidget& window) {
  window.repaint();
  QApplication::processEvents();
}

// From putting the input into the tab's box until the window has painted the result.
double TabSeconds(const char* input, const char* output, const QString& text,
                  const std::u16string& expected) {
  calvexa::Form1 form;
  form.show();
  Paint(form);
  auto* in = form.Control<calvexa::MultiLineBox>(input);
  auto* out = form.Control<calvexa::MultiLineBox>(output);
  const auto start = Clock::now();
  in->setPlainText(text);
  Paint(form);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (out->Text() != expected) {
    std::fprintf(stderr, "%s did not show the expected result\n", output);
    std::exit(1);
  }
  return seconds;
}

// The same two texts in two bare boxes of the same size and wrap mode.
double FloorSeconds(const QString& input, const QString& output) {
  QWidget window;
  window.setFont(calvexa::Form1().font());  // the same font lays out the same lines
  window.resize(674, 426);
  QPlainTextEdit* boxes[2];
  for (int i = 0; i < 2; ++i) {
    boxes[i] = new QPlainTextEdit(&window);
    boxes[i]->setGeometry(16 + 336 * i, 40, 313, 145);
    boxes[i]->setWordWrapMode(QTextOption::WrapAnywhere);
    boxes[i]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  }
  window.show();
  Paint(window);
  const auto start = Clock::now();
  boxes[0]->setPlainText(input);
  boxes[1]->setPlainText(output);
  Paint(window);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  calvexa::KeepFreedMemoryForReuse();  // as the program itself runs
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  const int runs = argc > 1 ? std::atoi(argv[1]) : 2;
  const calvexa::Base64 codec;

  std::printf("best of %d runs; seconds from setting the input box until painted\n", runs);
  std::printf("%-8s %-10s %-6s %9s %9s %7s\n", "size", "shape", "box", "tab s", "floor s", "ratio");
  for (std::size_t size : {std::size_t{64} << 10, std::size_t{1} << 20, std::size_t{8} << 20}) {
    for (bool lines : {false, true}) {
      // Encoding: a text of this size in, its Base64 out.
      const std::u16string plain = Payload(size, lines, 1);
      const std::u16string encoded = codec.Encode64(plain);
      // Decoding: a Base64 text of this size in, the text it stands for out.
      const std::u16string decodedText = Payload(size / 4 * 3, false, 2);
      const std::u16string base64 = Shape(codec.Encode64(decodedText), lines);

      struct Case {
        const char* box;
        const char* output;
        std::u16string in, out;
      };
      const Case cases[] = {{"txtB64eIN", "txtB64eOUT", plain, encoded},
                            {"txtB64dIN", "txtB64dOUT", base64, decodedText}};
      for (const Case& c : cases) {
        const QString in = QString::fromStdU16String(c.in);
        const QString out = QString::fromStdU16String(c.out);
        double tab = 1e9, floor = 1e9;
        for (int r = 0; r < runs; ++r) {
          floor = std::min(floor, FloorSeconds(in, out));
          tab = std::min(tab, TabSeconds(c.box, c.output, in, c.out));
        }
        std::printf("%-8s %-10s %-6s %9.3f %9.3f %7.2f\n",
                    size >= (1u << 20) ? (std::to_string(size >> 20) + " MiB").c_str()
                                       : (std::to_string(size >> 10) + " KiB").c_str(),
                    lines ? "76-column" : "one line", c.box[6] == 'e' ? "encode" : "decode", tab,
                    floor, tab / floor);
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
