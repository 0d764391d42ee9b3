#pragma once
// The "Base 64" tab: every change of an input box shows its whole text's Base64, or what its
// Base64 decodes to, in the output box beside it. Only the part of the output that the change
// reaches is computed and written again.

#include <QObject>
#include <memory>

#include "base64.h"
#include "incremental64.h"

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
  // Writes through out's ReplaceFrom, as the incremental updates do.
  OutputFrom Into(MultiLineBox& out);

  bool unloaded = false;
  bool writing = false;  // an output box's change is the tab's own
  IncrementalEncode64 encoding;
  IncrementalDecode64 decoding;
  std::unique_ptr<Base64>& objBase64;
  MultiLineBox* txtB64eIN;
  MultiLineBox* txtB64eOUT;
  MultiLineBox* txtB64dIN;
  MultiLineBox* txtB64dOUT;
};

}  // namespace calvexa
