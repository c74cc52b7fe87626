// modSWindows: the operating-system facts of the machine (getWindows).
//
// The texts are derived from the raw Windows facts exactly as on Windows:
// the operating-system name with its edition and suite words, the version
// text, the uptime words. Where the platform gives a final text (a Linux
// distribution name, a kernel version) it is stored instead of the
// derivation. Fields are filled in the order below; an error stops the
// collector there, is reported, and the fields before it are kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "agent/collect/CollectContext.h"
#include "common/AuditRecord.h"
#include "platform/SystemVersion.h"

namespace quorvane::agent {

// "Microsoft Windows 98 Second Edition", "Microsoft Windows XP Professional", ...
// `windowsExtension` is the SPI_GETWINDOWSEXTENSION answer (Windows 95 Plus!).
std::string operatingSystemText(const platform::OsVersionBasic& basic,
                                const platform::OsVersionExtended& extended,
                                bool windowsExtension);

// "4.10 A Build 2222", "5.00 Build 2195 Service Pack  0.0", ...
std::string versionText(const platform::OsVersionBasic& basic,
                        const platform::OsVersionExtended& extended);

// "0 days, 3 hours, 1 minute, 12 seconds, 250ms"
std::string uptimeText(std::uint64_t milliseconds);

WindowsInfo getWindows(const CollectContext& ctx);

}  // namespace quorvane::agent
