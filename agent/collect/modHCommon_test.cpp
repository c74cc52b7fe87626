// The number helpers the hardware collectors share: a text read as a number
// and the bytes of a word.
#include "agent/collect/modHCommon.h"

#include <gtest/gtest.h>

namespace quorvane::agent {
namespace {

TEST(NumberOfText, ReadsLikeTheSystemsNumberConversion) {
  struct Row { const char* text; std::int64_t value; };
  const Row rows[] = {{"&H7CD", 1997}, {"&h7cd", 1997}, {"42", 42},   {"  42abc", 42},
                      {"-7", -7},      {"", 0},         {"&H", 0},    {"x9", 0}};
  for (const auto& r : rows) EXPECT_EQ(numberOfText(r.text), r.value) << r.text;
}

TEST(WordBytes, HighAndLowByteOfTheLowWord) {
  struct Row { const char* name; std::uint32_t word; int hi, lo; };
  const Row rows[] = {{"zero", 0, 0, 0},
                      {"stepping word", 0x0803, 8, 3},
                      {"both bytes full", 0xFFFF, 255, 255},
                      {"high word ignored", 0xABCD1234u, 0x12, 0x34}};
  for (const auto& r : rows) {
    EXPECT_EQ(hiByte(r.word), r.hi) << r.name;
    EXPECT_EQ(loByte(r.word), r.lo) << r.name;
  }
}

}  // namespace
}  // namespace quorvane::agent
