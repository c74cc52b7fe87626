// The hardware collectors on this machine: processor, memory and drives
// agree with /proc/cpuinfo, /proc/meminfo and statvfs, read here on their own.
#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/modHDrives.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

std::string slurp(const char* path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string field(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string k = line.substr(0, colon);
    while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
    if (k != key) continue;
    std::string v = line.substr(colon + 1);
    auto b = v.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : v.substr(b);
  }
  return {};
}

// "1,234 Bytes" / "5 KBytes" -> 1234 / 5
double figure(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ') break;
    if (c != ',') digits += c;
  }
  return std::stod(digits);
}

using Recorder = testing::ReportTexts;

TEST(ThisMachine, ProcessorAgreesWithCpuinfo) {
  auto p = platform::makeNativePlatform();
  Recorder r;
  ProcessorInfo info = getProcessor(r.on(*p));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
  std::string cpu = slurp("/proc/cpuinfo");
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

TEST(ThisMachine, MemoryAgreesWithMeminfo) {
  auto p = platform::makeNativePlatform();
  Recorder r;
  MemoryInfo m = getMemory(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  std::string mem = slurp("/proc/meminfo");
  double total = figure(field(mem, "MemTotal"));
  double swap = figure(field(mem, "SwapTotal"));
  double avail = figure(field(mem, "MemAvailable"));
  double swapFree = figure(field(mem, "SwapFree"));
  EXPECT_EQ(m.TotalPhysicalMemory, realText(total) + " KBytes");
  EXPECT_EQ(m.MaxSwapFile, realText(total + swap) + " KBytes");
  // Available memory moves between two reads: within 64 MB.
  EXPECT_NEAR(figure(m.TotalAvailablePhysicalMemory), avail, 65536);
  EXPECT_NEAR(figure(m.FreeSwapFile), avail + swapFree, 65536);
  EXPECT_NEAR(figure(m.TotalMemoryAvailable), (2 * avail + swapFree) / 1024, 128);
  std::cout << "memory: " << m.TotalPhysicalMemory << " (MemTotal " << total << " kB), available "
            << m.TotalAvailablePhysicalMemory << " (MemAvailable " << avail << " kB)\n";
}

TEST(ThisMachine, DrivesAgreeWithStatvfs) {
  auto p = platform::makeNativePlatform();
  Recorder r;
  Array<DriveInfo> drives = getDrives(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  ASSERT_GE(drives.size(), 2u);
  EXPECT_EQ(drives[drives.size() - 1], DriveInfo());
  std::set<std::string> mountPoints;
  {
    std::istringstream in(slurp("/proc/self/mounts"));
    std::string dev, point, rest;
    while (in >> dev >> point && std::getline(in, rest)) mountPoints.insert(point);
  }
  bool sawRoot = false;
  for (std::size_t i = 0; i + 1 < drives.size(); ++i) {
    const DriveInfo& d = drives[i];
    SCOPED_TRACE(d.DriveName);
    EXPECT_TRUE(mountPoints.count(d.DriveName));
    for (const char* pseudo : {"/proc", "/sys", "/dev/pts", "/sys/fs/cgroup"}) EXPECT_NE(d.DriveName, pseudo);
    EXPECT_EQ(d.DriveSort, d.DriveType);
    struct statvfs sv {};
    if (::statvfs(d.DriveName.c_str(), &sv) != 0) continue;
    double size = static_cast<double>(sv.f_blocks) * sv.f_frsize;
    double free = static_cast<double>(sv.f_bfree) * sv.f_frsize;
    // root may fill the reserved blocks: its used space is df's (size - free)
    const double usable = static_cast<double>(::geteuid() == 0 ? sv.f_bfree : sv.f_bavail);
    double used = size - usable * sv.f_frsize;
    EXPECT_EQ(figure(d.DriveSize), size);
    EXPECT_NEAR(figure(d.DriveFree), free, 256.0 * 1024 * 1024);  // other programs write meanwhile
    EXPECT_NEAR(figure(d.DriveUsed), used, 256.0 * 1024 * 1024);
    if (d.DriveName == "/") sawRoot = true;
    std::cout << "drive " << d.DriveName << ": " << d.DriveType << ", " << d.DriveSize << " (statvfs "
              << static_cast<unsigned long long>(size) << "), free " << d.DriveFree << ", used " << d.DriveUsed
              << "\n";
  }
  EXPECT_TRUE(sawRoot);
}

TEST(ThisMachine, VideoAndSoundSayWhatIsThere) {
  auto p = platform::makeNativePlatform();
  Recorder r;
  VideoInfo v = getVideo(r.on(*p));
  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  ASSERT_GE(v.VideoCards.size(), 1u);
  std::ifstream pcm("/proc/asound/pcm");
  if (!pcm) {
    EXPECT_FALSE(s.boolPresent.isTrue());  // no ALSA: no wave devices
    EXPECT_FALSE(s.WaveInDevices.present);
  }
  std::cout << "video: " << v.currResolution << ", " << v.currColourDepth << ", cards "
            << v.VideoCards.size() << " (first \"" << v.VideoCards[0] << "\"), modes " << v.VideoModes.size()
            << "; sound present " << (s.boolPresent.isTrue() ? "yes" : "no") << "\n";
}

}  // namespace
}  // namespace quorvane::agent
