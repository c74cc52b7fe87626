// The dry-run power backend: one line per action, nothing else happens.
#include "platform/Power.h"

#include <gtest/gtest.h>

#include <sstream>

namespace quorvane::platform {
namespace {

TEST(PowerDryRun, WritesTheActionItWouldTake) {
  std::ostringstream out;
  auto power = makeDryRunPowerControl(out);
  EXPECT_TRUE(power->perform(PowerAction::PowerOff).ok());
  EXPECT_TRUE(power->perform(PowerAction::Reboot).ok());
  EXPECT_TRUE(power->perform(PowerAction::LogOff).ok());
  EXPECT_EQ(out.str(), "dry-run: power-off\ndry-run: reboot\ndry-run: log-off\n");
}

}  // namespace
}  // namespace quorvane::platform
