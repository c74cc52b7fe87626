#include "agent/collect/SystemFiles.h"

namespace quorvane::agent {

namespace {
std::string iniText(const std::optional<std::string>& entry) {
  if (!entry) return "None";
  if (entry->empty()) return "Unknown";
  return *entry;
}
}  // namespace

std::string strGetSysIni(const CollectContext& ctx, std::string_view section, std::string_view key) {
  return iniText(ctx.platform.ini->get(platform::kSystemIni, section, key));
}

std::string strGetMsdosSys(const CollectContext& ctx, std::string_view section,
                           std::string_view key) {
  return iniText(ctx.platform.ini->get(platform::kMsdosSys, section, key));
}

bool isWinNT(const CollectContext& ctx) {
  auto v = ctx.platform.version->basic();
  if (!v.ok()) raiseStatus(v.status());
  return v->platformId == platform::kPlatformNT;
}

}  // namespace quorvane::agent
