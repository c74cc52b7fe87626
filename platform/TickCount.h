// TickCount: milliseconds since the system started (GetTickCount).
//
// The count is unsigned and 64 bits wide: a Windows tick count is the 32-bit
// value (it never reads negative), a Linux host gives the full uptime without
// wrapping. A host that cannot tell returns an error.
#pragma once

#include <cstdint>

#include "common/Status.h"

namespace quorvane::platform {

class TickCount {
 public:
  virtual ~TickCount() = default;
  virtual Expected<std::uint64_t> milliseconds() const = 0;
};

}  // namespace quorvane::platform
