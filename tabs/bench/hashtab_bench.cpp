// One click of each hash button on a 1 MiB input, from the click until the result box has been
// painted. Offscreen; usage: hashtab_bench [MiB]
#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "form1.h"
#include "tabcontrol.h"
#include "textbox.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  const int mib = argc > 1 ? std::atoi(argv[1]) : 1;

  calvexa::Form1 form;
  form.show();
  form.Control<calvexa::TabControl>("SSTab1")->Tabs()->setCurrentIndex(1);
  QString text(mib << 20, QChar(u'a'));
  for (qsizetype i = 0; i < text.size(); i += 7) text[i] = QChar(static_cast<char16_t>(u'0' + i % 10));
  form.Control<calvexa::SingleLineBox>("txtHashIn")->setText(text);
  form.repaint();

  const char* buttons[] = {"Command1",  "Command2",  "Command3",  "Command4",
                           "Command5",  "Command6",  "Command19", "Command20",
                           "Command7",  "Command8",  "Command9",  "Command10",
                           "Command11", "Command12", "Command21", "Command22"};
  std::printf("one click on %d MiB, until painted\n%-12s %10s\n", mib, "button", "ms");
  for (const char* name : buttons) {
    auto* button = form.Control<QPushButton>(name);
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(button, Qt::LeftButton);
    form.repaint();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-12s %10.1f\n", qPrintable(button->text()), ms);
  }
  return 0;
}
