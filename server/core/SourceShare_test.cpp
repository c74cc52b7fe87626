// Each source's share of the intake: connections at once, refusal after
// repeated rejected uploads, reported once, cleared by a stored upload.
#include "server/core/SourceShare.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace quorvane {
namespace {

SourceSharePolicy policy() {
  SourceSharePolicy p;
  p.maxConnections = 2;
  p.rejectsBeforeRefusal = 3;
  p.windowMs = 1000;
  p.refusalMs = 5000;
  p.maxSources = 4;
  return p;
}

TEST(SourceShare, Table) {
  const struct {
    const char* name;
    std::function<void(SourceShare&)> steps;
    std::int64_t at;           // when the question is asked
    bool mayConnect;           // of "a"
    bool refused;
  } rows[] = {
      {"a new source", [](SourceShare&) {}, 0, true, false},
      {"two connections open: the third waits",
       [](SourceShare& s) {
         s.connectionOpened("a");
         s.connectionOpened("a");
       },
       0, false, false},
      {"a closed connection frees its place",
       [](SourceShare& s) {
         s.connectionOpened("a");
         s.connectionOpened("a");
         s.connectionClosed("a");
       },
       0, true, false},
      {"two rejects are not enough",
       [](SourceShare& s) {
         EXPECT_FALSE(s.rejected("a", 0));
         EXPECT_FALSE(s.rejected("a", 10));
       },
       20, true, false},
      {"the third within the window refuses, reported",
       [](SourceShare& s) {
         s.rejected("a", 0);
         s.rejected("a", 10);
         EXPECT_TRUE(s.rejected("a", 20));
       },
       30, false, true},
      {"the refusal ends",
       [](SourceShare& s) {
         for (int i = 0; i < 3; ++i) s.rejected("a", i);
       },
       5003, true, false},
      {"rejects spread past the window do not add up",
       [](SourceShare& s) {
         s.rejected("a", 0);
         s.rejected("a", 600);
         EXPECT_FALSE(s.rejected("a", 1200));  // a new window began at 1200
         EXPECT_FALSE(s.rejected("a", 1300));
       },
       1400, true, false},
      {"a second refusal is not reported again",
       [](SourceShare& s) {
         for (int i = 0; i < 3; ++i) s.rejected("a", i);
         for (int i = 0; i < 3; ++i) EXPECT_FALSE(s.rejected("a", 6000 + i));
       },
       6010, false, true},
      {"a stored upload clears the count and the report",
       [](SourceShare& s) {
         s.rejected("a", 0);
         s.rejected("a", 1);
         s.stored("a");
         EXPECT_FALSE(s.rejected("a", 2));
         EXPECT_FALSE(s.rejected("a", 3));
         EXPECT_TRUE(s.rejected("a", 4));
       },
       5, false, true},
      {"other sources are not touched",
       [](SourceShare& s) {
         for (int i = 0; i < 3; ++i) s.rejected("b", i);
         s.connectionOpened("b");
         s.connectionOpened("b");
       },
       10, true, false},
      {"a full table makes room, keeping who is refused",
       [](SourceShare& s) {
         for (int i = 0; i < 3; ++i) s.rejected("a", i);
         for (const char* other : {"b", "c", "d", "e", "f", "g"}) s.rejected(other, 2000);
         EXPECT_LE(s.sources(), 5u);
       },
       2001, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SourceShare share(policy());
    row.steps(share);
    EXPECT_EQ(share.mayConnect("a", row.at), row.mayConnect);
    EXPECT_EQ(share.refused("a", row.at), row.refused);
  }
}

TEST(SourceShare, OffWhenTheBoundsAreZero) {
  SourceSharePolicy p;
  p.maxConnections = 0;
  p.rejectsBeforeRefusal = 0;
  SourceShare share(p);
  for (int i = 0; i < 100; ++i) {
    share.connectionOpened("a");
    EXPECT_FALSE(share.rejected("a", i));
  }
  EXPECT_TRUE(share.mayConnect("a", 100));
}

}  // namespace
}  // namespace quorvane
