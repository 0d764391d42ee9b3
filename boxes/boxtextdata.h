#pragma once
// A box's text as the clipboard and the X11 primary selection offer it: as Qt's boxes copy it,
// every line break as one LF, and as other programs on X read it, UTF-8. It is converted once,
// straight from the box's characters into UTF-8, when it is first asked for (or at once, for
// the clipboard), never through a QString of its own.

#include <QByteArray>
#include <QMimeData>
#include <QStringList>
#include <string_view>

#include "textmodel.h"

namespace calvexa {

// The characters as UTF-8; with lineBreaksAsLf every line break (CR LF, a lone CR or a lone
// LF) one LF, as a multi-line box copies them (a line box copies its text as it is).
QByteArray ClipboardUtf8(std::u16string_view text, bool lineBreaksAsLf);

class BoxTextData : public QMimeData {
  Q_OBJECT

 public:
  // [from, to) of the model's text, read only when someone asks for it. The model must stay
  // unchanged until Detach() (its box detaches every such object before it changes its text).
  BoxTextData(const TextModel& model, std::size_t from, std::size_t to, bool lineBreaksAsLf);
  explicit BoxTextData(QByteArray utf8);

  // Converts the characters now if nobody asked for them yet, and no longer reads the model.
  void Detach();
  // Whether this offers [from, to) of model, still unconverted.
  bool Reads(const TextModel& model, std::size_t from, std::size_t to) const;
  // Takes bytes already converted from the same characters.
  void Converted(QByteArray utf8);
  QByteArray Utf8() const;

  bool hasFormat(const QString& mimeType) const override;
  QStringList formats() const override;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  mutable const TextModel* model = nullptr;  // null once converted
  std::size_t from = 0, to = 0;
  bool asLf = true;
  mutable QByteArray utf8;
};

}  // namespace calvexa
