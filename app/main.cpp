#include <QApplication>

#include "form1.h"

int main(int argc, char** argv) {
  calvexa::KeepFreedMemoryForReuse();

  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  calvexa::Form1 window;
  calvexa::CentreOnScreen(window);
  window.show();
  return app.exec();
}
