// getProcessor and its text forms: addresses at the system's width, stepping,
// speed; on the sample machines, small inline machines and this machine
// (against /proc/cpuinfo, read here on its own).
#include "agent/collect/modHProcessor.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <iostream>
#include <string>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/ThisMachineTesting.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

using testing::field;
using testing::fixtureFromJson;
using testing::machineFromJson;
using testing::sampleMachine;

TEST(ProcessorText, AddressesAtTheSystemsWidth) {
  struct Row { const char* name; std::uint64_t address; int bits; const char* text; };
  const Row rows[] = {
      {"32-bit low", 0x00010000, 32, "65536"},
      {"32-bit below 2 GiB", 0x7FFEFFFF, 32, "2147418111"},
      {"32-bit 3 GiB user space reads negative", 0xBFFEFFFF, 32, "-1073807361"},
      {"32-bit top", 0xFFFFFFFF, 32, "-1"},
      {"64-bit full value", 0x7FFFFFFEFFFFull, 64, "140737488289791"},
      {"64-bit Linux user top", 0x7FFFFFFFEFFFull, 64, "140737488351231"},
      {"64-bit above 2^63", 0xFFFFFFFFFFFFFFFFull, 64, "18446744073709551615"},
  };
  for (const auto& r : rows) EXPECT_EQ(addressText(r.address, r.bits), r.text) << r.name;
}

TEST(ProcessorText, SteppingAndSpeed) {
  EXPECT_EQ(steppingText(0x0803), "8 , 3");
  EXPECT_EQ(steppingText(0xA701), "167 , 1");
  EXPECT_EQ(steppingText(0), "0 , 0");
  struct Row { const char* value; const char* text; };
  const Row rows[] = {{"", "0"},        {"&HBB0", "2992"}, {"&HA28", "2600"}, {"2600", "2600"},
                      {" 733 ", "733"}, {"&H0", "0"},      {"abc", "0"},      {"&HFFFFFFFF", "4294967295"}};
  for (const auto& r : rows) EXPECT_EQ(cpuSpeedText(r.value), r.text) << r.value;
}

TEST(HardwareSamples, Processor) {
  struct Row {
    const char* machine;
    ProcessorInfo processor;
  };
  const Row rows[] = {
      {"winxp-pro.json",
       ProcessorInfo{"2", "3", "GenuineIntel &HBB0", "x86 Family 15 Model 2 Stepping 9", "2 , 9", "2992", "65536",
                     "2147418111", "4096", false, "65536"}},
      {"win98se.json",
       ProcessorInfo{"1", "1", "GenuineIntel", "x86 Family 6 Model 8 Stepping 3", "8 , 3", "0", "4194304",
                     "2147483647", "4096", false, "65536"}},
  };
  for (const auto& row : rows) {
    auto p = sampleMachine(row.machine);
    testing::ReportTexts r;
    EXPECT_EQ(getProcessor(r.on(*p)), row.processor) << row.machine;
    EXPECT_TRUE(r.texts.empty()) << row.machine << ": " << r.texts.front();
  }
}

TEST(HardwareEdge, EmptyMachineHasNoProcessorClassOrSpeed) {
  auto p = machineFromJson("{}");
  testing::ReportTexts r;
  ProcessorInfo proc = getProcessor(r.on(*p));
  EXPECT_EQ(proc.CPUClass, "None");
  EXPECT_EQ(proc.CPUSpeed, "0");
  EXPECT_TRUE(r.texts.empty());
}

TEST(HardwareEdge, SixtyFourBitAddressesAreWrittenWhole) {
  auto p = machineFromJson(R"({"systemInfo": {"addressBits": 64, "minimumApplicationAddress": "0x10000",
    "maximumApplicationAddress": "0x000007FFFFFEFFFF", "activeProcessorMask": "0xFFFFFFFFFFFFFFFF",
    "numberOfProcessors": 64, "pageSize": 4096, "allocationGranularity": 65536}})");
  testing::ReportTexts r;
  ProcessorInfo info = getProcessor(r.on(*p));
  EXPECT_EQ(info.MinAppAddress, "65536");
  EXPECT_EQ(info.MaxAppAddress, "8796092956671");
  EXPECT_EQ(info.ActiveProcessorMark, "18446744073709551615");
  // A 32-bit machine refuses a 64-bit address in its file.
  EXPECT_FALSE(fixtureFromJson(R"({"systemInfo": {"maximumApplicationAddress": "0x100000000"}})").ok());
}

TEST(HardwareEdge, MissingProcessorServicesAreReportedNotFatal) {
  const testing::MissingService rows[] = {
      {"no system information", [](platform::Platform& p) { p.systemInfo.reset(); }},
      {"no registry", [](platform::Platform& p) { p.registry.reset(); }},
      {"no system metrics", [](platform::Platform& p) { p.metrics.reset(); }},
  };
  for (const auto& row : rows) {
    auto p = sampleMachine("winxp-pro.json");
    row.remove(*p);
    testing::ReportTexts r;
    EXPECT_EQ(getProcessor(r.on(*p)), ProcessorInfo()) << row.name;
    EXPECT_TRUE(testing::oneReport(r.texts, "QuorvanePro.modHProcessor.getProcessor", kErrObjectNotSet))
        << row.name;
  }
}

TEST(ThisMachine, ProcessorAgreesWithCpuinfo) {
  auto p = platform::makeNativePlatform();
  testing::ReportTexts r;
  ProcessorInfo info = getProcessor(r.on(*p));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
  std::string cpu = testing::slurp("/proc/cpuinfo");
  int processors = 0;
  for (std::size_t at = 0; (at = cpu.find("\nprocessor", at)) != std::string::npos; ++at) ++processors;
  if (cpu.rfind("processor", 0) == 0) ++processors;
  EXPECT_EQ(info.NumberOfCPUs, std::to_string(processors));
  EXPECT_EQ(info.CPUVersion, field(cpu, "vendor_id"));  // not of the NT family: no MHz appended
  if (!field(cpu, "cpu family").empty()) {
    EXPECT_NE(info.CPUClass.find("Family " + field(cpu, "cpu family") + " Model " + field(cpu, "model") +
                                 " Stepping " + field(cpu, "stepping")),
              std::string::npos)
        << info.CPUClass;
    EXPECT_EQ(info.CPUStepping, std::to_string(std::stoi(field(cpu, "model")) & 0xFF) + " , " +
                                    std::to_string(std::stoi(field(cpu, "stepping")) & 0xFF));
  }
  if (!field(cpu, "cpu MHz").empty()) {
    EXPECT_EQ(info.CPUSpeed, std::to_string(std::lround(std::stod(field(cpu, "cpu MHz")))));
  }
  EXPECT_EQ(info.PageSize, std::to_string(::sysconf(_SC_PAGESIZE)));
  if (sizeof(void*) == 8) {
    // The full 64-bit value, not a 32-bit remainder.
    EXPECT_GT(std::stoull(info.MaxAppAddress), 0xFFFFFFFFull) << info.MaxAppAddress;
  }
  EXPECT_LT(std::stoull(info.MinAppAddress), std::stoull(info.MaxAppAddress));
  std::cout << "processor: " << info.NumberOfCPUs << " CPUs, " << info.CPUVersion << ", "
            << info.CPUClass << ", " << info.CPUSpeed << " MHz, max address " << info.MaxAppAddress << "\n";
}

}  // namespace
}  // namespace quorvane::agent
