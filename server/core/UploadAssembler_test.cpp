// The upload buffer of one connection: pieces, the end marker inside a piece,
// the marker split across pieces at every position, bytes after the marker,
// several uploads in a row, and the size bound.
#include "server/core/UploadAssembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/core/CommandTokens.h"

namespace quorvane {
namespace {

using Outcome = UploadAssembler::Outcome;

std::string payload(std::size_t n) {
  std::string p(n, '\0');
  for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<char>((i * 37 + 11) & 0xFF);
  return p;
}

struct PieceCase {
  const char* name;
  std::vector<std::string> pieces;
  std::vector<std::string> uploads;  // completed uploads, in order
};

std::vector<PieceCase> pieceCases() {
  const std::string m(kEndMarker);
  const std::string a("12\0xyzabc", 9);
  return {
      {"OnePieceWithMarker", {a + m}, {a}},
      {"ManyPiecesMarkerLast", {"12", std::string(1, '\0'), "xyz", "abc", m}, {a}},
      {"MarkerInsideLastPiece", {"12", std::string("\0xyzabc", 7) + m}, {a}},
      {"RestAfterMarkerDropped", {a + m + "trailing junk"}, {a}},
      {"MarkerInPayloadCutsThere", {"ab" + m + "cd" + m}, {"ab"}},
      {"EmptyUpload", {m}, {""}},
      {"TwoUploadsOneConnection", {"first" + m, "second", m}, {"first", "second"}},
      {"NoMarkerNoUpload", {"abc", "def"}, {}},
      {"MarkerBytesSpreadOverSixPieces", {"x", m.substr(0, 1), m.substr(1, 1), m.substr(2, 1), m.substr(3, 1),
                                          m.substr(4, 1), m.substr(5, 1)}, {"x"}},
      {"NearMissThenMarker", {m.substr(0, 5) + "Z", m}, {m.substr(0, 5) + "Z"}},
  };
}

class UploadPiecesTest : public ::testing::TestWithParam<PieceCase> {};

TEST_P(UploadPiecesTest, AssemblesUploads) {
  UploadAssembler assembler;
  std::vector<std::string> uploads;
  for (const std::string& piece : GetParam().pieces) {
    UploadAssembler::Result r = assembler.feed(piece);
    ASSERT_NE(r.outcome, Outcome::Overflow);
    if (r.outcome == Outcome::Complete) uploads.push_back(r.upload);
  }
  EXPECT_EQ(uploads, GetParam().uploads);
}

INSTANTIATE_TEST_SUITE_P(Pieces, UploadPiecesTest, ::testing::ValuesIn(pieceCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UploadAssemblerTest, MarkerSplitAtEveryPosition) {
  const std::string body = payload(1000);
  const std::string wire = body + std::string(kEndMarker);
  for (std::size_t cut = body.size() + 1; cut < wire.size(); ++cut) {
    UploadAssembler assembler;
    EXPECT_EQ(assembler.feed(wire.substr(0, cut)).outcome, Outcome::NeedMore) << cut;
    UploadAssembler::Result r = assembler.feed(wire.substr(cut));
    ASSERT_EQ(r.outcome, Outcome::Complete) << "cut at " << cut;
    EXPECT_EQ(r.upload, body);
    EXPECT_EQ(assembler.buffered(), 0u);
  }
}

TEST(UploadAssemblerTest, BufferEmptiedAfterUpload) {
  UploadAssembler assembler;
  assembler.feed("abc" + std::string(kEndMarker) + "zz");
  EXPECT_EQ(assembler.buffered(), 0u);
  UploadAssembler::Result r = assembler.feed("new" + std::string(kEndMarker));
  EXPECT_EQ(r.upload, "new");
}

TEST(UploadAssemblerTest, BoundWithoutMarkerOverflows) {
  UploadAssembler assembler(100);
  EXPECT_EQ(assembler.feed(payload(60)).outcome, Outcome::NeedMore);
  EXPECT_EQ(assembler.feed(payload(40)).outcome, Outcome::NeedMore);  // exactly the bound
  EXPECT_EQ(assembler.feed(payload(10)).outcome, Outcome::Overflow);
  EXPECT_EQ(assembler.buffered(), 0u);
}

TEST(UploadAssemblerTest, UploadOfExactlyTheBoundIsAccepted) {
  UploadAssembler assembler(100);
  const std::string body = payload(100);
  EXPECT_EQ(assembler.feed(body).outcome, Outcome::NeedMore);
  UploadAssembler::Result r = assembler.feed(std::string(kEndMarker));
  ASSERT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.upload, body);
}

TEST(UploadAssemblerTest, MarkerPastTheBoundOverflows) {
  UploadAssembler assembler(100);
  EXPECT_EQ(assembler.feed(payload(101) + std::string(kEndMarker)).outcome, Outcome::Overflow);
}

// The intake makes room for a piece before feeding it, from heldAfter: the
// memory the buffer then holds must never exceed what was predicted, for an
// endless sender up to the bound, and for uploads of every size in a row.
TEST(UploadAssemblerTest, HeldNeverExceedsWhatWasPredicted) {
  const struct {
    const char* name;
    std::size_t piece;
    std::size_t count;
    bool withMarkers;
  } rows[] = {
      {"endless big pieces", 64 * 1024, 40, false},
      {"endless odd pieces", 7777, 300, false},
      {"endless single bytes", 1, 5000, false},
      {"uploads in a row", 3000, 200, true},
  };
  for (const auto& row : rows) {
    UploadAssembler assembler(1024 * 1024);
    for (std::size_t i = 0; i < row.count; ++i) {
      std::string piece = payload(row.piece);
      if (row.withMarkers && i % 7 == 6) piece += std::string(kEndMarker);
      const std::size_t predicted = assembler.heldAfter(piece.size());
      const UploadAssembler::Result r = assembler.feed(piece);
      ASSERT_LE(assembler.held(), predicted) << row.name << " piece " << i;
      if (r.outcome == Outcome::Overflow) break;
    }
  }
}

// A completed upload waits in queues that count its size, so it must not
// carry the slack its buffer grew by.
TEST(UploadAssemblerTest, CompletedUploadCarriesLittleSlack) {
  for (const std::size_t size : {std::size_t{70000}, std::size_t{300000}, std::size_t{1100000}}) {
    UploadAssembler assembler(4 * 1024 * 1024);
    std::string wire = payload(size);
    for (std::size_t at = 0; at < wire.size(); at += 4096) assembler.feed(std::string_view(wire).substr(at, 4096));
    const UploadAssembler::Result r = assembler.feed(std::string(kEndMarker));
    ASSERT_EQ(r.outcome, Outcome::Complete);
    EXPECT_EQ(r.upload, wire);
    EXPECT_LE(r.upload.capacity(), size + size / 4 + 4096) << size;
  }
}

}  // namespace
}  // namespace quorvane
