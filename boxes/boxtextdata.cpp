#include "boxtextdata.h"

#include <QStringEncoder>

namespace calvexa {
namespace {

// Hands take the characters as a box copies them, in pieces that are views of text: with
// lineBreaksAsLf each CR LF goes as its LF and a lone CR as an LF. A piece ends only before a
// CR, so a surrogate pair is never cut.
template <typename Take>
void CopiedPieces(std::u16string_view text, bool lineBreaksAsLf, Take take) {
  std::size_t start = 0;
  if (lineBreaksAsLf) {
    static constexpr char16_t kLf[] = u"\n";
    for (std::size_t cr = text.find(u'\r'); cr != std::u16string_view::npos; cr = text.find(u'\r', start)) {
      take(text.substr(start, cr - start));
      start = cr + 1;
      if (start == text.size() || text[start] != u'\n') take(std::u16string_view(kLf, 1));
    }
  }
  take(text.substr(start));
}

bool IsAscii(std::u16string_view text) {
  // A block at a time, each folded into one word that the compiler can vectorise.
  constexpr std::size_t kBlock = 256;
  for (std::size_t at = 0; at < text.size(); at += kBlock) {
    char16_t any = 0;
    for (const char16_t c : text.substr(at, kBlock)) any |= c;
    if (any >= 0x80) return false;
  }
  return true;
}

QStringView ToView(std::u16string_view piece) {
  return QStringView(piece.data(), static_cast<qsizetype>(piece.size()));
}

}  // namespace

QByteArray ClipboardUtf8(std::u16string_view text, bool lineBreaksAsLf) {
  // Encoded by Qt's encoder straight into the result. A lone surrogate half becomes '?', as
  // QString's toUtf8 (what Qt sends of its own boxes' copies) has it; the encoder alone would
  // write U+FFFD. A character takes at most three bytes (a pair's four are two characters'
  // worth); the pages past what is written are never touched.
  QByteArray out;
  out.resize(static_cast<qsizetype>(3 * text.size()));
  char* at = out.data();
  QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  const auto encode = [&](std::u16string_view piece) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < piece.size(); ++i) {
      const char16_t c = piece[i];
      if ((c & 0xF800) != 0xD800) continue;
      if (c < 0xDC00 && i + 1 < piece.size() && (piece[i + 1] & 0xFC00) == 0xDC00) {
        ++i;  // a pair
        continue;
      }
      at = encoder.appendToBuffer(at, ToView(piece.substr(start, i - start)));
      *at++ = '?';
      start = i + 1;
    }
    at = encoder.appendToBuffer(at, ToView(piece.substr(start)));
  };
  CopiedPieces(text, lineBreaksAsLf, encode);
  out.truncate(at - out.constData());
  return out;
}

QString ClipboardText(std::u16string_view text, bool lineBreaksAsLf) {
  QString out;
  out.reserve(static_cast<qsizetype>(text.size()));
  CopiedPieces(text, lineBreaksAsLf, [&](std::u16string_view piece) { out.append(ToView(piece)); });
  return out;
}

struct BoxTextData::Characters {
  const TextModel* model = nullptr;  // while they are read from the model
  std::size_t from = 0, to = 0;
  bool asLf = true;
  std::u16string copied;  // once copied out of the model
  bool converted = false;
  QByteArray utf8;

  std::u16string_view View() const {
    return model ? model->View().substr(from, to - from) : std::u16string_view(copied);
  }
};

BoxTextData::BoxTextData(const TextModel& source, std::size_t start, std::size_t end,
                         bool lineBreaksAsLf)
    : characters(std::make_shared<Characters>()) {
  characters->model = &source;
  characters->from = start;
  characters->to = end;
  characters->asLf = lineBreaksAsLf;
}

BoxTextData::BoxTextData(const BoxTextData* same) : characters(same->characters) {}

BoxTextData::~BoxTextData() = default;

void BoxTextData::Detach() {
  Characters& c = *characters;
  if (!c.model) return;
  // Kept in the smaller form that is quick to make: ASCII as its UTF-8 (half the memory, and
  // the encoder's fast path), anything else as a copy of the characters (converting those
  // takes several times as long as copying them). Converted characters need nothing: the UTF-8
  // is what other programs read, and what this program's own readers get from then on.
  if (!c.converted) {
    if (IsAscii(c.View())) {
      Utf8();
    } else {
      c.copied = std::u16string(c.View());
    }
  }
  c.model = nullptr;
}

bool BoxTextData::Reads(const TextModel& source, std::size_t start, std::size_t end) const {
  const Characters& c = *characters;
  return c.model == &source && c.from == start && c.to == end;
}

QByteArray BoxTextData::Utf8() const {
  Characters& c = *characters;
  if (!c.converted) {
    c.utf8 = ClipboardUtf8(c.View(), c.asLf);
    c.converted = true;
    c.copied = std::u16string();  // read from the UTF-8 from now on
  }
  return c.utf8;
}

QString BoxTextData::Text() const {
  const Characters& c = *characters;
  if (c.converted && !c.model) return QString::fromUtf8(c.utf8);
  return ClipboardText(c.View(), c.asLf);
}

bool BoxTextData::hasFormat(const QString& mimeType) const {
  return mimeType == QLatin1String("text/plain");
}

QStringList BoxTextData::formats() const { return {QStringLiteral("text/plain")}; }

QVariant BoxTextData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType != QLatin1String("text/plain") && mimeType != QLatin1String("text/plain;charset=utf-8")) {
    return {};
  }
  // This program's readers (a paste, a drop) ask for a QString; Qt sends other programs bytes.
  // Out of memory, the reader gets nothing rather than an exception inside Qt's event handling.
  try {
    if (type.id() == QMetaType::QString) return Text();
    return Utf8();
  } catch (...) {
    return {};
  }
}

}  // namespace calvexa
