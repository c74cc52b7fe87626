#include "platform/linux/LinuxSystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdlib>

#include "platform/linux/LinuxHardwareFiles.h"
#include "common/ErrorReport.h"

namespace quorvane::platform::linux_backend {
namespace {

// Splits "key<tabs>: value" of a cpuinfo line.
bool splitField(std::string_view line, std::string_view& key, std::string_view& value) {
  auto colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  key = trimBlanks(line.substr(0, colon));
  value = trimBlanks(line.substr(colon + 1));
  return true;
}

int toInt(std::string_view v) {
  auto n = parseNumber(v);
  return n && *n < 1000000 ? static_cast<int>(*n) : -1;
}

std::string machineName() {
  utsname u{};
  if (::uname(&u) != 0) return {};
  return u.machine;
}

}  // namespace

CpuInfoSummary parseCpuInfo(std::string_view text) {
  CpuInfoSummary cpu;
  bool firstDone = false;  // facts are taken from the first processor block
  std::size_t pos = 0;
  while (pos <= text.size()) {
    auto end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    std::string_view key, value;
    if (!splitField(line, key, value)) {
      if (trimBlanks(line).empty() && cpu.processors > 0) firstDone = true;
      if (end == text.size()) break;
      continue;
    }
    if (key == "processor") {
      ++cpu.processors;
      if (cpu.processors > 1) firstDone = true;
      continue;
    }
    if (firstDone) continue;
    if (key == "vendor_id") {
      cpu.vendorId = std::string(value);
    } else if (key == "model name") {
      cpu.modelName = std::string(value);
    } else if (key == "cpu family") {
      cpu.family = toInt(value);
    } else if (key == "model") {
      cpu.model = toInt(value);
    } else if (key == "stepping") {
      cpu.stepping = toInt(value);
    } else if (key == "cpu MHz") {
      char* endp = nullptr;
      std::string v(value);
      double mhz = std::strtod(v.c_str(), &endp);
      if (endp != v.c_str() && std::isfinite(mhz) && mhz > 0) cpu.mhz = mhz;
    }
    if (end == text.size()) break;
  }
  return cpu;
}

std::uint64_t parseCpuList(std::string_view text) {
  std::uint64_t mask = 0;
  text = trimBlanks(text);
  while (!text.empty()) {
    auto comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    auto dash = item.find('-');
    auto lo = parseNumber(item.substr(0, dash));
    auto hi = dash == std::string_view::npos ? lo : parseNumber(item.substr(dash + 1));
    if (!lo || !hi || *hi < *lo) continue;
    for (unsigned long long c = *lo; c <= *hi && c < 64; ++c) mask |= std::uint64_t{1} << c;
  }
  return mask;
}

std::string processorIdentifier(const CpuInfoSummary& cpu, std::string_view machine) {
  if (cpu.family < 0) return {};
  std::string arch;
  if (machine == "x86_64") {
    arch = cpu.vendorId == "AuthenticAMD" || cpu.vendorId == "HygonGenuine" ? "AMD64" : "Intel64";
  } else if (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86") {
    arch = "x86";
  } else {
    arch = std::string(machine);
  }
  std::string out = arch + " Family " + std::to_string(cpu.family);
  if (cpu.model >= 0) out += " Model " + std::to_string(cpu.model);
  if (cpu.stepping >= 0) out += " Stepping " + std::to_string(cpu.stepping);
  return out;
}

std::uint64_t maxAppAddressFromMaps(std::string_view maps, std::uint32_t pageSize) {
  std::uint64_t top = 0;
  std::size_t pos = 0;
  while (pos < maps.size()) {
    auto end = maps.find('\n', pos);
    if (end == std::string_view::npos) end = maps.size();
    std::string_view line = maps.substr(pos, end - pos);
    pos = end + 1;
    if (line.find("[vsyscall]") != std::string_view::npos) continue;
    auto dash = line.find('-');
    auto space = line.find(' ');
    if (dash == std::string_view::npos || space == std::string_view::npos || space < dash) continue;
    auto hi = parseNumber("0x" + std::string(line.substr(dash + 1, space - dash - 1)));
    if (hi && *hi > top) top = *hi;
  }
  if (top == 0) return 0;
  std::uint64_t ceiling = std::bit_ceil(top);
  if (ceiling == 0) return ~std::uint64_t{0};  // top above 2^63
  return ceiling - pageSize - 1;
}

SystemInfoFacts systemInfoFrom(const CpuInfoSummary& cpu, std::uint64_t onlineMask,
                               std::uint32_t pageSize, std::uint64_t minAddress,
                               std::uint64_t maxAddress, std::string_view machine,
                               int addressBits) {
  SystemInfoFacts f;
  if (machine == "x86_64") f.processorArchitecture = addressBits == 64 ? 9 : 0;
  else if (machine.size() == 4 && machine[0] == 'i') f.processorArchitecture = 0;
  else if (machine == "aarch64") f.processorArchitecture = 12;
  else f.processorArchitecture = 0xFFFF;
  f.pageSize = pageSize;
  f.minimumApplicationAddress = minAddress;
  f.maximumApplicationAddress = maxAddress;
  f.activeProcessorMask = onlineMask;
  f.numberOfProcessors = cpu.processors;
  if (f.numberOfProcessors == 0) f.numberOfProcessors = static_cast<std::uint32_t>(std::popcount(onlineMask));
  f.allocationGranularity = pageSize;  // mmap hands out whole pages
  f.processorLevel = cpu.family > 0 ? static_cast<std::uint16_t>(cpu.family) : 0;
  if (cpu.model >= 0 && cpu.stepping >= 0) {
    f.processorRevision =
        static_cast<std::uint16_t>(((cpu.model & 0xFF) << 8) | (cpu.stepping & 0xFF));
  }
  f.addressBits = addressBits;
  return f;
}

CentralProcessorValues centralProcessorValues(const CpuInfoSummary& cpu, std::string_view machine) {
  CentralProcessorValues v;
  v.vendorIdentifier = cpu.vendorId;
  v.identifier = processorIdentifier(cpu, machine);
  v.mhz = static_cast<std::uint32_t>(std::lround(cpu.mhz));
  return v;
}

CentralProcessorValues readCentralProcessorValues(const std::string& root) {
  auto text = readWholeFile(joinPath(root, "proc/cpuinfo"));
  return centralProcessorValues(parseCpuInfo(text ? *text : std::string()), machineName());
}

void fillCentralProcessorFrom(RegistryTree& tree, const CentralProcessorValues& v) {
  constexpr std::string_view key = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  if (!v.vendorIdentifier.empty()) {
    tree.setValue(HKEY_LOCAL_MACHINE, key, "VendorIdentifier", RegistryTree::sz(v.vendorIdentifier));
  }
  if (!v.identifier.empty()) {
    tree.setValue(HKEY_LOCAL_MACHINE, key, "Identifier", RegistryTree::sz(v.identifier));
  }
  if (v.mhz != 0) tree.setValue(HKEY_LOCAL_MACHINE, key, "~MHz", RegistryTree::dword(v.mhz));
}

void fillCentralProcessor(RegistryTree& tree) {
  auto text = readWholeFile("/proc/cpuinfo");
  if (!text) return;
  fillCentralProcessorFrom(tree, centralProcessorValues(parseCpuInfo(*text), machineName()));
}

namespace {

class LinuxSystemInfo final : public RootedBackend<SystemInfo> {
 public:
  using RootedBackend::RootedBackend;

