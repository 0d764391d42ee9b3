#include "base64tab.h"

#include "textbox.h"

namespace calvexa {
namespace {

struct NoCodec {};

TextEdit EditOf(const MultiLineBox& box) {
  const TextModel::Change& change = box.LastChange();
  return {change.position, change.removed, change.inserted};
}

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
  // Edited by hand, an output no longer holds what its update wrote: the next is done whole.
  connect(txtB64eOUT, &MultiLineBox::textChanged, this, [this] {
    if (!writing) encoding.Forget();
  });
  connect(txtB64dOUT, &MultiLineBox::textChanged, this, [this] {
    if (!writing) decoding.Forget();
  });
}

Base64& Base64Tab::Codec() {
  // After the unload objBase64 may be gone with the window: the statement fails and is skipped.
  if (unloaded) throw NoCodec{};
  if (!objBase64) objBase64 = std::make_unique<Base64>();
  return *objBase64;
}

OutputFrom Base64Tab::Into(MultiLineBox& out) {
  return [this, &out](std::size_t position, std::size_t reserve,
                      const std::function<void(std::u16string&)>& write) {
    writing = true;
    out.ReplaceFrom(position, reserve, write);
    writing = false;
  };
}

void Base64Tab::txtB64eIN_Change() {
  try {
    encoding.Update(Codec(), txtB64eIN->View(), EditOf(*txtB64eIN), Into(*txtB64eOUT));
  } catch (...) {
    // The output keeps its text; the next change does it whole.
    encoding.Forget();
  }
}

void Base64Tab::txtB64dIN_Change() {
  // Where only "=" signs and line breaks are left the output is emptied: an old result would
  // pass for this input's.
  try {
    decoding.Update(Codec(), txtB64dIN->View(), EditOf(*txtB64dIN), Into(*txtB64dOUT));
  } catch (...) {
    decoding.Forget();
  }
}

}  // namespace calvexa
