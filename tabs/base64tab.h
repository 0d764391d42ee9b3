#pragma once
// The "Base 64" tab: both input boxes re-encode or re-decode their whole text on every change.

#include <QObject>
#include <memory>

#include "base64.h"

class QWidget;

namespace calvexa {

class MultiLineBox;

class Base64Tab : public QObject {
 public:
  // Finds the tab's boxes among form's children by name. The codec lives in objBase64, which the
  // window owns: it stays empty until the first change of either input box.
  Base64Tab(QWidget& form, std::unique_ptr<Base64>& objBase64);

  void txtB64eIN_Change();
  void txtB64dIN_Change();

 private:
  Base64& Codec();

  std::unique_ptr<Base64>& objBase64;
  MultiLineBox* txtB64eIN;
  MultiLineBox* txtB64eOUT;
  MultiLineBox* txtB64dIN;
  MultiLineBox* txtB64dOUT;
};

}  // namespace calvexa
