#pragma once
// Texts of the window's boxes as the handlers see them.
//
// A multi-line box stores a line break as a paragraph separator (Enter) or a line separator
// (Shift+Enter); handlers see either as CR LF. Reading is lossless: a no-break space stays one
// (QPlainTextEdit::toPlainText would turn it into a plain space). Writing shows CR LF, a lone CR
// and a lone LF as line breaks.

#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace calvexa {

std::u16string ReadBox(const QPlainTextEdit& box);
void WriteBox(QPlainTextEdit& box, const std::u16string& text);

std::u16string ReadLine(const QLineEdit& box);
void WriteLine(QLineEdit& box, const std::u16string& text);

}  // namespace calvexa
