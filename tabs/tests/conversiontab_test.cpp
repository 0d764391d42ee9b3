#include "textbox.h"
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "guitest.h"

namespace calvexa {
namespace {

class ConversionTabTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SelectTab(3);
  }
  SingleLineBox* Box(const char* name) { return Get<SingleLineBox>(name); }
  void Click(const char* button) { QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton); }

  // Answers the confirmation that the click opens with `answer`, after checking how it asks.
  void ClearAllAnswering(QMessageBox::StandardButton answer) {
    bool asked = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      asked = true;
      EXPECT_EQ(box->windowTitle(), "Confirm");
      EXPECT_EQ(box->text(), "Clear all boxes?");
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->standardButtons(),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
      box->button(answer)->click();
    });
    Click("Command29");
    // Should no box have opened, the timer must not outlive this frame's `asked`.
    QCoreApplication::processEvents();
    EXPECT_TRUE(asked);
  }
};

struct Row {
  const char* button;
  const char* first;
  const char* second;  // nullptr for "NOT"
  const char* decimal;
  const char* hex;
  QString a, b;
  QString wantDecimal, wantHex;
};

TEST_F(ConversionTabTest, EveryOperatorWritesBothResults) {
  const Row rows[] = {
      {"Command23", "txtAnd1", "txtAnd2", "txtAndRes", "txtAndResHex", "255", "15", "15", "F"},
      {"Command23", "txtAnd1", "txtAnd2", "txtAndRes", "txtAndResHex", "abc", "5", "0", "0"},
      {"Command23", "txtAnd1", "txtAnd2", "txtAndRes", "txtAndResHex", "3000000000", "1",
       "INVALID", "INVALID"},
      {"Command24", "txtOr1", "txtOr2", "txtOrRes", "txtOrResHex", "12", "10", "14", "E"},
      {"Command24", "txtOr1", "txtOr2", "txtOrRes", "txtOrResHex", "12abc", "15", "INVALID",
       "INVALID"},
      {"Command25", "txtXor1", "txtXor2", "txtXorRes", "txtXorResHex", "-1", "1", "-2",
       "FFFFFFFE"},
      {"Command28", "txtNot", nullptr, "txtNotRes", "txtNotResHex", "5", "", "-6", "FFFFFFFA"},
      {"Command28", "txtNot", nullptr, "txtNotRes", "txtNotResHex", "abc", "", "INVALID",
       "INVALID"},
      {"Command26", "txtSHL1", "txtSHL2", "txtSHLRes", "txtSHLResHex", "5", "3", "40", "28"},
      {"Command26", "txtSHL1", "txtSHL2", "txtSHLRes", "txtSHLResHex", "5", "0", "5", "5"},
      {"Command26", "txtSHL1", "txtSHL2", "txtSHLRes", "txtSHLResHex", "1", "31", "INVALID",
       "INVALID"},
      {"Command26", "txtSHL1", "txtSHL2", "txtSHLRes", "txtSHLResHex", "5", "-4", "INVALID",
       "INVALID"},
      {"Command27", "txtSHR1", "txtSHR2", "txtSHRRes", "txtSHRResHex", "-5", "1", "-3",
       "FFFFFFFD"},
      {"Command27", "txtSHR1", "txtSHR2", "txtSHRRes", "txtSHRResHex", "", "", "0", "0"},
  };
  for (const Row& row : rows) {
    Box(row.first)->setText(row.a);
    if (row.second) Box(row.second)->setText(row.b);
    Box(row.decimal)->setText("sentinel");
    Box(row.hex)->setText("sentinel");
    Click(row.button);
    const QString name = QStringLiteral("%1 %2 %3").arg(row.button, row.a, row.b);
    EXPECT_EQ(Box(row.decimal)->text(), row.wantDecimal) << name.toStdString();
    EXPECT_EQ(Box(row.hex)->text(), row.wantHex) << name.toStdString();
    EXPECT_EQ(Box(row.first)->text(), row.a) << "operands are never written";
  }
}

// An empty operand: the click writes nothing, an earlier "INVALID" included.
TEST_F(ConversionTabTest, EmptyOperandChangesNothing) {
  Box("txtOr1")->setText("x");
  Box("txtOr2")->setText("1");
  Click("Command24");
  ASSERT_EQ(Box("txtOrRes")->text(), "INVALID");
  Box("txtOr1")->clear();
  Click("Command24");
  EXPECT_EQ(Box("txtOrRes")->text(), "INVALID");
  EXPECT_EQ(Box("txtOrResHex")->text(), "INVALID");
  Box("txtNotRes")->setText("kept");
  Click("Command28");
  EXPECT_EQ(Box("txtNotRes")->text(), "kept");
}

TEST_F(ConversionTabTest, ClearAllEmptiesTheTabOnlyOnYes) {
  const auto boxes = Get<QWidget>("SSTab1")->findChildren<SingleLineBox*>();
  std::vector<SingleLineBox*> calculator;
  for (SingleLineBox* box : boxes) {
    if (box->parentWidget() == Box("txtAnd1")->parentWidget()) calculator.push_back(box);
  }
  ASSERT_EQ(calculator.size(), 23u);
  for (SingleLineBox* box : calculator) box->setText("1");
  Get<SingleLineBox>("txtHashIn")->setText("other tab");

  for (auto answer : {QMessageBox::No, QMessageBox::Cancel}) {
    ClearAllAnswering(answer);
    for (SingleLineBox* box : calculator) EXPECT_EQ(box->text(), "1") << box->objectName().toStdString();
  }
  ClearAllAnswering(QMessageBox::Yes);
  for (SingleLineBox* box : calculator) EXPECT_EQ(box->text(), "") << box->objectName().toStdString();
  EXPECT_EQ(Get<SingleLineBox>("txtHashIn")->text(), "other tab");
}

}  // namespace
}  // namespace calvexa
