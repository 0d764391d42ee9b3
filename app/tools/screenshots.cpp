// Takes a picture of each tab of the window as the screen shows it (run it under Xvfb).
// Usage: calvexa_screenshots OUTPUT_DIR [SUFFIX]
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <cstdio>

#include "form1.h"
#include "tabcontrol.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR [SUFFIX]\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  calvexa::UseClassicStyle();
  calvexa::Form1 form;
  calvexa::CentreOnScreen(form);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;

  const char* names[] = {"base64", "hash", "ascii-hex-decimal", "conversion", "about"};
  QTabBar* tabs = form.Control<calvexa::TabControl>("SSTab1")->Tabs();
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QTest::qWait(300);
    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                   frame.height());
    const QString file = out.filePath(QStringLiteral("tab-%1%2.png").arg(names[i], suffix));
    if (!shot.save(file)) return 1;
    std::printf("%s\n", qPrintable(file));
  }
  return 0;
}
