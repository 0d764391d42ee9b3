#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QClipboard>
#include "textbox.h"
#include <QPushButton>
#include <QTabBar>
#include <QTextDocument>

#include "boxtext.h"
#include "guitest.h"

namespace calvexa {
namespace {

using Form1Test = WindowTest;

TEST_F(Form1Test, StartsOnBase64WithEveryBoxEmptyAndNoCodec) {
  EXPECT_EQ(form.windowTitle(), "Calvexa - v1.01 - By: Zorbu");
  EXPECT_EQ(Tabs()->currentIndex(), 0);
  const QStringList captions{"Base 64", "Hash", "ASCII - Hex - Decimal", "Conversion", "About"};
  ASSERT_EQ(Tabs()->count(), captions.size());
  for (int i = 0; i < Tabs()->count(); ++i) EXPECT_EQ(Tabs()->tabText(i), captions[i]);
  EXPECT_EQ(Tabs()->shape(), QTabBar::RoundedSouth);

  const auto lines = form.findChildren<SingleLineBox*>();
  const auto boxes = form.findChildren<MultiLineBox*>();
  EXPECT_EQ(lines.size() + boxes.size(), 4 + 2 + 2 + 23);
  for (const SingleLineBox* box : lines) EXPECT_TRUE(box->text().isEmpty()) << box->objectName().toStdString();
  for (const MultiLineBox* box : boxes) EXPECT_TRUE(box->Text().empty()) << box->objectName().toStdString();
  EXPECT_EQ(form.Codec(), nullptr);
}

TEST_F(Form1Test, FixedClientAreaCentred) {
  EXPECT_EQ(form.size(), QSize(674, 426));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  const QRect area = form.screen()->availableGeometry();
  EXPECT_LE(std::abs(form.geometry().center().x() - area.center().x()), 1);
  EXPECT_LE(std::abs(form.geometry().center().y() - area.center().y()), 1);
}

struct Placement {
  const char* name;
  QRect inTabControl;  // pixels, relative to SSTab1
};

TEST_F(Form1Test, ControlsSitAtTheirTwipPositions) {
  // Frames and tab control offset their children; these are the sums, rounded per value.
  const Placement rows[] = {
      {"txtB64eIN", {8 + 8, 8 + 32, 313, 145}},
      {"txtB64dOUT", {8 + 336, 208 + 32, 313, 145}},
      {"txtHashIn", {8, 44, 657, 19}},
      {"Command22", {8 + 568, 204 + 72, 73, 33}},
      {"Command18", {8 + 553, 192 + 16, 97, 25}},
      {"txtNotResHex", {424, 212, 89, 19}},
      {"Command29", {536, 44, 121, 25}},
      {"Label23", {136, 8, 505, 97}},
      {"Image1", {8, 8, 117, 107}},
  };
  QWidget* tabs = Get<QWidget>("SSTab1");
  for (const auto& row : rows) {
    QWidget* control = Get<QWidget>(row.name);
    if (!control) continue;
    const QRect at(control->mapTo(tabs, QPoint(0, 0)), control->size());
    EXPECT_EQ(at, row.inTabControl) << row.name;
  }
}

TEST_F(Form1Test, EveryCaptionAndLabelIsFullyVisible) {
  for (int tab = 0; tab < Tabs()->count(); ++tab) {
    SelectTab(tab);
    for (const QLabel* label : form.findChildren<QLabel*>()) {
      if (!label->isVisible() || label->wordWrap()) continue;
      const QString name = label->objectName();
      // The ink of the text, not its advance: the big centred title leaves no room for bearings.
      EXPECT_GE(label->width(), label->fontMetrics().boundingRect(label->text()).width())
          << name.toStdString();
      EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry())) << name.toStdString();
    }
    for (const QPushButton* button : form.findChildren<QPushButton*>()) {
      if (!button->isVisible()) continue;
      EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 4)
          << button->objectName().toStdString();
    }
  }
  // The wrapped introduction fits its fixed box.
  SelectTab(4);
  const QLabel* intro = Get<QLabel>("Label24");
  EXPECT_LE(intro->heightForWidth(intro->width()), intro->height());
}

