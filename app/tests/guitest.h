#pragma once
// Shared fixture of the GUI tests: the real window, shown on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>
#include <QTest>

#include "form1.h"
#include "tabcontrol.h"

namespace calvexa {

class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    CentreOnScreen(form);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);
  }

  // A control by name; fails the test if the window has none of that name and type.
  template <typename T>
  T* Get(const char* name) {
    T* control = form.Control<T>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  QTabBar* Tabs() { return Get<TabControl>("SSTab1")->Tabs(); }
  void SelectTab(int index) { Tabs()->setCurrentIndex(index); }

  // Types one character through a key event that carries it as text; QTest::keyClicks would
  // squeeze it to Latin-1 (a euro sign arrives as a NUL).
  static void TypeChar(QWidget* widget, char16_t ch) {
    const QString text(QChar{ch});
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
  }

  Form1 form;
};

}  // namespace calvexa
