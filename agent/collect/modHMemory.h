// modHMemory: the memory figures of the machine (getMemory).
//
// K = bytes / 1024 as a real number. Real numbers are written in their
// shortest decimal form (a whole number without a point, otherwise with its
// fraction); rounding to a whole number takes halves to the even neighbour.
#pragma once

#include <cstdint>
#include <string>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"
#include "platform/MemoryStatus.h"

namespace quorvane::agent {

std::string realText(double value);
double roundHalfEven(double value);
double kilo(std::uint64_t bytes);

MemoryInfo memoryInfoOf(const platform::MemoryStatusFacts& m);
MemoryInfo getMemory(const CollectContext& ctx);

}  // namespace quorvane::agent