// The Tab key visits the enabled boxes and buttons of the selected tab in keyboard order.
TEST_F(Form1Test, TabKeyFollowsTheKeyboardOrder) {
  struct Row {
    int tab;
    QStringList order;
  };
  const Row rows[] = {
      {0, {"txtB64eIN", "txtB64eOUT", "txtB64dIN", "txtB64dOUT"}},
      {1, {"txtHashIn", "txtHashOut", "Command1", "Command2", "Command3", "Command4", "Command5",
           "Command6", "Command7", "Command8", "Command9", "Command10", "Command11", "Command12",
           "Command19", "Command20", "Command21", "Command22"}},
      {2, {"txtAHDIn", "txtAHDOut", "Command13", "Command14", "Command15", "Command16",
           "Command17", "Command18"}},
      {3, {"Command23", "txtAnd1", "txtAnd2", "txtAndRes", "txtAndResHex", "Command24", "txtOr1",
           "txtOr2", "txtOrRes", "txtOrResHex", "Command25", "txtXor1", "txtXor2", "txtXorRes",
           "txtXorResHex", "Command26", "txtSHL1", "txtSHL2", "txtSHLRes", "txtSHLResHex",
           "Command27", "txtSHR1", "txtSHR2", "txtSHRRes", "txtSHRResHex", "txtNot",
           "txtNotResHex", "txtNotRes", "Command28", "Command29"}},
  };
  for (const auto& row : rows) {
    SelectTab(row.tab);
    Get<QWidget>(row.order.front().toLatin1())->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < row.order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, row.order) << "tab " << row.tab;
  }
}

TEST_F(Form1Test, SwitchingTabsKeepsEveryTextAndRecomputesNothing) {
  auto* input = Get<MultiLineBox>("txtB64eIN");
  auto* output = Get<MultiLineBox>("txtB64eOUT");
  QTest::keyClicks(input, "AB");
  WriteBox(*output, u"typed by hand");
  auto* hash = Get<SingleLineBox>("txtHashIn");
  SelectTab(1);
  QTest::keyClicks(hash, "abc");
  SelectTab(3);
  SelectTab(0);
  EXPECT_EQ(ReadBox(*input), u"AB");
  EXPECT_EQ(ReadBox(*output), u"typed by hand");
  EXPECT_EQ(hash->text(), "abc");
}

// Ctrl+Tab and Ctrl+Shift+Tab step through the tabs wherever the focus is, wrapping at either
// end; the arrow keys still move along a focused tab strip. A switch changes no box, and the
// keyboard goes to the control last used on the new tab, else its first one, else the strip.
TEST_F(Form1Test, KeyboardStepsThroughTheTabsFromAnywhere) {
  // Each box's whole text, read through its USER property as the handlers see it.
  const char* const boxes[] = {"txtB64eIN", "txtB64eOUT", "txtHashIn", "txtHashOut", "txtAnd1"};
  auto texts = [&] {
    QStringList all;
    for (const char* name : boxes) {
      QWidget* box = Get<QWidget>(name);
      all << box->metaObject()->userProperty().read(box).toString();
    }
    return all;
  };
  QTest::keyClicks(Get<QWidget>("txtB64eIN"), "AB");
  QWidget* encoded = Get<QWidget>("txtB64eOUT");
  // A switch that re-ran the Base64 handler would put "QUI=" back.
  encoded->metaObject()->userProperty().write(encoded, QStringLiteral("typed by hand"));
  SelectTab(1);
  QTest::keyClicks(Get<QWidget>("txtHashIn"), "abc");
  SelectTab(3);
  QTest::keyClicks(Get<QWidget>("txtAnd1"), "12");
  const QStringList before = texts();

  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
  struct Row {
    int from;
    const char* focus;  // nullptr: the tab strip, in both columns
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int to;
    const char* lands;
  };
  // In order: each row's "lands" follows from the controls the rows before it used.
  const Row rows[] = {
      {0, "txtB64eIN", Qt::Key_Tab, ctrl, 1, "txtHashIn"},  // multi-line box
      {1, "txtHashOut", Qt::Key_Tab, ctrl, 2, "txtAHDIn"},  // multi-line box, one line high
      {2, "Command13", Qt::Key_Tab, ctrl, 3, "Command23"},
      {3, nullptr, Qt::Key_Tab, ctrl, 4, nullptr},
      {4, nullptr, Qt::Key_Tab, ctrl, 0, nullptr},
      {0, nullptr, Qt::Key_Tab, ctrlShift, 4, nullptr},
      {0, "txtB64eOUT", Qt::Key_Tab, ctrlShift, 4, nullptr},
      {3, "txtAnd1", Qt::Key_Tab, ctrlShift, 2, "Command13"},  // single-line box
      // X11 sends Ctrl+Shift+Tab as Backtab with both modifiers.
      {1, "txtHashIn", Qt::Key_Backtab, ctrlShift, 0, "txtB64eOUT"},
      {0, nullptr, Qt::Key_Backtab, ctrlShift, 4, nullptr},
      {2, nullptr, Qt::Key_Right, Qt::NoModifier, 3, nullptr},
      {2, nullptr, Qt::Key_Left, Qt::NoModifier, 1, nullptr},
  };
  for (const Row& row : rows) {
    const std::string what = std::to_string(row.from) + " " + (row.focus ? row.focus : "strip") +
                             " " + QKeySequence(row.key | row.modifiers).toString().toStdString();
    SelectTab(row.from);
    QWidget* focus = row.focus ? Get<QWidget>(row.focus) : Tabs();
    focus->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focus) << what;
    QTest::keyClick(focus, row.key, row.modifiers);
    EXPECT_EQ(Tabs()->currentIndex(), row.to) << what;
    EXPECT_EQ(QApplication::focusWidget(), row.lands ? Get<QWidget>(row.lands) : Tabs()) << what;
    EXPECT_EQ(texts(), before) << what;
  }
}

