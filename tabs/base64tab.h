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

  // The window is unloading and releases the codec for good: from now on a change leaves the
  // output boxes as they are, and never creates a codec the window would not release.
  void Unload() noexcept { unloaded = true; }

 private:
  Base64& Codec();

  bool unloaded = false;
  std::unique_ptr<Base64>& objBase64;
  MultiLineBox* txtB64eIN;
  MultiLineBox* txtB64eOUT;
  MultiLineBox* txtB64dIN;
  MultiLineBox* txtB64dOUT;
};

}  // namespace calvexa
