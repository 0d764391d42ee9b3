#include "textbox.h"
#include <QPushButton>
#include <fstream>
#include <map>
#include <sstream>

#include "boxtext.h"
#include "guitest.h"
#include "quickhash.h"

namespace calvexa {
namespace {

// Published digests of "abc" (and of "123456789" where no "abc" vector is published), by the
// algorithm names of the vector file.
std::map<std::string, std::pair<std::string, std::string>> PublishedVectors() {
  std::map<std::string, std::pair<std::string, std::string>> vectors;
  std::ifstream file(CALVEXA_HASH_VECTORS_DIR "/digests.tsv");
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream row(line);
    std::string algorithm, message, digest;
    std::getline(row, algorithm, '\t');
    std::getline(row, message, '\t');
    std::getline(row, digest, '\t');
    if (message == "abc" || (message == "123456789" && !vectors.count(algorithm))) {
      vectors[algorithm] = {message, digest};
    }
  }
  return vectors;
}

class HashTabTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SelectTab(1);
  }
  void Click(const char* button) { QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton); }
  std::u16string Result() { return ReadBox(*output); }

  SingleLineBox* input = Get<SingleLineBox>("txtHashIn");
  MultiLineBox* output = Get<MultiLineBox>("txtHashOut");
};

TEST_F(HashTabTest, EveryButtonShowsItsPublishedDigest) {
  const std::pair<const char*, const char*> buttons[] = {
      {"Command1", "MD2"},         {"Command2", "MD4"},         {"Command3", "MD5"},
      {"Command4", "SHA-1"},       {"Command5", "SHA-256"},     {"Command6", "SHA-384"},
      {"Command19", "SHA-512"},    {"Command20", "RIPEMD-128"}, {"Command7", "RIPEMD-160"},
      {"Command8", "RIPEMD-256"},  {"Command9", "RIPEMD-320"},  {"Command10", "Panama"},
      {"Command11", "Tiger"},      {"Command12", "Crc16"},      {"Command21", "Crc16b"},
      {"Command22", "Crc32"},
  };
  const auto vectors = PublishedVectors();
  for (const auto& [button, algorithm] : buttons) {
    ASSERT_TRUE(vectors.count(algorithm)) << algorithm;
    const auto& [message, digest] = vectors.at(algorithm);
    input->setText(QString::fromStdString(message));
    WriteBox(*output, u"sentinel");
    Click(button);
    EXPECT_EQ(Result(), std::u16string(digest.begin(), digest.end())) << button << " " << algorithm;
    EXPECT_EQ(input->text().toStdString(), message) << button;
  }
}

TEST_F(HashTabTest, OnlyTheLatestResultIsShown) {
  input->setText("abc");
  Click("Command3");
  Click("Command4");
  EXPECT_EQ(Result(), u"a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST_F(HashTabTest, HashesWindows1252BytesOfEveryCharacter) {
  // The empty box is the empty message.
  input->clear();
  Click("Command3");
  EXPECT_EQ(Result(), u"d41d8cd98f00b204e9800998ecf8427e");

  input->setText(QString(QChar(0x00E9)));  // é is one byte, E9, not two bytes of UTF-8
  Click("Command22");
  const std::u16string eAcute = Result();
  EXPECT_EQ(eAcute, HashText(kHashCrc32, {0xE9}));
  input->setText(QString(QChar(0x4E2D)));  // outside the code page: hashed as "?"
  Click("Command22");
  const std::u16string outside = Result();
  input->setText("?");
  Click("Command22");
  EXPECT_EQ(Result(), outside);
  EXPECT_NE(eAcute, outside);
}

// A character 0 is hashed like any other byte: the text is not cut short there.
TEST_F(HashTabTest, CharacterZeroIsHashed) {
  input->setText(QString::fromUtf16(u"a\0b", 3));
  Click("Command22");
  const std::u16string withZero = Result();
  input->setText("a");
  Click("Command22");
  EXPECT_NE(withZero, Result());
}

TEST_F(HashTabTest, TypingComputesNothing) {
  input->setText("abc");
  Click("Command3");
  QTest::keyClicks(input, "def");
  EXPECT_EQ(Result(), u"900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
}  // namespace calvexa
