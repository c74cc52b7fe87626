#include "common/modZlib.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/clsB64.h"
#include "common/clsHuffman.h"
#include "packed/he3Sample.h"

namespace quorvane {
namespace {

std::string sampleBytes() {
  std::ifstream in(std::string(QUORVANE_SOURCE_DIR) + "/common/testdata/he3_sample.bin", std::ios::binary);
  EXPECT_TRUE(in.good());
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> samplePieces() {
  return {packed::he3Sample.begin(), packed::he3Sample.end()};
}

Expected<std::string> unpack(const std::vector<std::string>& pieces) {
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  return getFile(views);
}

TEST(modZlib, PackedSampleRoundTrips) {
  const std::string original = sampleBytes();
  ASSERT_GT(original.size(), 1000u);
  EXPECT_EQ(packed::he3Sample_size, original.size());
  ASSERT_EQ(packed::he3Sample.size(), 12u);
  for (std::string_view piece : packed::he3Sample) EXPECT_FALSE(piece.empty());

  Expected<std::string> unpacked = getFile(packed::he3Sample);
  ASSERT_TRUE(unpacked.ok()) << unpacked.status().description();
  EXPECT_EQ(*unpacked, original);

  // The stored text is Base64 of an HE3 container.
  Expected<std::string> container = clsB64().DecodeString(getEncodedFile(packed::he3Sample));
  ASSERT_TRUE(container.ok());
  EXPECT_EQ(container->substr(0, 4), "HE3\r");
}

TEST(modZlib, AppendFromArray) {
  struct Row {
    const char* name;
    std::vector<std::string_view> parts;
    std::string joined;
  };
  const std::vector<Row> rows = {
      {"no parts", {}, ""},
      {"empty parts", {"", "", ""}, ""},
      {"in index order", {"ab", "", "c", "def"}, "abcdef"},
      {"bytes kept", {std::string_view("\0\xff", 2), "\r\n"}, std::string("\0\xff\r\n", 4)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(appendFromArray(row.parts), row.joined);
  }
}

TEST(modZlib, DamagedPieceMakesUnpackingFail) {
  for (std::size_t i = 0; i < packed::he3Sample.size(); ++i) {
    SCOPED_TRACE("piece " + std::to_string(i));
    std::vector<std::string> pieces = samplePieces();
    std::string& piece = pieces[i];
    char& c = piece[piece.size() / 2];
    c = (c == 'A') ? 'B' : 'A';
    Expected<std::string> r = unpack(pieces);
    ASSERT_FALSE(r.ok());
    const long n = r.status().number();
    EXPECT_TRUE(n == kErrHe3CheckByte || n == kErrHe3Corrupt || n == kErrHe3NotIdentified) << n;
  }
}

TEST(modZlib, DamageOfEachKind) {
  const clsB64 b64;
  const std::string container = *b64.DecodeString(getEncodedFile(packed::he3Sample));
  auto repack = [&](const std::string& c) {
    // One piece is enough: getFile only joins them.
    return std::vector<std::string>{b64.EncodeString(c)};
  };
  std::string wrongCheck = container;
  wrongCheck[4] = static_cast<char>(wrongCheck[4] ^ 0x20);
  std::string wrongMagic = container;
  wrongMagic[2] = '4';
  std::vector<std::string> missingPiece = samplePieces();
  missingPiece.erase(missingPiece.begin() + 5);
  std::vector<std::string> lineBreak = samplePieces();
  lineBreak[3] += "\r\n";
  std::vector<std::string> badCharacter = samplePieces();
  badCharacter[0][0] = '!';

  struct Row {
    const char* name;
    std::vector<std::string> pieces;
    long error;
  };
  const std::vector<Row> rows = {
      {"check byte damaged", repack(wrongCheck), kErrHe3CheckByte},
      {"identification damaged", repack(wrongMagic), kErrHe3NotIdentified},
      {"container cut short", repack(container.substr(0, container.size() / 2)), kErrHe3Corrupt},
      {"line break added", lineBreak, kErrB64Malformed},
      {"character outside the alphabet", badCharacter, kErrB64Malformed},
      {"no pieces", {}, kErrHe3NotIdentified},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Expected<std::string> r = unpack(row.pieces);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().number(), row.error) << r.status().description();
  }
  // A missing piece fails too (which error depends on where the text breaks).
  EXPECT_FALSE(unpack(missingPiece).ok());
}

TEST(modZlib, CorruptStoredDataMessage) {
  const std::string expected =
      "Error occured during decompression of data.\r\nThe executable may be corrupt.\r\n\r\n"
      "Please try downloading again ...";
  EXPECT_EQ(corruptStoredDataMessage(), expected);
}

TEST(modZlib, LinkedZlibIsPresent) { EXPECT_TRUE(checkForZlib().ok()); }

}  // namespace
}  // namespace quorvane
