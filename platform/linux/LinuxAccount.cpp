// The account of a Linux host: the login name of the user the agent runs
// for, and whether that user administers the machine (root, or a member of
// sudo, wheel or admin). Linux has no security identifiers or logon domain:
// those calls fail.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "common/Text8.h"
#include "platform/Account.h"
#include "platform/linux/LinuxSources.h"
#include "platform/PlatformErrors.h"

namespace quorvane::platform {
namespace {

struct UserFacts {
  std::string name;
  gid_t gid = 0;
  bool known = false;
};

UserFacts currentUser() {
  UserFacts u;
  std::vector<char> buffer(16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found) {
    u.name = found->pw_name;
    u.gid = found->pw_gid;
    u.known = true;
  }
  return u;
}

std::vector<std::string> groupNames(const UserFacts& u) {
  std::vector<std::string> names;
  if (!u.known) return names;
  int count = 64;
  std::vector<gid_t> gids(count);
  if (getgrouplist(u.name.c_str(), u.gid, gids.data(), &count) < 0) {
    gids.resize(count);
    if (getgrouplist(u.name.c_str(), u.gid, gids.data(), &count) < 0) count = 0;
  }
  gids.resize(count);
  std::vector<char> buffer(16384);
  for (gid_t g : gids) {
    struct group gr {};
    struct group* found = nullptr;
    if (getgrgid_r(g, &gr, buffer.data(), buffer.size(), &found) == 0 && found)
      names.emplace_back(found->gr_name);
  }
  return names;
}

class LinuxAccount final : public Account {
 public:
  std::optional<std::string> userName() const override {
    auto u = currentUser();
    if (!u.known) return std::nullopt;
    return utf8ToWindows1252(u.name);
  }
  std::optional<std::u16string> logonDomain() const override { return std::nullopt; }
  Expected<std::vector<std::string>> tokenGroups() const override {
    return Status::Error(kErrNotSupported, "The request is not supported.");
  }
  std::optional<std::string> lookupAccountName(std::string_view) const override {
    return std::nullopt;
  }
  std::optional<bool> hostAdministrator() const override {
    auto u = currentUser();
    return linux_backend::isAdministratorAccount(static_cast<std::uint32_t>(getuid()), groupNames(u));
  }
};

}  // namespace

std::unique_ptr<Account> makeLinuxAccount() { return std::make_unique<LinuxAccount>(); }

}  // namespace quorvane::platform
