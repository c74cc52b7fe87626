#include "common/clsB64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quorvane {
namespace {

TEST(clsB64, KnownEncodings) {
  struct Row {
    const char* name;
    std::string bytes;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"empty", "", ""},
      {"one byte", "a", "YQ=="},
      {"two bytes", "ab", "YWI="},
      {"three bytes", "abc", "YWJj"},
      {"six bytes", "foobar", "Zm9vYmFy"},
      {"five bytes", "fooba", "Zm9vYmE="},
      {"high and zero bytes", std::string("\xff\xfe\x00\x3e\x3f", 5), "//4APj8="},
      {"alphabet ends", std::string("\xfb\xff", 2), "+/8="},
  };
  const clsB64 b64;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(b64.EncodeString(row.bytes), row.text);
    Expected<std::string> back = b64.DecodeString(row.text);
    ASSERT_TRUE(back.ok()) << back.status().description();
    EXPECT_EQ(*back, row.bytes);
  }
}

TEST(clsB64, ArrayInterfaceKeepsEveryByte) {
  std::string all;
  for (int v = 0; v < 256; ++v) all.push_back(static_cast<char>(v));
  clsB64 b64;
  b64.Init();  // a second Init is harmless
  std::vector<std::uint8_t> ary;
  clsB64::StrToAry(all, ary);
  ASSERT_EQ(ary.size(), 256u);
  EXPECT_EQ(ary[200], 200);
  std::vector<std::uint8_t> encoded;
  b64.Encode(ary, encoded);
  EXPECT_EQ(encoded.size(), 344u);  // 4 * 85 + 4
  std::vector<std::uint8_t> decoded;
  ASSERT_TRUE(b64.Decode(encoded, decoded).ok());
  std::string text;
  clsB64::AryToStr(decoded, text);
  EXPECT_EQ(text, all);
}

TEST(clsB64, RandomRoundTrips) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> byte(0, 255);
  const clsB64 b64;
  for (std::size_t size = 0; size < 300; ++size) {
    std::string in(size, '\0');
    for (char& c : in) c = static_cast<char>(byte(rng));
    const std::string text = b64.EncodeString(in);
    ASSERT_EQ(text.size(), (size + 2) / 3 * 4);
    Expected<std::string> back = b64.DecodeString(text);
    ASSERT_TRUE(back.ok());
    ASSERT_EQ(*back, in) << size;
  }
  std::string big(1 << 20, '\0');
  for (char& c : big) c = static_cast<char>(byte(rng));
  Expected<std::string> back = b64.DecodeString(b64.EncodeString(big));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, big);
}

TEST(clsB64, HostileText) {
  struct Row {
    const char* name;
    std::string text;
  };
  const std::vector<Row> rows = {
      {"one character", "Y"},
      {"three characters", "YQ="},
      {"five characters", "YWJjZ"},
      {"trailing line break", "YWJj\n"},
      {"line break inside", "YW\r\nJj"},
      {"blank inside", "YW Jj"},
      {"character outside the alphabet", "YW-j"},
      {"NUL inside", std::string("YW\0j", 4)},
      {"high byte", "YW\xe9j"},
      {"three padding characters", "Y==="},
      {"four padding characters", "===="},
      {"padding in the middle", "YQ==YWJj"},
      {"padding before a character", "YQ=a"},
      {"padding first in the group", "=WJj"},
  };
  const clsB64 b64;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expected<std::string> r = b64.DecodeString(row.text);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().number(), kErrB64Malformed);
    std::vector<std::uint8_t> in;
    clsB64::StrToAry(row.text, in);
    std::vector<std::uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(b64.Decode(in, out).ok());
    EXPECT_TRUE(out.empty());
  }
}

}  // namespace
}  // namespace quorvane
