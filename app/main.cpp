#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "form1.h"

namespace {

// A freshly touched page costs about 11 us on these machines, and a megabyte text passes through
// several hundred megabytes of fresh memory on its way from another program's clipboard into a
// box and out again (Qt's transfer buffer and QString, the box's text, a handler's output, the
// UTF-8 that is copied). glibc's allocator asks the kernel for transparent huge pages when its
// tunable says so, and a 2 MiB page costs about what eight small ones do: the tunable is read only
// when a program starts, so the program starts itself once more with it set. Without /proc, or if
// that start fails, it runs as it is.
void StartWithHugePages(char** argv) {
  constexpr const char* kTunable = "glibc.malloc.hugetlb=1";
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  if (tunables && std::strstr(tunables, "glibc.malloc.hugetlb")) return;  // set already
  const std::string value = tunables && *tunables ? std::string(tunables) + ":" + kTunable : kTunable;
  if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
  execv("/proc/self/exe", argv);
}

}  // namespace

int main(int argc, char** argv) {
  StartWithHugePages(argv);
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
