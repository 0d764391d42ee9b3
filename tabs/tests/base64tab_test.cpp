#include "textbox.h"
#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>

#include "boxtext.h"
#include "guitest.h"

namespace calvexa {
namespace {

class Base64TabTest : public WindowTest {
 protected:
  std::u16string EncodeOut() { return ReadBox(*encodeOut); }
  std::u16string DecodeOut() { return ReadBox(*decodeOut); }

  MultiLineBox* encodeIn = Get<MultiLineBox>("txtB64eIN");
  MultiLineBox* encodeOut = Get<MultiLineBox>("txtB64eOUT");
  MultiLineBox* decodeIn = Get<MultiLineBox>("txtB64dIN");
  MultiLineBox* decodeOut = Get<MultiLineBox>("txtB64dOUT");
};

TEST_F(Base64TabTest, EncodesAsTheUserTypes) {
  EXPECT_EQ(form.Codec(), nullptr);
  QTest::keyClick(encodeIn, 'A');
  EXPECT_NE(form.Codec(), nullptr);
  EXPECT_EQ(EncodeOut(), u"QQ==");
  QTest::keyClick(encodeIn, 'B');
  EXPECT_EQ(EncodeOut(), u"QUI=");
  QTest::keyClick(encodeIn, 'C');
  EXPECT_EQ(EncodeOut(), u"QUJD");
  QTest::keyClick(encodeIn, Qt::Key_Backspace);
  QTest::keyClick(encodeIn, Qt::Key_Backspace);
  QTest::keyClick(encodeIn, Qt::Key_Backspace);
  EXPECT_EQ(EncodeOut(), u"");
}

TEST_F(Base64TabTest, LineBreaksEncodeAsCrLf) {
  QTest::keyClicks(encodeIn, "A");
  QTest::keyClick(encodeIn, Qt::Key_Return);
  EXPECT_EQ(ReadBox(*encodeIn), u"A\r\n");
  EXPECT_EQ(EncodeOut(), u"QQ0K");  // 41 0D 0A
  QTest::keyClick(encodeIn, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(EncodeOut(), u"QQ0KDQo=");  // 41 0D 0A 0D 0A
  // Torn down with the window, the tab bar goes first, after the codec: a change then is ignored.
  QObject::connect(Tabs(), &QObject::destroyed, [box = encodeIn] { emit box->textChanged(); });
}

TEST_F(Base64TabTest, CharactersGoThroughTheCodePage) {
  TypeChar(encodeIn, u'\u00A0');
  EXPECT_EQ(EncodeOut(), u"oA==");  // the no-break space stays byte A0, not a plain space
  encodeIn->clear();
  TypeChar(encodeIn, u'\u20AC');
  EXPECT_EQ(EncodeOut(), u"gA==");
  encodeIn->clear();
  TypeChar(encodeIn, u'\u4E2D');
  EXPECT_EQ(EncodeOut(), u"Pw==");
}

TEST_F(Base64TabTest, FiftyEightCharactersMakeTwoLines) {
  QTest::keyClicks(encodeIn, QString(58, QChar('x')));
  const std::u16string out = EncodeOut();
  ASSERT_EQ(out.size(), 82u);
  EXPECT_EQ(out.substr(76, 2), u"\r\n");
  EXPECT_EQ(std::count(out.begin(), out.end(), u'\n'), 1);
}

TEST_F(Base64TabTest, TabKeyInAMultiLineBoxMovesFocusOn) {
  encodeIn->setFocus();
  QTest::keyClick(encodeIn, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), encodeOut);
  EXPECT_EQ(ReadBox(*encodeIn), u"");
}

TEST_F(Base64TabTest, DecodesAsTheUserTypes) {
  QTest::keyClicks(decodeIn, "Q");
  EXPECT_EQ(DecodeOut(), u"");
  QTest::keyClicks(decodeIn, "Q");
  EXPECT_EQ(DecodeOut(), u"A");
  decodeIn->clear();
  QTest::keyClicks(decodeIn, "QQ");
  QTest::keyClick(decodeIn, Qt::Key_Return);
  QTest::keyClicks(decodeIn, "==");
  EXPECT_EQ(DecodeOut(), u"A");
  decodeIn->clear();
  QTest::keyClicks(decodeIn, "----");
  EXPECT_EQ(DecodeOut(), std::u16string(3, u'\0'));
}

// Only "=" signs left: the output is emptied rather than keep a result for other input.
TEST_F(Base64TabTest, DecodingBoxEmptiedWhenOnlyPaddingIsLeft) {
  QTest::keyClicks(decodeIn, "QQ==");
  EXPECT_EQ(DecodeOut(), u"A");
  decodeIn->Select(0, 2);
  QTest::keyClick(decodeIn, Qt::Key_Delete);
  EXPECT_EQ(ReadBox(*decodeIn), u"==");
  EXPECT_EQ(DecodeOut(), u"");

  WriteBox(*decodeOut, u"sentinel");
  QTest::keyClick(decodeIn, Qt::Key_Return);
  EXPECT_EQ(DecodeOut(), u"");
}

TEST_F(Base64TabTest, FramesAndOutputBoxesAreIndependent) {
  QTest::keyClicks(encodeIn, "abc");
  QTest::keyClicks(encodeOut, "typed");
  EXPECT_EQ(ReadBox(*encodeIn), u"abc");
  EXPECT_EQ(DecodeOut(), u"");
  EXPECT_EQ(ReadBox(*decodeIn), u"");
  QTest::keyClicks(decodeIn, "YWJj");
  EXPECT_EQ(DecodeOut(), u"abc");
  EXPECT_EQ(EncodeOut(), u"typedYWJj");  // typed at the start of the old result
  QTest::keyClicks(encodeIn, "d");
  EXPECT_EQ(EncodeOut(), u"YWJjZA==");  // the next result replaces whatever was typed there
}

TEST_F(Base64TabTest, PastedLineBreaksOfAnyKindReadAsCrLf) {
  QGuiApplication::clipboard()->setText(QStringLiteral("QU\r\nJD"));
  decodeIn->paste();
  EXPECT_EQ(DecodeOut(), u"ABC");
  // What a handler writes is kept exactly, each kind of break shown as a line break.
  WriteBox(*encodeOut, u"a\rb\nc\r\nd");
  EXPECT_EQ(EncodeOut(), u"a\rb\nc\r\nd");
  EXPECT_EQ(encodeOut->Model().RowCount(), 4u);
}

}  // namespace
}  // namespace calvexa
