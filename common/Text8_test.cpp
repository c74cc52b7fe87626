#include "common/Text8.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvane {
namespace {

TEST(Text8, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = windows1252ToUtf8(all);
  EXPECT_EQ(utf8ToWindows1252(utf8), all);
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = windows1252ToCodePoint(static_cast<unsigned char>(b));
    EXPECT_EQ(codePointToWindows1252(cp), b) << "byte " << b;
  }
}

struct Pair {
  const char* name;
  std::string cp1252;
  std::string utf8;
};

class Text8Pairs : public testing::TestWithParam<Pair> {};

TEST_P(Text8Pairs, ConvertsBothWays) {
  EXPECT_EQ(windows1252ToUtf8(GetParam().cp1252), GetParam().utf8);
  EXPECT_EQ(utf8ToWindows1252(GetParam().utf8), GetParam().cp1252);
}

const Pair kPairs[] = {
    {"Ascii", "C:\\WINDOWS 1024 * 768", "C:\\WINDOWS 1024 * 768"},
    {"Empty", "", ""},
    {"NulKept", std::string("a\0b", 3), std::string("a\0b", 3)},
    {"Euro", "\x80", "\xE2\x82\xAC"},
    {"QuotesAndDashes", "\x93x\x94 \x96 \x97", "\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x80\x93 \xE2\x80\x94"},
    {"Trademark", "\x99", "\xE2\x84\xA2"},
    {"LatinOne", "Soci\xE9t\xE9 \xFC\xDF", "Soci\xC3\xA9t\xC3\xA9 \xC3\xBC\xC3\x9F"},
    {"NoBreakSpace", "\xA0", "\xC2\xA0"},
    {"YDiaeresisBoth", "\x9F\xFF", "\xC5\xB8\xC3\xBF"},
    {"UndefinedBytes", "\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
};

INSTANTIATE_TEST_SUITE_P(Rows, Text8Pairs, testing::ValuesIn(kPairs),
                         [](const auto& info) { return std::string(info.param.name); });

struct Lossy {
  const char* name;
  std::string utf8;
  std::string cp1252;
};

class Text8Lossy : public testing::TestWithParam<Lossy> {};

TEST_P(Text8Lossy, BecomesQuestionMarks) {
  EXPECT_EQ(utf8ToWindows1252(GetParam().utf8), GetParam().cp1252);
}

const Lossy kLossy[] = {
    {"CjkHasNoForm", "a\xE4\xB8\xAD" "b", "a?b"},
    {"EmojiHasNoForm", "\xF0\x9F\x98\x80", "?"},
    {"C1ControlWithoutForm", "\xC2\x80", "?"},  // U+0080: byte 80 is the euro sign
    {"StrayContinuation", "a\x80" "b", "a?b"},
    {"TruncatedSequence", "\xE2\x82", "??"},
    {"TruncatedThenAscii", "\xE2\x82" "A", "??A"},
    {"OverlongSlash", "\xC0\xAF", "??"},
    {"OverlongThreeBytes", "\xE0\x80\xAF", "???"},
    {"Surrogate", "\xED\xA0\x80", "???"},
    {"AboveUnicode", "\xF4\x90\x80\x80", "????"},
    {"InvalidLeadBytes", "\xF8\xFE\xFF", "???"},
};

INSTANTIATE_TEST_SUITE_P(Rows, Text8Lossy, testing::ValuesIn(kLossy),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
