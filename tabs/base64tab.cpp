#include "base64tab.h"

#include "textbox.h"

#include "boxtext.h"

namespace calvexa {
namespace {

struct NoCodec {};

}  // namespace

Base64Tab::Base64Tab(QWidget& form, std::unique_ptr<Base64>& codec)
    : QObject(&form),
      objBase64(codec),
      txtB64eIN(form.findChild<MultiLineBox*>("txtB64eIN")),
      txtB64eOUT(form.findChild<MultiLineBox*>("txtB64eOUT")),
      txtB64dIN(form.findChild<MultiLineBox*>("txtB64dIN")),
      txtB64dOUT(form.findChild<MultiLineBox*>("txtB64dOUT")) {
  connect(txtB64eIN, &MultiLineBox::textChanged, this, &Base64Tab::txtB64eIN_Change);
  connect(txtB64dIN, &MultiLineBox::textChanged, this, &Base64Tab::txtB64dIN_Change);
}

Base64& Base64Tab::Codec() {
  // After the unload objBase64 may be gone with the window: the statement fails and is skipped.
  if (unloaded) throw NoCodec{};
  if (!objBase64) objBase64 = std::make_unique<Base64>();
  return *objBase64;
}

void Base64Tab::txtB64eIN_Change() {
  try {
    WriteBox(*txtB64eOUT, Codec().Encode64(ReadBox(*txtB64eIN)));
  } catch (...) {
    // The output keeps its text; the next change tries again.
  }
}

void Base64Tab::txtB64dIN_Change() {
  try {
    WriteBox(*txtB64dOUT, Codec().Decode64(ReadBox(*txtB64dIN)));
  } catch (const Base64DecodeError&) {
    // Only "=" signs and line breaks are left: an old result would pass for this input's.
    try {
      txtB64dOUT->clear();
    } catch (...) {
      // Out of memory even for that: nothing may leave the slot.
    }
  } catch (...) {
  }
}

}  // namespace calvexa
