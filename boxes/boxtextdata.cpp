#include "boxtextdata.h"

#include <string>

namespace calvexa {

QByteArray ClipboardUtf8(std::u16string_view text, bool lineBreaksAsLf) {
  // A piece at a time through a small buffer, where the line breaks become LF, then encoded as
  // QString encodes (a lone surrogate half becomes '?') and appended; a pair stays in one piece.
  constexpr std::size_t kPiece = 1 << 14;
  QByteArray out;
  out.reserve(static_cast<qsizetype>(2 * text.size()));  // pages are touched only as written
  std::u16string piece;
  piece.reserve(kPiece + 1);
  for (std::size_t at = 0; at < text.size();) {
    piece.clear();
    const std::size_t stop = std::min(text.size(), at + kPiece);
    for (; at < stop; ++at) {
      const char16_t c = text[at];
      if (lineBreaksAsLf && c == u'\r') {
        if (at + 1 < text.size() && text[at + 1] == u'\n') continue;
        piece += u'\n';
      } else {
        piece += c;
      }
    }
    if (!piece.empty() && piece.back() >= 0xD800 && piece.back() < 0xDC00 && at < text.size()) {
      piece += text[at++];  // the low half, if it is one, with its high half
    }
    out += QStringView(piece.data(), static_cast<qsizetype>(piece.size())).toUtf8();
  }
  return out;
}

BoxTextData::BoxTextData(const TextModel& source, std::size_t start, std::size_t end,
                         bool lineBreaksAsLf)
    : model(&source), from(start), to(end), asLf(lineBreaksAsLf) {}

BoxTextData::BoxTextData(QByteArray converted) : utf8(std::move(converted)) {}

void BoxTextData::Detach() { Utf8(); }

bool BoxTextData::Reads(const TextModel& source, std::size_t start, std::size_t end) const {
  return model == &source && from == start && to == end;
}

void BoxTextData::Converted(QByteArray converted) {
  utf8 = std::move(converted);
  model = nullptr;
}

QByteArray BoxTextData::Utf8() const {
  if (model) {
    utf8 = ClipboardUtf8(model->View().substr(from, to - from), asLf);
    model = nullptr;  // converted once, and the box no longer waits on it
  }
  return utf8;
}

bool BoxTextData::hasFormat(const QString& mimeType) const {
  return mimeType == QLatin1String("text/plain");
}

QStringList BoxTextData::formats() const { return {QStringLiteral("text/plain")}; }

QVariant BoxTextData::retrieveData(const QString& mimeType, QMetaType type) const {
  // QMimeData turns the bytes into a QString for a caller that asks for one.
  if (mimeType != QLatin1String("text/plain") && mimeType != QLatin1String("text/plain;charset=utf-8")) {
    return {};
  }
  (void)type;
  return Utf8();
}

}  // namespace calvexa
