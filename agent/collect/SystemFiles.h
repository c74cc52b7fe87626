// The agent's small system readers that the collectors share:
// strGetSysIni and strGetMsdosSys ("None" when the entry is absent,
// "Unknown" when it is empty), isWinNT and isWin95, LoWord.
//
// The software collectors call them with their CollectContext; the hardware
// collectors, which are given the platform itself, call the forms over the
// platform's services.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/collect/CollectContext.h"
#include "platform/IniFiles.h"
#include "platform/SystemVersion.h"

namespace quorvane::agent {

std::string strGetSysIni(const platform::IniFiles& ini, std::string_view section,
                         std::string_view key);
std::string strGetSysIni(const CollectContext& ctx, std::string_view section, std::string_view key);
std::string strGetMsdosSys(const CollectContext& ctx, std::string_view section,
                           std::string_view key);

// The basic version structure; fails with the query's error, or when the
// platform has no version service.
Expected<platform::OsVersionBasic> basicVersion(const platform::Platform& p);

// The platform is of the NT family. Raises the error of a failed version query.
bool isWinNT(const CollectContext& ctx);

// The hardware collectors' tests: a version that cannot be read is neither
// of the NT family nor Windows 95 (platform 1, version 4.0).
bool isWinNT(const platform::Platform& p);
bool isWin95(const platform::Platform& p);

inline std::uint16_t LoWord(std::uint32_t value) { return static_cast<std::uint16_t>(value & 0xFFFF); }

}  // namespace quorvane::agent
