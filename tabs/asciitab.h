#pragma once
// The "ASCII - Hex - Decimal" tab: six buttons, each turning the input box's text into the
// output box's text.

#include <QObject>

class QWidget;

namespace calvexa {

class SingleLineBox;
class MultiLineBox;

class AsciiTab : public QObject {
 public:
  explicit AsciiTab(QWidget& form);

  void Command13_Click();  // "Char(s) > Hex"
  void Command14_Click();  // "Char(s) > Dec"
  void Command15_Click();  // "Dec > Hex"
  void Command16_Click();  // "Hex > Dec"
  void Command17_Click();  // "Hex > Char(s)"
  void Command18_Click();  // "Dec > Char(s)"

 private:
  // Replaces the output with convert(input); on any failure the output keeps its text.
  template <typename Convert>
  void Show(Convert convert);

  SingleLineBox* txtAHDIn;
  MultiLineBox* txtAHDOut;
};

}  // namespace calvexa
