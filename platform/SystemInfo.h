// SystemInfo: the processor and address-space facts of GetSystemInfo.
//
// Addresses and the processor mask are kept at their full width;
// `addressBits` tells whether the system is a 32-bit or a 64-bit one, so
// collectors can write them in the form the system's width calls for.
// The vendor, identifier and clock rate live in the registry
// (HARDWARE\DESCRIPTION\System\CentralProcessor\0), not here.
#pragma once

#include <cstdint>

#include "common/Status.h"

namespace quorvane::platform {

struct SystemInfoFacts {
  std::uint16_t processorArchitecture = 0;  // 0 x86, 9 x64, 12 ARM64, 0xFFFF unknown
  std::uint32_t pageSize = 0;
  std::uint64_t minimumApplicationAddress = 0;
  std::uint64_t maximumApplicationAddress = 0;
  std::uint64_t activeProcessorMask = 0;
  std::uint32_t numberOfProcessors = 0;
  std::uint32_t processorType = 0;
  std::uint32_t allocationGranularity = 0;
  std::uint16_t processorLevel = 0;
  std::uint16_t processorRevision = 0;  // high byte model, low byte stepping
  int addressBits = 32;                 // 32 or 64
  friend bool operator==(const SystemInfoFacts&, const SystemInfoFacts&) = default;
};

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;
  virtual Expected<SystemInfoFacts> get() const = 0;
};

}  // namespace quorvane::platform
