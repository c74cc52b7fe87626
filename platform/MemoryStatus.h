// MemoryStatus: the memory figures of GlobalMemoryStatus, in bytes, at full
// width (a 32-bit system caps them at 4 GiB itself).
#pragma once

#include <cstdint>

#include "common/Status.h"

namespace quorvane::platform {

struct MemoryStatusFacts {
  std::uint32_t memoryLoad = 0;  // percent of physical memory in use
  std::uint64_t totalPhys = 0;
  std::uint64_t availPhys = 0;
  std::uint64_t totalPageFile = 0;
  std::uint64_t availPageFile = 0;
  std::uint64_t totalVirtual = 0;
  std::uint64_t availVirtual = 0;
  friend bool operator==(const MemoryStatusFacts&, const MemoryStatusFacts&) = default;
};

class MemoryStatus {
 public:
  virtual ~MemoryStatus() = default;
  virtual Expected<MemoryStatusFacts> get() const = 0;
};

}  // namespace quorvane::platform
