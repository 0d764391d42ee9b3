#pragma once
// A box's text as the clipboard, the X11 primary selection and a drag offer it: as Qt's boxes
// copy it (a multi-line box every line break as one LF), to Qt's own readers in this program as a
// QString (as Qt's boxes hand it over, a lone surrogate half kept) and to other programs on X as
// UTF-8 (as Qt encodes a QString, a lone half '?'). Nothing is copied or converted when it is
// offered: the characters are read from the box's text when someone first asks for them, and
// copied out of it only if the box is about to change its text before anyone asked.

#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <string_view>

#include "textmodel.h"

namespace calvexa {

// The characters as a box copies them, as UTF-8; with lineBreaksAsLf every line break (CR LF, a
// lone CR or a lone LF) one LF, as a multi-line box copies them (a line box copies its text as
// it is).
QByteArray ClipboardUtf8(std::u16string_view text, bool lineBreaksAsLf);
// The same characters as a QString.
QString ClipboardText(std::u16string_view text, bool lineBreaksAsLf);

class BoxTextData : public QMimeData {
  Q_OBJECT

 public:
  // [from, to) of the model's text, read only when someone asks for it. The model must stay
  // unchanged until Detach() (its box detaches every such object before it changes its text).
  BoxTextData(const TextModel& model, std::size_t from, std::size_t to, bool lineBreaksAsLf);
  // Offers what same offers (the clipboard beside the primary selection): the two share one
  // copy of the characters and each conversion of them.
  explicit BoxTextData(const BoxTextData* same);
  ~BoxTextData() override;

  // Copies the characters out of the model now if they are still read from it and not yet
  // converted; the model is read no more.
  void Detach();
  // Whether this offers [from, to) of model, still read from it.
  bool Reads(const TextModel& model, std::size_t from, std::size_t to) const;
  QByteArray Utf8() const;
  QString Text() const;

  bool hasFormat(const QString& mimeType) const override;
  QStringList formats() const override;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  struct Characters;
  std::shared_ptr<Characters> characters;
};

}  // namespace calvexa