  Expected<SystemInfoFacts> get() const override {
    auto cpuText = readWholeFile(path("proc/cpuinfo"));
    if (!cpuText) return Status::Error(kErrFileNotFound, "File not found: /proc/cpuinfo");
    CpuInfoSummary cpu = parseCpuInfo(*cpuText);
    std::uint64_t mask = parseCpuList(readFirstLine(path("sys/devices/system/cpu/online")));
    long page = ::sysconf(_SC_PAGESIZE);
    auto pageSize = static_cast<std::uint32_t>(page > 0 ? page : 4096);
    std::uint64_t minAddr = pageSize;
    if (auto m = parseNumber(readFirstLine(path("proc/sys/vm/mmap_min_addr")))) {
      if (*m > 0) minAddr = *m;
    }
    auto maps = readWholeFile(path("proc/self/maps"));
    std::uint64_t maxAddr = maps ? maxAppAddressFromMaps(*maps, pageSize) : 0;
    return systemInfoFrom(cpu, mask, pageSize, minAddr, maxAddr, machineName(),
                          static_cast<int>(sizeof(void*) * 8));
  }
};

}  // namespace

std::unique_ptr<SystemInfo> makeLinuxSystemInfo(std::string root) {
  return std::make_unique<LinuxSystemInfo>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
