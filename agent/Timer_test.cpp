// The form timers: repeat, stop, zero interval, restart on enable.
#include "agent/Timer.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "agent/LoopTesting.h"

namespace quorvane::agent {
namespace {

using testing::runUntil;
using Clock = std::chrono::steady_clock;

TEST(Timer, RepeatsUntilDisabled) {
  asio::io_context io;
  int ticks = 0;
  Timer t(io, [&] { ++ticks; });
  t.Interval(5);
  t.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return ticks >= 3; }));
  t.Enabled(false);
  const int at = ticks;
  // A later timer proves the loop went on without further ticks.
  bool other = false;
  Timer o(io, [&] { other = true; });
  o.Interval(30);
  o.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return other; }));
  EXPECT_EQ(ticks, at);
}

TEST(Timer, AHandlerThatDisablesItselfFiresOnce) {
  asio::io_context io;
  int ticks = 0;
  Timer* self = nullptr;
  Timer t(io, [&] {
    ++ticks;
    self->Enabled(false);
  });
  self = &t;
  t.Interval(1);
  t.Enabled(true);
  bool other = false;
  Timer o(io, [&] { other = true; });
  o.Interval(40);
  o.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return other; }));
  EXPECT_EQ(ticks, 1);
}

TEST(Timer, ZeroIntervalNeverFires) {
  asio::io_context io;
  int ticks = 0;
  Timer t(io, [&] { ++ticks; });
  t.Enabled(true);
  bool other = false;
  Timer o(io, [&] { other = true; });
  o.Interval(20);
  o.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return other; }));
  EXPECT_EQ(ticks, 0);
}

TEST(Timer, EnablingAgainRestartsTheCount) {
  asio::io_context io;
  Clock::time_point firedAt{};
  Timer t(io, [&] { firedAt = Clock::now(); });
  t.Interval(150);
  t.Enabled(true);
  bool half = false;
  Timer h(io, [&] { half = true; });
  h.Interval(75);
  h.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return half; }));
  h.Enabled(false);
  const auto reEnabled = Clock::now();
  t.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return firedAt != Clock::time_point{}; }));
  EXPECT_GE(firedAt - reEnabled, std::chrono::milliseconds(150));
}

// Intervals far beyond what the clock counts (ReauditIntervalHours at its
// 32-bit limit is about 880,000 years) must wait, not wrap round and fire.
TEST(Timer, HugeIntervalsWaitInsteadOfFiringAtOnce) {
  const struct {
    const char* name;
    std::int64_t ms;
  } rows[] = {
      {"2147483647 hours", 2147483647LL * 3600 * 1000},
      {"the largest interval", INT64_MAX},
      {"just past the clock's range", 9223372036855LL * 1000},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    asio::io_context io;
    int ticks = 0;
    Timer t(io, [&] { ++ticks; });
    t.Interval(row.ms);
    t.Enabled(true);
    EXPECT_EQ(t.Interval(), row.ms);
    bool other = false;
    Timer o(io, [&] { other = true; });
    o.Interval(60);
    o.Enabled(true);
    ASSERT_TRUE(runUntil(io, [&] { return other; }));
    EXPECT_EQ(ticks, 0);
  }
}

TEST(Timer, DestroyedTimerNeverCalls) {
  asio::io_context io;
  int ticks = 0;
  {
    Timer t(io, [&] { ++ticks; });
    t.Interval(1);
    t.Enabled(true);
  }
  bool other = false;
  Timer o(io, [&] { other = true; });
  o.Interval(20);
  o.Enabled(true);
  ASSERT_TRUE(runUntil(io, [&] { return other; }));
  EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace quorvane::agent