TEST_F(Form1Test, ClosingReleasesTheCodecAndAlwaysCloses) {
  QTest::keyClicks(Get<MultiLineBox>("txtB64eIN"), "A");
  EXPECT_NE(form.Codec(), nullptr);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(form.Codec(), nullptr);
  Get<MultiLineBox>("txtB64eIN")->setPlainText("late change");
  EXPECT_EQ(form.Codec(), nullptr) << "nothing creates a codec the window would not release";
}

TEST(Form1Close, ClosesCleanlyWithoutACodec) {
  Form1 form;
  form.show();
  EXPECT_TRUE(form.close());
  EXPECT_EQ(form.Codec(), nullptr);
}

QString AccessibleName(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face ? face->text(QAccessible::Name) : QString();
}

// A screen reader names each box by its frame or tab and its label, or its calculator row and
// role, and each button by its caption.
TEST_F(Form1Test, EveryBoxAndButtonHasAnAccessibleName) {
  const std::pair<const char*, const char*> rows[] = {
      {"txtB64eIN", "Encoding: Input"},
      {"txtB64dOUT", "Decoding: Output"},
      {"txtHashOut", "Hash: Result"},
      {"txtAHDIn", "ASCII - Hex - Decimal: Input"},
      {"txtAnd1", "AND first operand"},
      {"txtAnd2", "AND second operand"},
      {"txtAndRes", "AND decimal result"},
      {"txtAndResHex", "AND hexadecimal result"},
      {"txtNot", "NOT operand"},
      {"txtSHRResHex", "SHR hexadecimal result"},
  };
  for (const auto& [name, accessible] : rows) {
    EXPECT_EQ(AccessibleName(Get<QWidget>(name)), accessible) << name;
  }
  QSet<QString> names;
  QList<QWidget*> boxes;
  for (auto* box : form.findChildren<SingleLineBox*>()) boxes << box;
  for (auto* box : form.findChildren<MultiLineBox*>()) boxes << box;
  for (QWidget* box : boxes) {
    const QString name = AccessibleName(box);
    EXPECT_FALSE(name.isEmpty()) << box->objectName().toStdString();
    EXPECT_FALSE(names.contains(name)) << name.toStdString();
    names << name;
  }
  for (QPushButton* button : form.findChildren<QPushButton*>()) {
    EXPECT_EQ(AccessibleName(button), button->text()) << button->objectName().toStdString();
  }
}

TEST_F(Form1Test, SingleLineBoxesTakeLongPastesWhole) {
  auto* hash = Get<SingleLineBox>("txtHashIn");
  const QString paste(100'000, QChar('x'));
  QGuiApplication::clipboard()->setText(paste);
  hash->paste();
  EXPECT_EQ(hash->text().size(), paste.size());
}

}  // namespace
}  // namespace calvexa
