// The agent's small system readers that the software collectors share:
// strGetSysIni and strGetMsdosSys ("None" when the entry is absent,
// "Unknown" when it is empty), isWinNT, LoWord.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/collect/CollectContext.h"

namespace quorvane::agent {

std::string strGetSysIni(const CollectContext& ctx, std::string_view section, std::string_view key);
std::string strGetMsdosSys(const CollectContext& ctx, std::string_view section,
                           std::string_view key);

// The platform is of the NT family. Raises the error of a failed version query.
bool isWinNT(const CollectContext& ctx);

inline std::uint16_t LoWord(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

}  // namespace quorvane::agent
