// modHCommon: the small number helpers the hardware collectors share. (The
// registry reader is agent/collect/Registry.h, the version reader
// agent/collect/clsFVer.h, the system.ini reader and the version tests
// agent/collect/SystemFiles.h, the space trimming agent/collect/modRegistry.h.)
//
// Every hardware collector runs its body through runCollector
// (agent/collect/CollectContext.h) with OtherFailures::kInvalidCall: an error
// raised inside stops the body at that point, is reported as
// "QuorvanePro.<module>.<procedure>", and the collector returns what it has
// filled so far.
#pragma once

#include <cstdint>
#include <string_view>

#include "agent/collect/CollectContext.h"
#include "agent/collect/SystemFiles.h"
#include "common/ErrorReport.h"
#include "platform/Platform.h"

namespace quorvane::agent {

// The number a text gives when read as a number: "&H" hexadecimal, else the
// leading decimal digits (with a sign); 0 when there are none.
std::int64_t numberOfText(std::string_view text);

inline int hiByte(std::uint32_t w) { return static_cast<int>((w >> 8) & 0xFF); }
inline int loByte(std::uint32_t w) { return static_cast<int>(w & 0xFF); }

}  // namespace quorvane::agent
