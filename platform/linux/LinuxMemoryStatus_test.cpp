// The memory status of the Linux backend: meminfo of the sample machine,
// of old kernels and hostile text.
#include "platform/linux/LinuxMemoryStatus.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxMemInfo, FiguresOfTheSample) {
  auto m = parseMemInfo(sample("meminfo"));
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(m->totalPhys, 16318460ull * 1024);
  EXPECT_EQ(m->availPhys, 9876544ull * 1024);
  EXPECT_EQ(m->totalPageFile, (16318460ull + 2097148) * 1024);
  EXPECT_EQ(m->availPageFile, (9876544ull + 2000000) * 1024);
  EXPECT_EQ(m->memoryLoad, 39u);  // (16318460 - 9876544) * 100 / 16318460 = 39.47
}

TEST(LinuxMemInfo, OldKernelsAndHostileText) {
  auto old = parseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n");
  ASSERT_TRUE(old.ok());
  EXPECT_EQ(old->availPhys, 400u * 1024);
  EXPECT_EQ(old->memoryLoad, 60u);
  EXPECT_EQ(old->totalPageFile, 1000u * 1024);  // no swap lines
  EXPECT_FALSE(parseMemInfo("").ok());
  EXPECT_FALSE(parseMemInfo("MemFree: 5 kB\n").ok());
  auto odd = parseMemInfo("MemTotal: 100 kB\nMemAvailable: 500 kB\nSwapTotal: 10 kB\nSwapFree: 99 kB\nJunk\n: 5\n");
  ASSERT_TRUE(odd.ok());
  EXPECT_EQ(odd->availPhys, odd->totalPhys);  // never more available than there is
  EXPECT_EQ(odd->availPageFile, odd->totalPageFile);
  EXPECT_EQ(odd->memoryLoad, 0u);
  auto zero = parseMemInfo("MemTotal: 0 kB\n");
  ASSERT_TRUE(zero.ok());
  EXPECT_EQ(zero->memoryLoad, 0u);
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
