// The standard-error block of a message box: CR LF pairs become line
// breaks, lone CRs stay, 8-bit texts come out as UTF-8, and the block a
// StderrMessageSink writes is exactly that text.
#include "server/core/MessageSink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

struct BlockCase {
  const char* name;
  std::string title;
  std::string text;
  int style;
  std::string block;
};

const BlockCase kBlocks[] = {
    {"ErrorReport", "QuorvaneServer", "Error in : x\r\n\r\nError Number : 13", 16,
     "== QuorvaneServer (style 16) ==\nError in : x\n\nError Number : 13\n==\n"},
    {"EmptyText", "T", "", 64, "== T (style 64) ==\n\n==\n"},
    {"LoneCrAnd8BitText", "T", "caf\xE9\rx", 0, "== T (style 0) ==\ncaf\xC3\xA9\rx\n==\n"},
    {"LoneLfStays", "T", "a\nb", 0, "== T (style 0) ==\na\nb\n==\n"},
    {"TrailingCrWithoutLf", "T", "end\r", 0, "== T (style 0) ==\nend\r\n==\n"},
    {"CrCrLf", "T", "a\r\r\nb", 0, "== T (style 0) ==\na\r\nb\n==\n"},
    {"EightBitTitle", "Caf\xE9", "x", 48, "== Caf\xC3\xA9 (style 48) ==\nx\n==\n"},
    {"NegativeStyle", "T", "x", -1, "== T (style -1) ==\nx\n==\n"},
};

class MessageBlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(MessageBlockTest, CrLfBecomeLineBreaks) {
  const BlockCase& c = GetParam();
  EXPECT_EQ(formatMessageBlock(c.title, c.text, c.style), c.block);
}

TEST_P(MessageBlockTest, StderrSinkWritesTheBlock) {
  const BlockCase& c = GetParam();
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  StderrMessageSink sink(out);
  sink.showMessage(c.title, c.text, c.style);
  const std::string written = testing::readBack(out);
  std::fclose(out);
  EXPECT_EQ(written, c.block);
}

INSTANTIATE_TEST_SUITE_P(Blocks, MessageBlockTest, ::testing::ValuesIn(kBlocks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
