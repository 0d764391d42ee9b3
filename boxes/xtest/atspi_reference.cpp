// Qt's own boxes where the window has its own, for the screen reader test to compare with: the
// encoding input and output (the output shows the input in Base64, rewritten on every change)
// and the hash input line, each the size of the program's box, in the program's font and style.
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyleFactory>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) QApplication::setStyle(classic);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Qt's boxes"));
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(8.25);
  window.setFont(font);
  window.setFixedSize(674, 426);
  const auto textBox = [&](const QString& name, QRect at) {
    auto* box = new QPlainTextEdit(&window);
    box->setAccessibleName(name);
    box->setWordWrapMode(QTextOption::WrapAnywhere);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setGeometry(at);
    return box;
  };
  QPlainTextEdit* input = textBox(QStringLiteral("Encoding: Input"), QRect(16, 40, 313, 145));
  QPlainTextEdit* output = textBox(QStringLiteral("Encoding: Output"), QRect(344, 40, 313, 145));
  QObject::connect(input, &QPlainTextEdit::textChanged, output, [input, output] {
    output->setPlainText(QString::fromLatin1(input->toPlainText().toUtf8().toBase64()));
  });
  auto* line = new QLineEdit(&window);
  line->setAccessibleName(QStringLiteral("Hash: Input"));
  line->setGeometry(8, 220, 657, 19);
  window.show();
  return app.exec();
}
