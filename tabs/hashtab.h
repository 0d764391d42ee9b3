#pragma once
// The "Hash" tab: sixteen buttons, each hashing the input box's Windows-1252 bytes with one
// algorithm of the hashing component and showing the digest in the result box.

#include <QObject>
#include <cstdint>
#include <vector>

class QWidget;

namespace calvexa {

class SingleLineBox;
class MultiLineBox;

class HashTab : public QObject {
 public:
  explicit HashTab(QWidget& form);

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  void Command8_Click();
  void Command9_Click();
  void Command10_Click();
  void Command11_Click();
  void Command12_Click();
  void Command19_Click();
  void Command20_Click();
  void Command21_Click();
  void Command22_Click();

 private:
  // Replaces the result with the digest of the whole input; on any failure the result box
  // keeps its text. The input box is never changed.
  void ShowHash(int algorithm);

  SingleLineBox* txtHashIn;
  MultiLineBox* txtHashOut;
  std::vector<std::uint8_t> bytInput;  // the input's bytes, its buffer reused from click to click
};

}  // namespace calvexa
