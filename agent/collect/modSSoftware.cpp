#include "agent/collect/modSSoftware.h"

#include "agent/collect/modRegistry.h"

namespace quorvane::agent {

Array<ApplicationInfo> getApplications(const CollectContext& ctx) {
  Array<ApplicationInfo> apps;
  runCollector(ctx, "modSSoftware", "getApplications", [&] {
    const platform::RegistryStore& store = *ctx.platform.registry;
    auto keys = getSubKeyNames(store, "HKEY_LOCAL_MACHINE", kUninstallKey, false);
    if (keys.names.empty()) return;
    apps.push_back(ApplicationInfo());
    for (const auto& name : keys.names) {
      ApplicationInfo& app = apps.items.back();
      auto read = [&](std::string_view value) {
        return trimSpaces(getKeyValue(store, platform::HKEY_LOCAL_MACHINE,
                                      CompileKeyString(kUninstallKey, name), value));
      };
      app.DisplayName = read("DisplayName");
      app.UninstallString = read("UninstallString");
      app.Publisher = read("Publisher");
      app.InstallLocation = read("InstallLocation");
      app.DisplayVersion = read("DisplayVersion");
      app.URLInfoAbout = read("URLInfoAbout");
      if (!app.DisplayName.empty()) apps.push_back(ApplicationInfo());
    }
  });
  return apps;
}

}  // namespace quorvane::agent
