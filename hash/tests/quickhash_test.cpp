#include "quickhash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <locale>
#include <map>
#include <memory>
#include <sstream>

namespace calvexa {
namespace {

// The component's numbers, written out once more here so that a slip in its table shows.
const std::map<std::string, int> kNumberOf = {
    {"MD5", 0},         {"SHA-1", 1},       {"SHA-256", 2},     {"SHA-512", 3},
    {"SHA-384", 4},     {"Tiger", 5},       {"Panama", 6},      {"RIPEMD-160", 7},
    {"MD4", 8},         {"MD2", 9},         {"Crc32", 10},      {"SHA-224", 11},
    {"RIPEMD-128", 12}, {"RIPEMD-256", 13}, {"RIPEMD-320", 14}, {"Crc16", 15},
    {"Crc16b", 16},
};

struct Vector {
  std::string name;  // algorithm and message, for the test's name
  int algorithm;
  std::string message;
  std::u16string digest;
};

void PrintTo(const Vector& v, std::ostream* os) { *os << v.name; }

std::vector<Vector> LoadVectors() {
  std::vector<Vector> vectors;
  for (const char* file : {"digests.tsv", "digests_more.tsv"}) {
    std::ifstream in(std::string(CALVEXA_HASH_VECTORS_DIR) + "/" + file);
    std::string line, algorithm, message, hex;
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::getline(fields, algorithm, '\t');
      std::getline(fields, message, '\t');
      std::getline(fields, hex, '\t');
      if (line.starts_with('#') || !kNumberOf.contains(algorithm)) continue;
      std::string name = algorithm + "_" + (message.empty() ? "empty" : message.substr(0, 24));
      const auto odd = [](char c) { return !std::isalnum(c, std::locale::classic()); };
      std::replace_if(name.begin(), name.end(), odd, '_');
      vectors.push_back({name + "_" + std::to_string(vectors.size()), kNumberOf.at(algorithm),
                         message, std::u16string(hex.begin(), hex.end())});
    }
  }
  return vectors;
}

const std::vector<Vector>& Vectors() {
  static const std::vector<Vector> vectors = LoadVectors();
  return vectors;
}

// The entry point's result as a text; null (out of memory) fails the test.
std::u16string Call(int algorithm, const char* ansi, int length) {
  const std::unique_ptr<char16_t, void (*)(char16_t*) noexcept> text(
      QuickHashText(algorithm, ansi, length), &QuickHashFree);
  EXPECT_NE(text, nullptr);
  return text ? std::u16string(text.get()) : u"<null>";
}

std::vector<std::uint8_t> BytesOf(const std::string& s) { return {s.begin(), s.end()}; }

class PublishedVector : public testing::TestWithParam<Vector> {};

TEST_P(PublishedVector, ThroughEntryPointAndWrapper) {
  const Vector& v = GetParam();
  // Messages are read literally: a row with an escape would hash the wrong bytes.
  ASSERT_EQ(v.message.find('\\'), std::string::npos);
  EXPECT_EQ(HashText(v.algorithm, BytesOf(v.message)), v.digest);
  // The same message cut from a longer zero-terminated buffer, by length and by terminator.
  const std::string buffer = v.message + '\0' + "tail";
  EXPECT_EQ(Call(v.algorithm, buffer.c_str(), static_cast<int>(v.message.size())), v.digest);
  EXPECT_EQ(Call(v.algorithm, buffer.c_str(), -1), v.digest);
  // A zero byte counted by the length is hashed. (Leading zeros do not move a CRC that starts
  // at 0, so the empty message proves nothing there.)
  if (!v.message.empty()) {
    EXPECT_NE(Call(v.algorithm, buffer.c_str(), static_cast<int>(v.message.size()) + 1),
              v.digest);
  }
  EXPECT_NE(HashText(v.algorithm, BytesOf(buffer)), v.digest);
}

INSTANTIATE_TEST_SUITE_P(Data, PublishedVector, testing::ValuesIn(Vectors()),
                         [](const auto& info) { return info.param.name; });

TEST(QuickHash, EveryAlgorithmHasThreePublishedVectors) {
  std::map<int, int> count;
  for (const Vector& v : Vectors()) ++count[v.algorithm];
  for (int algorithm = 0; algorithm <= 16; ++algorithm) {
    EXPECT_GE(count[algorithm], 3) << "algorithm " << algorithm;
  }
}

TEST(QuickHash, InvalidCallsGiveTheEmptyText) {
  struct Row { int algorithm; const char* ansi; int length; };
  const Row rows[] = {
      {-1, "abc", -1},     {17, "abc", -1},  {INT_MIN, "abc", 3}, {INT_MAX, "abc", 3},
      {0, "abc", -2},      {0, "abc", INT_MIN}, {16, "", -2},
      {0, nullptr, 1},     // nothing to read the byte from
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Call(row.algorithm, row.ansi, row.length), u"")
        << row.algorithm << " / " << row.length;
  }
  EXPECT_EQ(HashText(17, BytesOf("abc")), u"");
}

TEST(QuickHash, NullOrEmptyInputIsTheEmptyMessage) {
  for (const Vector& v : Vectors()) {
    if (!v.message.empty()) continue;
    EXPECT_EQ(Call(v.algorithm, nullptr, 0), v.digest) << v.name;
    EXPECT_EQ(Call(v.algorithm, nullptr, -1), v.digest) << v.name;
    EXPECT_EQ(HashText(v.algorithm, {}), v.digest) << v.name;
  }
}

}  // namespace
}  // namespace calvexa
