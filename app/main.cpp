#include <QApplication>

#include "form1.h"

int main(int argc, char** argv) {
  calvexa::KeepFreedMemoryForReuse();

  QApplication app(argc, argv);
  // Desktops match the window to its desktop entry, and so to its name and icon, by this id.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.calvexa.Calvexa"));
  calvexa::UseClassicStyle();
  calvexa::Form1 window;
  calvexa::CentreOnScreen(window);
  window.show();
  return app.exec();
}
