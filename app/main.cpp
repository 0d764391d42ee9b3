#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>
#include <unistd.h>

#include "form1.h"

namespace {

constexpr const char* kHugePages = "glibc.malloc.hugetlb=1";

// A freshly touched page costs about 11 us on these machines, and a megabyte text passes
// through several hundred megabytes of fresh memory on its way from another program's clipboard
// into a box and out again (Qt's transfer buffer and QString, the box's text, a handler's
// output, the UTF-8 another program reads). glibc's allocator maps its memory in transparent
// huge pages when its tunable says so, and one 2 MiB page costs a small part of the 512 pages it
// replaces. The tunable is read only when a program starts, so the program starts itself once
// more with it set; without /proc, or if that fails, it runs as it is.
void StartWithHugePages(char** argv) {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;  // decided already
  const std::string value = tunables && *tunables ? std::string(tunables) + ":" + kHugePages : kHugePages;
  if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
}

}  // namespace

int main(int argc, char** argv) {
  StartWithHugePages(argv);
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, kHugePages)) {
    // Fresh memory in huge pages is cheap, and a huge page of the heap that holds a little of
    // what is still in use stays resident whole: large blocks get mappings of their own, given
    // back when they are freed.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 4 << 20);
  } else {
    calvexa::KeepFreedMemoryForReuse();
  }

  QApplication app(argc, argv);
  // Desktops match the window to its desktop entry, and so to its name and icon, by this id.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.calvexa.Calvexa"));
  calvexa::UseClassicStyle();
  calvexa::Form1 window;
  calvexa::CentreOnScreen(window);
  window.show();
  return app.exec();
}
