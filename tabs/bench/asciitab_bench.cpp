// "Char(s) > Hex" and "Char(s) > Dec" on long inputs, from the click until the output box has
// been painted, against the floor: a bare text box in the same wrap mode showing the same output.
// Offscreen; usage: asciitab_bench [runs]
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "form1.h"
#include "tabcontrol.h"
#include "textbox.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;

  std::printf("best of %d runs, seconds until painted\n%-14s %-10s %9s %9s %7s\n", runs, "button",
              "input", "tab s", "floor s", "ratio");
  for (qsizetype size : {qsizetype{32767}, qsizetype{1} << 20}) {
    QString text(size, QChar(u'a'));
    for (qsizetype i = 0; i < size; i += 3) text[i] = QChar(static_cast<char16_t>(32 + i % 224));
    for (const char* button : {"Command13", "Command14"}) {
      double tab = 1e9, floor = 1e9;
      QString output;
      for (int r = 0; r < runs; ++r) {
        calvexa::Form1 form;
        form.Control<calvexa::TabControl>("SSTab1")->Tabs()->setCurrentIndex(2);
        form.show();
        form.Control<calvexa::SingleLineBox>("txtAHDIn")->setText(text);
        form.repaint();
        auto* out = form.Control<calvexa::MultiLineBox>("txtAHDOut");
        const auto start = Clock::now();
        QTest::mouseClick(form.Control<QPushButton>(button), Qt::LeftButton);
        form.repaint();
        tab = std::min(tab, Since(start));
        output = out->plainText();

        QWidget window;
        window.setFont(form.font());  // the same font lays out the same lines
        window.resize(674, 426);
        auto* bare = new QPlainTextEdit(&window);
        bare->setGeometry(out->geometry());
        bare->setWordWrapMode(QTextOption::WrapAnywhere);
        bare->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        window.show();
        window.repaint();
        const auto floorStart = Clock::now();
        bare->setPlainText(output);
        window.repaint();
        floor = std::min(floor, Since(floorStart));
      }
      std::printf("%-14s %-10s %9.3f %9.3f %7.2f\n", button[8] == '3' ? "Char(s) > Hex" : "Char(s) > Dec",
                  size == 32767 ? "32,767" : "1 MiB", tab, floor, tab / floor);
      std::fflush(stdout);
    }
  }
  return 0;
}
