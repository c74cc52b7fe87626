// The processor facts of the Linux backend: cpuinfo, the online CPU lists,
// the address map and the registry presentation of the processor, fed with
// the sample files of tests/fixtures/linux/hardware.
#include "platform/linux/LinuxSystemInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxCpuInfo, FirstProcessorFactsAndCount) {
  CpuInfoSummary cpu = parseCpuInfo(sample("cpuinfo"));
  EXPECT_EQ(cpu.processors, 4u);
  EXPECT_EQ(cpu.vendorId, "AuthenticAMD");
  EXPECT_EQ(cpu.modelName, "AMD Ryzen 7 3700X 8-Core Processor");
  EXPECT_EQ(cpu.family, 23);
  EXPECT_EQ(cpu.model, 113);
  EXPECT_EQ(cpu.stepping, 0);
  EXPECT_DOUBLE_EQ(cpu.mhz, 2199.813);
  EXPECT_EQ(processorIdentifier(cpu, "x86_64"), "AMD64 Family 23 Model 113 Stepping 0");
  CentralProcessorValues v = centralProcessorValues(cpu, "x86_64");
  EXPECT_EQ(v.vendorIdentifier, "AuthenticAMD");
  EXPECT_EQ(v.mhz, 2200u);
}

TEST(LinuxCpuInfo, HostileAndPartialText) {
  EXPECT_EQ(parseCpuInfo("").processors, 0u);
  CpuInfoSummary odd = parseCpuInfo("processor : 0\ncpu family : banana\nmodel : 99999999999\ncpu MHz : nan\n");
  EXPECT_EQ(odd.processors, 1u);
  EXPECT_EQ(odd.family, -1);
  EXPECT_EQ(odd.model, -1);
  EXPECT_EQ(odd.mhz, 0);
  EXPECT_EQ(processorIdentifier(odd, "x86_64"), "");  // no family: no identifier
  // No trailing newline, no blank line between blocks.
  CpuInfoSummary tight = parseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nprocessor\t: 1\nvendor_id\t: Other");
  EXPECT_EQ(tight.processors, 2u);
  EXPECT_EQ(tight.vendorId, "GenuineIntel");
  struct Row { const char* vendor; const char* machine; const char* text; };
  const Row rows[] = {{"GenuineIntel", "x86_64", "Intel64 Family 6 Model 167 Stepping 1"},
                      {"GenuineIntel", "i686", "x86 Family 6 Model 167 Stepping 1"},
                      {"HygonGenuine", "x86_64", "AMD64 Family 6 Model 167 Stepping 1"},
                      {"", "riscv64", "riscv64 Family 6 Model 167 Stepping 1"}};
  for (const auto& r : rows) {
    CpuInfoSummary c;
    c.vendorId = r.vendor;
    c.family = 6;
    c.model = 167;
    c.stepping = 1;
    EXPECT_EQ(processorIdentifier(c, r.machine), r.text) << r.machine;
  }
}

TEST(LinuxCpuInfo, OnlineCpuLists) {
  struct Row { const char* text; std::uint64_t mask; };
  const Row rows[] = {{"0", 0x1},           {"0-1", 0x3},          {"0-3\n", 0xF},
                      {"0-1,4,6-7", 0xD3},  {"", 0},               {"3-1", 0},
                      {"x,2", 0x4},         {"62-70", 0xC000000000000000ull},
                      {"0-99999999999999999999", 0}};
  for (const auto& r : rows) EXPECT_EQ(parseCpuList(r.text), r.mask) << r.text;
}

TEST(LinuxCpuInfo, ApplicationAddressRangeAndSystemInfo) {
  EXPECT_EQ(maxAppAddressFromMaps(sample("maps"), 4096), 0x7FFFFFFFEFFFull);
  EXPECT_EQ(maxAppAddressFromMaps("", 4096), 0u);
  EXPECT_EQ(maxAppAddressFromMaps("garbage line\n-\n", 4096), 0u);
  EXPECT_EQ(maxAppAddressFromMaps("08048000-bf800000 rw-p 0 0 0\n", 4096), 0xFFFFEFFFull);
  CpuInfoSummary cpu = parseCpuInfo(sample("cpuinfo"));
  SystemInfoFacts f = systemInfoFrom(cpu, 0xF, 4096, 65536, 0x7FFFFFFFEFFF, "x86_64", 64);
  EXPECT_EQ(f.numberOfProcessors, 4u);
  EXPECT_EQ(f.activeProcessorMask, 0xFu);
  EXPECT_EQ(f.processorRevision, 0x7100);  // model 113, stepping 0
  EXPECT_EQ(f.processorLevel, 23);
  EXPECT_EQ(f.processorArchitecture, 9);
  EXPECT_EQ(f.allocationGranularity, 4096u);
  EXPECT_EQ(f.addressBits, 64);
}

TEST(LinuxCpuInfo, RegistryPresentation) {
  RegistryTree tree;
  fillCentralProcessorFrom(tree, {"GenuineIntel", "Intel64 Family 6 Model 167 Stepping 1", 2600});
  const char* key = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, key, "VendorIdentifier"), RegistryTree::sz("GenuineIntel"));
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, key, "~MHz"), RegistryTree::dword(2600));
  RegistryTree empty;
  fillCentralProcessorFrom(empty, {});
  EXPECT_FALSE(empty.keyExists(HKEY_LOCAL_MACHINE, key));  // nothing known, nothing made up
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
