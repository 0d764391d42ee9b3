// Takes a picture of each tab of the window as the screen shows it (run it under Xvfb).
// Usage: calvexa_screenshots OUTPUT_DIR [SUFFIX]
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <cstdio>

#include "form1.h"
#include "tabcontrol.h"
#include "textbox.h"

namespace {

// Sample texts typed into the input boxes and the buttons clicked, so the pictures show the
// boxes at work.
void FillIn(calvexa::Form1& form) {
  const auto box = [&](const char* name) { return form.Control<calvexa::TextBoxBase>(name); };
  const auto click = [&](const char* name) {
    QTest::mouseClick(form.Control<QPushButton>(name), Qt::LeftButton);
  };
  box("txtB64eIN")->SetText(u"Calvexa 1.01 \u20AC\r\nThe quick brown fox jumps over the lazy dog.");
  box("txtB64dIN")->SetText(
      u"Q2FsdmV4YSAxLjAxIIANClRoZSBxdWljayBicm93biBmb3gganVtcHMgb3ZlciB0aGUgbGF6eSBkb2cu");
  static_cast<calvexa::MultiLineBox*>(box("txtB64eIN"))->Select(8, 12);
  box("txtHashIn")->SetText(u"The quick brown fox jumps over the lazy dog");
  click("Command3");
  box("txtAHDIn")->SetText(u"Hi \u20AC!");
  click("Command13");
  box("txtAnd1")->SetText(u"255");
  box("txtAnd2")->SetText(u"15");
  click("Command23");
  box("txtNot")->SetText(u"-1");
  click("Command28");
}

}  // namespace

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
  if (qEnvironmentVariableIsSet("CALVEXA_SCREENSHOT_TEXTS")) FillIn(form);
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
