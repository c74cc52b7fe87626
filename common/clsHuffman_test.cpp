#include "common/clsHuffman.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace quorvane {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// Packs a text of '0'/'1' characters, first bit into bit 0.
std::string packBits(std::string_view bits) {
  std::string out((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] = static_cast<char>(out[i / 8] | (1 << (i % 8)));
  }
  return out;
}

struct Symbol {
  int value;
  int length;
};

// A hand-made "HE3" container.
std::string container(int check, std::uint32_t length, const std::vector<Symbol>& table,
                      std::string_view codeBits, std::string_view dataBits, int symbolCount = -1) {
  std::string s = "HE3\r";
  s.push_back(static_cast<char>(check));
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  const int count = symbolCount >= 0 ? symbolCount : static_cast<int>(table.size());
  s.push_back(static_cast<char>(count & 0xFF));
  s.push_back(static_cast<char>((count >> 8) & 0xFF));
  for (const Symbol& sym : table) {
    s.push_back(static_cast<char>(sym.value));
    s.push_back(static_cast<char>(sym.length));
  }
  s += packBits(codeBits);
  s += packBits(dataBits);
  return s;
}

// Reads the code of every symbol back out of a compressed container.
std::map<char, std::string> codesOf(const std::string& c) {
  std::map<char, std::string> codes;
  const auto* p = reinterpret_cast<const unsigned char*>(c.data());
  const int symbols = p[9] | (p[10] << 8);
  std::size_t bit = 0;
  const std::size_t codeStart = 11 + 2 * static_cast<std::size_t>(symbols);
  for (int i = 0; i < symbols; ++i) {
    std::string code;
    for (int k = 0; k < p[12 + 2 * i]; ++k, ++bit) {
      code.push_back(((p[codeStart + bit / 8] >> (bit % 8)) & 1) ? '1' : '0');
    }
    codes[static_cast<char>(p[11 + 2 * i])] = code;
  }
  return codes;
}

std::string encode(std::string_view in) {
  Expected<std::string> r = clsHuffman().EncodeString(in);
  EXPECT_TRUE(r.ok()) << r.status().description();
  return r.ok() ? *r : std::string();
}

TEST(clsHuffman, AbcGivesTheNineteenByteContainer) {
  const std::string expected = bytes({0x48, 0x45, 0x33, 0x0D, 0x60, 0x03, 0x00, 0x00, 0x00, 0x03,
                                      0x00, 0x61, 0x02, 0x62, 0x02, 0x63, 0x01, 0x0D, 0x0D});
  EXPECT_EQ(encode("abc"), expected);
  Expected<std::string> back = clsHuffman().DecodeString(expected);
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(*back, "abc");
}

TEST(clsHuffman, StoredContainers) {
  struct Row {
    const char* name;
    std::string input;
  };
  const std::vector<Row> rows = {
      {"empty", ""},
      {"one distinct value", "aaaa"},
      {"single byte", "x"},
      {"two bytes of different values", "xy"},  // 2 data bits, 1 byte: compressed, see below
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string c = encode(row.input);
    if (row.input == "xy") {
      EXPECT_EQ(c.substr(0, 4), "HE3\r");
    } else {
      EXPECT_EQ(c, "HE0\r" + row.input);
    }
    Expected<std::string> back = clsHuffman().DecodeString(c);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, row.input);
  }
}

TEST(clsHuffman, DataAsLongAsTheInputIsStillCompressed) {
  // 256 distinct values once each: eight-bit codes, data as long as the
  // input. Only data longer than the input would be stored.
  std::string all;
  for (int v = 0; v < 256; ++v) all.push_back(static_cast<char>(v));
  const std::string c = encode(all);
  ASSERT_EQ(c.substr(0, 4), "HE3\r");
  for (const auto& [value, code] : codesOf(c)) EXPECT_EQ(code.size(), 8u) << int(value);
  EXPECT_EQ(c.size(), 11u + 512 + 256 + 256);
}

