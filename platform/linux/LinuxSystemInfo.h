// Linux backend of SystemInfo (GetSystemInfo), with its pure parsers.
//
// Sources: /proc/cpuinfo (count, vendor, family, model, stepping, MHz),
// /sys/devices/system/cpu/online (active mask), sysconf (page size),
// /proc/sys/vm/mmap_min_addr and /proc/self/maps (application address
// range). The parsers take the files' text so tests feed them samples; the
// backend reads below `root` ("/" on a live system).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/RegistryTree.h"
#include "platform/SystemInfo.h"

namespace quorvane::platform::linux_backend {

struct CpuInfoSummary {
  std::uint32_t processors = 0;  // "processor" entries
  std::string vendorId;          // of the first processor
  std::string modelName;
  int family = -1;               // -1 when the file does not say
  int model = -1;
  int stepping = -1;
  double mhz = 0;                // 0 when the file does not say
};

CpuInfoSummary parseCpuInfo(std::string_view text);

// "0-3,6" -> bits 0,1,2,3,6. CPUs above 63 do not fit the mask and are left out.
std::uint64_t parseCpuList(std::string_view text);

// "Intel64 Family 6 Model 167 Stepping 1", as the system names an x86
// processor; `machine` is the uname machine ("x86_64", "i686", ...).
// Empty when the family is unknown.
std::string processorIdentifier(const CpuInfoSummary& cpu, std::string_view machine);

// Highest user address: the top of the highest user mapping of `maps`
// rounded up to the next power of two, less one page, less one (the layout
// of a 47-bit user space gives 0x7FFFFFFFEFFF). 0 when `maps` has no user
// mapping. The kernel's own [vsyscall] page is not a user mapping.
std::uint64_t maxAppAddressFromMaps(std::string_view maps, std::uint32_t pageSize);

SystemInfoFacts systemInfoFrom(const CpuInfoSummary& cpu, std::uint64_t onlineMask,
                               std::uint32_t pageSize, std::uint64_t minAddress,
                               std::uint64_t maxAddress, std::string_view machine,
                               int addressBits);

std::unique_ptr<SystemInfo> makeLinuxSystemInfo(std::string root = "/");

// The registry values of HARDWARE\DESCRIPTION\System\CentralProcessor\0 as
// this machine gives them: VendorIdentifier, Identifier, ~MHz (whole MHz).
struct CentralProcessorValues {
  std::string vendorIdentifier;
  std::string identifier;
  std::uint32_t mhz = 0;
};
CentralProcessorValues centralProcessorValues(const CpuInfoSummary& cpu, std::string_view machine);
CentralProcessorValues readCentralProcessorValues(const std::string& root = "/");
// Presents them under HKEY_LOCAL_MACHINE (a source of the Linux registry):
// VendorIdentifier and Identifier as REG_SZ, ~MHz as REG_DWORD; nothing when
// /proc/cpuinfo cannot be read.
void fillCentralProcessor(RegistryTree& tree);
void fillCentralProcessorFrom(RegistryTree& tree, const CentralProcessorValues& values);

}  // namespace quorvane::platform::linux_backend
