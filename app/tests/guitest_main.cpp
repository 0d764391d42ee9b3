// main() of the GUI test programs: real widgets on the offscreen platform, no display needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "form1.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  calvexa::UseClassicStyle();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
