#pragma once
// The "Conversion" tab: a bitwise calculator, one row per operator with its operand boxes, a
// decimal and a hexadecimal result box, and "Clear All".

#include <QObject>
#include <optional>
#include <vector>

#include "numtext.h"

class QWidget;

namespace calvexa {

class SingleLineBox;

class ConversionTab : public QObject {
 public:
  explicit ConversionTab(QWidget& form);

  void Command23_Click();  // "AND"
  void Command24_Click();  // "OR"
  void Command25_Click();  // "XOR"
  void Command26_Click();  // "SHL"
  void Command27_Click();  // "SHR"
  void Command28_Click();  // "NOT"
  void Command29_Click();  // "Clear All"

 private:
  struct Row {
    SingleLineBox* first;
    SingleLineBox* second;  // nullptr for "NOT"
    SingleLineBox* decimal;
    SingleLineBox* hex;
  };
  // Runs one operator: nothing is written when it gives no result (an empty operand); any
  // failure, its own or an unexpected one, ends in "INVALID" in both result boxes. The operand
  // boxes are never written.
  template <typename Operate>
  void Calculate(const Row& row, Operate operate);

  QWidget& form;
  Row rowAnd, rowOr, rowXor, rowShl, rowShr, rowNot;
  std::vector<SingleLineBox*> allBoxes;  // in the order "Clear All" empties them
};

}  // namespace calvexa
