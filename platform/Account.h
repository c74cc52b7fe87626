// Account: the user the agent runs for and its access token
// (GetUserNameA, NetWkstaUserGetInfo, OpenProcessToken/GetTokenInformation,
// LookupAccountSidA).
//
// Security identifiers travel as their string form ("S-1-5-32-544").
// The logon domain comes as the system gives it, in 16-bit characters; the
// collector narrows it.
//
// `hostAdministrator` is for hosts outside the NT family that still know
// whether the user administers the machine (Linux: root or a member of sudo,
// wheel or admin). The Windows derivation reports false outside the NT
// family; a collector uses this fact when it is present.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Status.h"

namespace quorvane::platform {

inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";

class Account {
 public:
  virtual ~Account() = default;

  // GetUserNameA; nullopt when the call fails.
  virtual std::optional<std::string> userName() const = 0;
  // NetWkstaUserGetInfo level 1, logon domain; nullopt when the call fails.
  virtual std::optional<std::u16string> logonDomain() const = 0;
  // The group identifiers of the process token, in token order.
  virtual Expected<std::vector<std::string>> tokenGroups() const = 0;
  // LookupAccountSidA: the account name; nullopt when it cannot be looked up.
  virtual std::optional<std::string> lookupAccountName(std::string_view sid) const = 0;

  virtual std::optional<bool> hostAdministrator() const { return std::nullopt; }
};

}  // namespace quorvane::platform
