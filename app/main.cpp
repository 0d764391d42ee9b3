#include <malloc.h>

#include <QApplication>

#include "form1.h"

int main(int argc, char** argv) {
  // Every keystroke in a Base64 box re-encodes the whole text into a new result. Keeping freed
  // memory in the heap lets the next result reuse pages that are already mapped instead of
  // faulting in fresh ones, which costs as much as the encoding itself for large texts.
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);

  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  calvexa::Form1 window;
  calvexa::CentreOnScreen(window);
  window.show();
  return app.exec();
}
