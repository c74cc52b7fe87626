// modHProcessor: the processor facts of the machine (getProcessor).
//
// From the system information and the registry key
// HARDWARE\DESCRIPTION\System\CentralProcessor\0. Application addresses are
// written at the system's width: a 32-bit system keeps the signed 32-bit
// form (an address of 2 GiB or more reads negative), a 64-bit system writes
// the full unsigned value (the 32-bit form would turn every 64-bit address
// into a meaningless number).
#pragma once

#include <cstdint>
#include <string>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

inline constexpr std::string_view kCentralProcessorKey =
    "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::string addressText(std::uint64_t address, int addressBits);
// "8 , 3"
std::string steppingText(std::uint16_t revision);
// The "~MHz" value as getValue gives it -> decimal text; "0" when empty.
std::string cpuSpeedText(std::string_view mhzValue);

ProcessorInfo getProcessor(const CollectContext& ctx);

}  // namespace quorvane::agent
