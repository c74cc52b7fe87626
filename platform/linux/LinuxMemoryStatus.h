// Linux backend of MemoryStatus (GlobalMemoryStatus), with its pure parser.
//
// Source: /proc/meminfo. Physical memory is MemTotal and MemAvailable (on
// kernels without MemAvailable: MemFree + Buffers + Cached); the page file
// is physical memory plus swap (MemTotal + SwapTotal, MemAvailable +
// SwapFree), as the Windows commit figures are; the load is the share of
// physical memory in use, whole percent, rounded down.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/MemoryStatus.h"

namespace quorvane::platform::linux_backend {

// Fails when MemTotal is missing.
Expected<MemoryStatusFacts> parseMemInfo(std::string_view text);

std::unique_ptr<MemoryStatus> makeLinuxMemoryStatus(std::string root = "/");

}  // namespace quorvane::platform::linux_backend