TEST(clsHuffman, NodeSelectionTieBreaking) {
  struct Row {
    const char* name;
    std::string input;
    std::map<char, std::string> codes;
  };
  const std::vector<Row> rows = {
      {"all equal: first two pair, third value on the left", "abc",
       {{'a', "10"}, {'b', "11"}, {'c', "0"}}},
      {"lighter later node replaces B while A stays", "aabbbc",
       {{'a', "10"}, {'b', "0"}, {'c', "11"}}},
      {"lighter node replaces A when it is at least B", "aaabcc",
       {{'a', "0"}, {'b', "11"}, {'c', "10"}}},
      {"lightest node replaces A when A is at least B", "aaaaabbbbc",
       {{'a', "0"}, {'b', "11"}, {'c', "10"}}},
      {"lighter node replaces A when A and B weigh the same", "aabbc",
       {{'a', "0"}, {'b', "11"}, {'c', "10"}}},
      {"node as heavy as B leaves B in place", "abbcc",
       {{'a', "10"}, {'b', "11"}, {'c', "0"}}},
      {"equal counts: first value gets the left code", std::string(500, 'q') + std::string(500, 'p'),
       {{'p', "0"}, {'q', "1"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string c = encode(row.input);
    ASSERT_EQ(c.substr(0, 4), "HE3\r");
    EXPECT_EQ(codesOf(c), row.codes);
  }
}

TEST(clsHuffman, AlternatingRunUsesOneBitCodes) {
  std::string in;
  for (int i = 0; i < 1000; ++i) in.push_back(i % 2 ? 'b' : 'a');
  const std::string c = encode(in);
  // header 11, table 4, code bits 1 byte, data 125 bytes of 0,1,0,1...
  ASSERT_EQ(c.size(), 11u + 4 + 1 + 125);
  EXPECT_EQ(c.substr(11, 4), bytes({'a', 1, 'b', 1}));
  EXPECT_EQ(static_cast<unsigned char>(c[15]), 0x02);
  for (std::size_t i = 16; i < c.size(); ++i) EXPECT_EQ(static_cast<unsigned char>(c[i]), 0xAA);
}

TEST(clsHuffman, EmptyCompressedContainerGivesEmptyResult) {
  Expected<std::string> r = clsHuffman().DecodeString(container(0, 0, {}, "", ""));
  ASSERT_TRUE(r.ok()) << r.status().description();
  EXPECT_EQ(*r, "");
}

TEST(clsHuffman, RandomRoundTrips) {
  std::mt19937 rng(1234);
  const std::vector<std::size_t> sizes = {1, 2, 3, 7, 64, 255, 1000, 4096, 65537, 1 << 20};
  for (std::size_t size : sizes) {
    for (int alphabet : {2, 3, 17, 256}) {
      for (bool skewed : {false, true}) {
        SCOPED_TRACE(std::to_string(size) + " bytes, alphabet " + std::to_string(alphabet) +
                     (skewed ? ", skewed" : ", uniform"));
        std::geometric_distribution<int> geo(0.3);
        std::uniform_int_distribution<int> uni(0, alphabet - 1);
        std::string in(size, '\0');
        for (char& ch : in) ch = static_cast<char>(skewed ? geo(rng) % alphabet : uni(rng));
        std::string work = in;
        ASSERT_TRUE(clsHuffman().EncodeByte(work).ok());
        ASSERT_TRUE(clsHuffman().DecodeByte(work).ok());
        ASSERT_EQ(work, in);
      }
    }
  }
}

TEST(clsHuffman, DecodesLongHandMadeCodes) {
  // Two codes of 255 bits differing only in the last bit: 257 tree nodes.
  const std::string zeros(254, '0');
  const std::string a = zeros + "0";
  const std::string b = zeros + "1";
  Expected<std::string> r = clsHuffman().DecodeString(
      container('a' ^ 'b' ^ 'a', 3, {{'a', 255}, {'b', 255}}, a + b, a + b + a));
  ASSERT_TRUE(r.ok()) << r.status().description();
  EXPECT_EQ(*r, "aba");
}

TEST(clsHuffman, HostileContainers) {
  const std::string abc = encode("abc");
  struct Row {
    const char* name;
    std::string input;
    long error;
  };
  std::string threeLongCodes;
  {
    const std::string z(254, '0');
    threeLongCodes = container(0, 1, {{'a', 255}, {'b', 255}, {'c', 255}},
                               "0" + z + "1" + z + "01" + z.substr(1), "0");
  }
  const std::vector<Row> rows = {
      {"empty", "", kErrHe3NotIdentified},
      {"three bytes", "HE3", kErrHe3NotIdentified},
      {"wrong version", "HE1\rabc", kErrHe3NotIdentified},
      {"line feed instead of CR", "HE3\n" + abc.substr(4), kErrHe3NotIdentified},
      {"lower case", "he3\r" + abc.substr(4), kErrHe3NotIdentified},
      {"header cut short", abc.substr(0, 10), kErrHe3Corrupt},
      {"negative length", container(0, 0xFFFFFFFFu, {{'a', 1}}, "0", "0"), kErrHe3Corrupt},
      {"smallest negative length", container(0, 0x80000000u, {{'a', 1}}, "0", "0"), kErrHe3Corrupt},
      {"length no data can supply", container(0, 0x7FFFFFFF, {{'a', 1}, {'b', 1}}, "01", "0"),
       kErrHe3Corrupt},
      {"length one past the data bits", container(0, 9, {{'a', 1}, {'b', 1}}, "01", "00000000"),
       kErrHe3Corrupt},
      {"data bits end early", container(0, 7, {{'a', 2}, {'b', 2}, {'c', 1}}, "10110", "10110000"),
       kErrHe3Corrupt},
      {"symbol count zero", container(0, 3, {}, "", "000", 0), kErrHe3Corrupt},
      {"symbol count 257", container(0, 3, {{'a', 1}}, "0", "000", 257), kErrHe3Corrupt},
      {"symbol table past the end", container(0, 3, {{'a', 1}}, "", "", 200), kErrHe3Corrupt},
      {"duplicate symbol", container(0, 3, {{'a', 2}, {'a', 2}, {'c', 1}}, "10110", "10110"),
       kErrHe3Corrupt},
      {"descending symbols", container(0, 3, {{'b', 2}, {'a', 2}, {'c', 1}}, "10110", "10110"),
       kErrHe3Corrupt},
      {"code length zero", container(0, 3, {{'a', 0}, {'b', 2}, {'c', 1}}, "110", "110"),
       kErrHe3Corrupt},
      {"code bits past the end", container(0, 3, {{'a', 255}, {'b', 255}}, "0101", ""), kErrHe3Corrupt},
      {"code is a prefix of a later code", container(0, 2, {{'a', 1}, {'b', 2}}, "1" "10", "110"),
       kErrHe3Corrupt},
      {"later code is a prefix of an earlier", container(0, 2, {{'a', 2}, {'b', 1}}, "10" "1", "101"),
       kErrHe3Corrupt},
      {"duplicate codes", container(0, 2, {{'a', 2}, {'b', 2}}, "10" "10", "1010"), kErrHe3Corrupt},
      {"codes overflow the tree", threeLongCodes, kErrHe3Corrupt},
      {"data bits follow no code", container('a', 1, {{'a', 2}, {'b', 2}}, "10" "11", "0"),
       kErrHe3Corrupt},
      {"check byte mismatch", container(0x61, 3, {{'a', 2}, {'b', 2}, {'c', 1}}, "10110", "10110"),
       kErrHe3CheckByte},
      {"empty content with a check byte", container(7, 0, {}, "", ""), kErrHe3CheckByte},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string work = row.input;
    const Status s = clsHuffman().DecodeByte(work);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.number(), row.error) << s.description();
    EXPECT_EQ(s.source(), "HuffmanDecode()");
    EXPECT_EQ(work, row.input) << "the input must stay as it was";
  }
}

TEST(clsHuffman, IdentificationErrorText) {
  Expected<std::string> r = clsHuffman().DecodeString("PK\x03\x04 not ours");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().description(),
            "The data either was not compressed with HE3 or is corrupt (identification string not found)");
  EXPECT_EQ(r.status().source(), "HuffmanDecode()");
}

TEST(clsHuffman, StoredContainerKeepsEverythingAfterTheMagic) {
  Expected<std::string> r = clsHuffman().DecodeString(std::string("HE0\r\0\xff\r\n", 8));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(*r, std::string("\0\xff\r\n", 4));
}

TEST(clsHuffman, EveryPrefixOfACompressedContainerFails) {
  std::mt19937 rng(99);
  std::string in(3000, '\0');
  std::geometric_distribution<int> geo(0.2);
  for (char& ch : in) ch = static_cast<char>(geo(rng));
  const std::string c = encode(in);
  ASSERT_EQ(c.substr(0, 4), "HE3\r");
  for (std::size_t n = 0; n < c.size(); ++n) {
    Expected<std::string> r = clsHuffman().DecodeString(std::string_view(c).substr(0, n));
    ASSERT_FALSE(r.ok()) << "prefix of " << n << " bytes decoded";
  }
}

TEST(clsHuffman, MutatedContainersNeverMisbehave) {
  // Random damage must end in a result or one of the codec's errors; the
  // sanitizer build checks that no byte outside the input is read.
  std::mt19937 rng(7);
  const std::string c = encode("The quick brown fox jumps over the lazy dog, again and again and again.");
  ASSERT_EQ(c.substr(0, 4), "HE3\r");
  std::uniform_int_distribution<std::size_t> pos(4, c.size() - 1);
  std::uniform_int_distribution<int> val(0, 255);
  int failures = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string damaged = c;
    const int hits = 1 + round % 4;
    for (int h = 0; h < hits; ++h) damaged[pos(rng)] = static_cast<char>(val(rng));
    Expected<std::string> r = clsHuffman().DecodeString(damaged);
    if (!r.ok()) {
      ++failures;
      const long n = r.status().number();
      EXPECT_TRUE(n == kErrHe3Corrupt || n == kErrHe3CheckByte) << n;
    }
  }
  EXPECT_GT(failures, 1000);
}

}  // namespace
}  // namespace quorvane
