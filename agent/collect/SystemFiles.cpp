#include "agent/collect/SystemFiles.h"

namespace quorvane::agent {

namespace {
std::string iniText(const std::optional<std::string>& entry) {
  if (!entry) return "None";
  if (entry->empty()) return "Unknown";
  return *entry;
}
}  // namespace

std::string strGetSysIni(const platform::IniFiles& ini, std::string_view section,
                         std::string_view key) {
  return iniText(ini.get(platform::kSystemIni, section, key));
}

std::string strGetSysIni(const CollectContext& ctx, std::string_view section, std::string_view key) {
  return strGetSysIni(*ctx.platform.ini, section, key);
}

std::string strGetMsdosSys(const CollectContext& ctx, std::string_view section,
                           std::string_view key) {
  return iniText(ctx.platform.ini->get(platform::kMsdosSys, section, key));
}

Expected<platform::OsVersionBasic> basicVersion(const platform::Platform& p) {
  if (!p.version) return Status::Error(kErrObjectNotSet, "Object variable or With block variable not set");
  return p.version->basic();
}

bool isWinNT(const CollectContext& ctx) {
  auto v = basicVersion(ctx.platform);
  if (!v.ok()) raiseStatus(v.status());
  return v->platformId == platform::kPlatformNT;
}

bool isWinNT(const platform::Platform& p) {
  auto v = basicVersion(p);
  return v.ok() && v->platformId == platform::kPlatformNT;
}

bool isWin95(const platform::Platform& p) {
  auto v = basicVersion(p);
  return v.ok() && v->platformId == platform::kPlatformWindows && v->majorVersion == 4 &&
         v->minorVersion == 0;
}

}  // namespace quorvane::agent
