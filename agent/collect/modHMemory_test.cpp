// getMemory and its text forms: real numbers, rounding, the record from a
// memory status; on the sample machines and this machine (against
// /proc/meminfo, read here on its own).
#include "agent/collect/modHMemory.h"

#include <gtest/gtest.h>

#include <iostream>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/ThisMachineTesting.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

using namespace quorvane::platform;
using testing::figure;
using testing::sampleMachine;

TEST(MemoryText, RealNumbersAndRounding) {
  struct Row { double v; const char* text; };
  const Row rows[] = {{0, "0"},           {1, "1"},           {523760, "523760"},
                      {205078.125, "205078.125"}, {0.0009765625, "0.0009765625"},
                      {4194303.9990234375, "4194303.9990234375"}, {1e20, "100000000000000000000"}};
  for (const auto& r : rows) EXPECT_EQ(realText(r.v), r.text) << r.v;
  struct Half { double v; double rounded; };
  const Half halves[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2},
                         {2.4999, 2}, {2.5001, 3}, {1024.5, 1024}, {1025.5, 1026}};
  for (const auto& h : halves) EXPECT_EQ(roundHalfEven(h.v), h.rounded) << h.v;
}

TEST(MemoryText, RecordFromStatus) {
  MemoryStatusFacts m;
  m.memoryLoad = 45;
  m.totalPhys = 1024 * 1024;                 // 1024 K
  m.availPhys = 512 * 1024 + 512;            // 512.5 K
  m.totalPageFile = 3 * 1024 * 1024;         // 3072 K
  m.availPageFile = 1024 * 1024 + 1536;      // 1025.5 K -> used 2046.5 -> 2046 (even)
  MemoryInfo info = memoryInfoOf(m);
  EXPECT_EQ(info.TotalPhysicalMemory, "1024 KBytes");
  EXPECT_EQ(info.TotalAvailablePhysicalMemory, "512.5 KBytes");
  EXPECT_EQ(info.MaxSwapFile, "3072 KBytes");
  EXPECT_EQ(info.CurrentSwapFile, "2046 KBytes");
  EXPECT_EQ(info.FreeSwapFile, "1025.5 KBytes");
  EXPECT_EQ(info.TotalMemoryAvailable, "2 MBytes");  // (1025.5 + 512.5) / 1024 = 1.5019...
  EXPECT_EQ(info.MemoryLoad, "45 %");

  // (1024 + 512) K / 1024 = 1.5 MB exactly: the half goes to the even 2; 2.5 MB to 2.
  m.availPageFile = 1024 * 1024;
  m.availPhys = 512 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "2 MBytes");
  m.availPageFile = 2048 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "2 MBytes");
  m.availPageFile = 3072 * 1024;
  EXPECT_EQ(memoryInfoOf(m).TotalMemoryAvailable, "4 MBytes");  // 3.5 -> 4
}

TEST(HardwareSamples, Memory) {
  struct Row {
    const char* machine;
    MemoryInfo memory;
  };
  const Row rows[] = {
      {"winxp-pro.json",
       MemoryInfo{"1059 MBytes", "523760 KBytes", "205078.125 KBytes", "1283064 KBytes", "404158 KBytes",
                  "878906.25 KBytes", "45 %"}},
      {"win98se.json",
       MemoryInfo{"2047 MBytes", "130496 KBytes", "50864 KBytes", "2097151.9990234375 KBytes", "52096 KBytes",
                  "2045056 KBytes", "61 %"}},
  };
  for (const auto& row : rows) {
    auto p = sampleMachine(row.machine);
    testing::ReportTexts r;
    EXPECT_EQ(getMemory(r.on(*p)), row.memory) << row.machine;
    EXPECT_TRUE(r.texts.empty()) << row.machine << ": " << r.texts.front();
  }
}

TEST(HardwareEdge, MissingMemoryServiceIsReportedNotFatal) {
  auto p = sampleMachine("winxp-pro.json");
  p->memory.reset();
  testing::ReportTexts r;
  EXPECT_EQ(getMemory(r.on(*p)), MemoryInfo());
  EXPECT_TRUE(testing::oneReport(r.texts, "QuorvanePro.modHMemory.getMemory", kErrObjectNotSet));
}

TEST(ThisMachine, MemoryAgreesWithMeminfo) {
  auto p = platform::makeNativePlatform();
  testing::ReportTexts r;
  MemoryInfo m = getMemory(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  std::string mem = testing::slurp("/proc/meminfo");
  double total = figure(testing::field(mem, "MemTotal"));
  double swap = figure(testing::field(mem, "SwapTotal"));
  double avail = figure(testing::field(mem, "MemAvailable"));
  double swapFree = figure(testing::field(mem, "SwapFree"));
  EXPECT_EQ(m.TotalPhysicalMemory, realText(total) + " KBytes");
  EXPECT_EQ(m.MaxSwapFile, realText(total + swap) + " KBytes");
  // Available memory moves between two reads: within 64 MB.
  EXPECT_NEAR(figure(m.TotalAvailablePhysicalMemory), avail, 65536);
  EXPECT_NEAR(figure(m.FreeSwapFile), avail + swapFree, 65536);
  EXPECT_NEAR(figure(m.TotalMemoryAvailable), (2 * avail + swapFree) / 1024, 128);
  std::cout << "memory: " << m.TotalPhysicalMemory << " (MemTotal " << total << " kB), available "
            << m.TotalAvailablePhysicalMemory << " (MemAvailable " << avail << " kB)\n";
}

}  // namespace
}  // namespace quorvane::agent
