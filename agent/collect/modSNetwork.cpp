#include "agent/collect/modSNetwork.h"

#include "agent/collect/SystemFiles.h"
#include "platform/Account.h"

namespace quorvane::agent {

namespace {
constexpr std::string_view kModule = "modSNetwork";

bool isLoopbackAddress(const std::string& a) { return a.rfind("127.", 0) == 0; }
}  // namespace

std::string chooseAgentAddress(const std::optional<std::string>& routeLocal,
                               const std::vector<platform::InterfaceAddress>& addresses) {
  if (routeLocal && !routeLocal->empty() && *routeLocal != "0.0.0.0") return *routeLocal;
  for (const auto& a : addresses)
    if (a.up && !a.loopback && !isLoopbackAddress(a.address) && a.address != "0.0.0.0")
      return a.address;
  return "127.0.0.1";
}

std::string agentAddress(const CollectContext& ctx) {
  std::optional<std::string> route;
  if (!ctx.serverIP.empty()) route = ctx.platform.network->localAddressToward(ctx.serverIP);
  return chooseAgentAddress(route, ctx.platform.network->addresses());
}

std::string getWorkgroup(const CollectContext& ctx) {
  std::string result;
  runCollector(ctx, kModule, "getWorkgroup", [&] {
    auto value = ctx.platform.registry->queryValue(
        platform::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\VXD\\VNETSUP",
        "Workgroup");
    // Read into a 255-character buffer: a longer value cannot be read.
    if (!value || value->data.size() > 255) return;
    result = value->data.substr(0, value->data.find('\0'));
  });
  return result;
}

std::string getDomainName(const CollectContext& ctx) {
  std::string result;
  bool nt = false;
  runCollector(ctx, kModule, "getDomainName", [&] {
    nt = isWinNT(ctx);
    if (!nt) return;
    auto domain = ctx.platform.account->logonDomain();
    if (!domain) return;
    for (char16_t c : *domain) {
      if (result.size() >= 256) break;
      result.push_back(static_cast<char>(c & 0xFF));
    }
  });
  if (!nt) return getWorkgroup(ctx);
  return result;
}

bool isAdministrator(const CollectContext& ctx) {
  bool admin = false;
  runCollector(ctx, kModule, "isAdministrator", [&] {
    const platform::Account& account = *ctx.platform.account;
    auto groups = account.tokenGroups();
    if (!groups.ok()) return;
    auto adminName = account.lookupAccountName(platform::kAdministratorsSid);
    // A name that cannot be looked up matches nothing (two failed look-ups
    // must not count as the same name).
    if (!adminName) return;
    std::size_t examined = 0;
    for (const auto& sid : *groups) {
      if (++examined > 500) break;
      auto name = account.lookupAccountName(sid);
      if (name && *name == *adminName) {
        admin = true;
        return;
      }
    }
  });
  return admin;
}

std::string strGetUserName(const CollectContext& ctx) {
  std::string result;
  runCollector(ctx, kModule, "strGetUserName", [&] {
    auto name = ctx.platform.account->userName();
    if (name) result = name->substr(0, name->find('\0'));
  });
  return result;
}

std::string localHostName(const CollectContext& ctx) {
  auto host = ctx.platform.network->hostName();
  if (host.ok()) return host->substr(0, host->find('\0'));
  // A failed look-up is said in a message box of its own; the collector goes
  // on with an empty name and the address rules still name the audit file.
  if (ctx.report) {
    CollectReport r;
    r.description = kHostNameFailedText;
    r.text = kHostNameFailedText;
    ctx.report(r);
  }
  return {};
}

NetworkInfo getNetwork(const CollectContext& ctx) {
  NetworkInfo n;
  runCollector(ctx, kModule, "getNetwork", [&] {
    n.Hostname = localHostName(ctx);
    n.IP = agentAddress(ctx);
    n.UserName = strGetUserName(ctx);
    const bool nt = isWinNT(ctx);
    n.IsNT = nt;
    n.DomainName = nt ? getDomainName(ctx) : getWorkgroup(ctx);
    if (nt) n.IsAdmin = isAdministrator(ctx);
    else n.IsAdmin = ctx.platform.account->hostAdministrator().value_or(false);
  });
  return n;
}

}  // namespace quorvane::agent
