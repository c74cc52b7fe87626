// modSSoftware: the installed applications (getApplications).
//
// One element per uninstall entry with a DisplayName, in enumeration order,
// then the working element that follows them (its DisplayName empty, other
// values possibly those of the last entry examined); an absent array when
// the uninstall key has no subkeys.
#pragma once

#include "agent/collect/CollectContext.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

inline constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

Array<ApplicationInfo> getApplications(const CollectContext& ctx);

}  // namespace quorvane::agent
