#include "boxtext.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace calvexa {

std::u16string ReadBox(const QPlainTextEdit& box) {
  const QString raw = box.document()->toRawText();
  const auto* s = reinterpret_cast<const char16_t*>(raw.constData());
  const qsizetype n = raw.size();
  qsizetype breaks = 0;
  for (qsizetype i = 0; i < n; ++i) breaks += (s[i] == u'\u2029' || s[i] == u'\u2028');
  if (breaks == 0) return std::u16string(s, static_cast<std::size_t>(n));

  std::u16string text(static_cast<std::size_t>(n + breaks), u'\0');
  char16_t* o = text.data();
  for (qsizetype i = 0; i < n; ++i) {
    if (s[i] == u'\u2029' || s[i] == u'\u2028') {
      *o++ = u'\r';
      *o++ = u'\n';
    } else {
      *o++ = s[i];
    }
  }
  return text;
}

void WriteBox(QPlainTextEdit& box, const std::u16string& text) {
  // The document turns CR LF, CR and LF alike into paragraph breaks.
  box.setPlainText(QString::fromStdU16String(text));
}

std::u16string ReadLine(const QLineEdit& box) { return box.text().toStdU16String(); }

void WriteLine(QLineEdit& box, const std::u16string& text) {
  box.setText(QString::fromStdU16String(text));
}

}  // namespace calvexa
