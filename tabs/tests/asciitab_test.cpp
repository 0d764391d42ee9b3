#include "textbox.h"
#include <QPushButton>

#include "boxtext.h"
#include "guitest.h"

namespace calvexa {
namespace {

class AsciiTabTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SelectTab(2);
  }
  // Types the input, clicks the button and gives what the output box then holds.
  std::u16string Convert(const char* button, const std::u16string& text) {
    input->setText(QString::fromStdU16String(text));
    QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton);
    EXPECT_EQ(ReadLine(*input), text) << "the input box is never changed";
    return ReadBox(*output);
  }

  SingleLineBox* input = Get<SingleLineBox>("txtAHDIn");
  MultiLineBox* output = Get<MultiLineBox>("txtAHDOut");
};

struct Click {
  const char* button;
  std::u16string input;
  std::u16string output;
};

// A sentinel stands in the output first, so a handler that writes nothing fails the row.
TEST_F(AsciiTabTest, EveryButtonWritesItsResult) {
  const Click rows[] = {
      {"Command13", u"Hi!", u"48  69  21"},
      {"Command14", u"Hi!", u"72  105  33"},
      {"Command13", u"a\tb", u"61  9  62"},
      {"Command14", u"\u20AC\u00FF", u"128  255"},
      {"Command13", u"\u4E2D", u"3F"},
      {"Command13", u"", u""},
      {"Command15", u"255", u"FF"},
      {"Command15", u"-1", u"FFFFFFFF"},
      {"Command15", u"12abc",
       u"Invalid Input. This function can only use numbers 0-9. It cannot contain any letters or "
       u"symbols."},
      {"Command16", u"FFFF", u"-1"},
      {"Command16", u"10000", u"65536"},
      {"Command16", u"&HFF", u"0"},
      {"Command17", u"48,69", u"Hi"},
      {"Command17", u"41,100,42", u"AB"},
      {"Command17", u"100", u""},
      {"Command18", u"72, 105", u"Hi"},
      {"Command18", u"65.5", u"B"},
      {"Command18", u"abc", std::u16string(1, u'\0')},
  };
  for (const auto& row : rows) {
    WriteBox(*output, u"sentinel");
    EXPECT_EQ(Convert(row.button, row.input), row.output) << row.button;
  }
}

// Out of the 32-bit range, or past what a reading can hold: the output is emptied rather than
// left showing an older result.
TEST_F(AsciiTabTest, OutOfRangeEmptiesTheOutput) {
  WriteBox(*output, u"sentinel");
  EXPECT_EQ(Convert("Command15", u"2147483648"), u"");
  WriteBox(*output, u"sentinel");
  EXPECT_EQ(Convert("Command16", u"1FFFFFFFF"), u"");
}

// Any length converts whole, far past the old 16-bit counters.
TEST_F(AsciiTabTest, LongInputConvertsWhole) {
  const std::u16string text(40'000, u'A');
  const std::u16string out = Convert("Command14", text);
  EXPECT_EQ(out.size(), 40'000u * 4 - 2);
  EXPECT_TRUE(out.starts_with(u"65  65") && out.ends_with(u"65  65"));
  EXPECT_EQ(Convert("Command14", text), out) << "a second click gives the same, not more";
}

}  // namespace
}  // namespace calvexa
