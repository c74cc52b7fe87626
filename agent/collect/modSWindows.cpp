#include "agent/collect/modSWindows.h"

#include "agent/collect/Registry.h"
#include "agent/collect/SystemFiles.h"
#include "platform/SystemMetrics.h"
#include "platform/SystemParameters.h"

namespace quorvane::agent {

namespace {

constexpr std::string_view kModule = "modSWindows";

std::string csdText(const platform::OsVersionBasic& basic) {
  return basic.csdVersion.substr(0, basic.csdVersion.find('\0'));
}

std::string unitText(std::uint64_t n, const char* one, const char* many) {
  if (n == 1) return one;
  return std::to_string(n) + many;
}

}  // namespace

std::string operatingSystemText(const platform::OsVersionBasic& basic,
                                const platform::OsVersionExtended& extended,
                                bool windowsExtension) {
  const std::string csd = csdText(basic);
  const std::string csd2 = csd.substr(0, 2);
  std::string text;
  if (basic.platformId == platform::kPlatformNT) {
    if (basic.majorVersion == 5 && basic.minorVersion == 0) text = "Microsoft Windows 2000";
    else if (basic.majorVersion == 5 && basic.minorVersion == 1) text = "Microsoft Windows XP";
    else text = "Microsoft Windows NT";
  } else if (basic.majorVersion == 4 && basic.minorVersion == 10) {
    text = "Microsoft Windows 98";
    if (csd2 == " A") text += " Second Edition";
  } else if (basic.majorVersion == 4 && basic.minorVersion == 90) {
    text = "Microsoft Windows ME";
  } else if (basic.majorVersion == 4 && basic.minorVersion == 0) {
    text = "Microsoft Windows 95";
    if (csd2 == " C") text += " OEM Service Release 2";
  }
  if (extended.productType == 1) text += " Professional";
  else if (extended.productType == 3) text += " Server";
  switch (extended.suiteMask) {
    case 1: text += " Small Business Server"; break;
    case 2: text += " Advanced Server"; break;
    case 4: text += " BackOffice"; break;
    case 16: text += " Terminal Services"; break;
    case 32: text += " Small Business Server with the restrictive client license in force"; break;
    case 128: text += " DataCenter Server"; break;
    default: break;
  }
  if (text == "Microsoft Windows 95" && windowsExtension) text += " with Windows Plus!";
  return text;
}

std::string versionText(const platform::OsVersionBasic& basic,
                        const platform::OsVersionExtended& extended) {
  std::string text = std::to_string(basic.majorVersion) + "." + std::to_string(basic.minorVersion);
  if (basic.minorVersion == 0) text += "0";
  text += csdText(basic).substr(0, 2);
  text += " Build " + std::to_string(LoWord(basic.buildNumber));
  if (basic.platformId == platform::kPlatformNT)
    text += " Service Pack  " + std::to_string(extended.servicePackMajor) + "." +
            std::to_string(extended.servicePackMinor);
  return text;
}

std::string uptimeText(std::uint64_t ms) {
  const std::uint64_t days = ms / 86400000;
  const std::uint64_t hours = (ms % 86400000) / 3600000;
  const std::uint64_t minutes = (ms % 3600000) / 60000;
  const std::uint64_t seconds = (ms % 60000) / 1000;
  const std::uint64_t millis = ms % 1000;
  return unitText(days, "1 day, ", " days, ") + unitText(hours, "1 hour, ", " hours, ") +
         unitText(minutes, "1 minute, ", " minutes, ") +
         unitText(seconds, "1 second, ", " seconds, ") + unitText(millis, "1 ms", "ms");
}

WindowsInfo getWindows(const CollectContext& ctx) {
  WindowsInfo w;
  runCollector(ctx, kModule, "getWindows", [&] {
    const platform::Platform& p = ctx.platform;
    auto basic = p.version->basic();
    if (!basic.ok()) raiseStatus(basic.status());
    platform::OsVersionExtended extended;
    if (auto ext = p.version->extended(); ext.ok()) extended = *ext;
    const bool nt = basic->platformId == platform::kPlatformNT;

    if (auto name = p.version->productName()) {
      w.OperatingSystem = *name;
    } else {
      auto plus = p.parameters->get(platform::SPI_GETWINDOWSEXTENSION, 1);
      w.OperatingSystem = operatingSystemText(*basic, extended, plus && *plus != 0);
    }
    if (auto text = p.version->versionText()) w.Version = *text;
    else w.Version = versionText(*basic, extended);

    Registry reg(*p.registry);
    const char* key = nt ? "Software\\Microsoft\\Windows NT\\CurrentVersion"
                         : "Software\\Microsoft\\Windows\\CurrentVersion";
    auto fact = [&](const char* name) {
      std::string v = reg.getValue(key, name, platform::HKEY_LOCAL_MACHINE);
      return v.empty() ? std::string("Unknown or None") : v;
    };
    w.EnhancementPack = fact("Plus! VersionNumber");
    w.RegisteredOrganization = fact("RegisteredOrganization");
    w.RegisteredOwner = fact("RegisteredOwner");
    w.ProductKey = fact("ProductKey");
    w.WindowsID = fact("ProductId");

    const platform::SystemMetrics& m = *p.metrics;
    w.DebugVersionOfUser = m.get(platform::SM_DEBUG) != 0;
    w.DBCSVersionOfUser = m.get(platform::SM_DBCSENABLED) != 0;
    w.WindowsBoot = m.get(platform::SM_CLEANBOOT);
    w.HebrewAndArabic = m.get(platform::SM_MIDEASTENABLED) != 0;
    w.WindowsForPen = m.get(platform::SM_PENWINDOWS) != 0;
    w.Security = m.get(platform::SM_SECURE) != 0;
    w.ShowSounds = m.get(platform::SM_SHOWSOUNDS) != 0;
    w.DropDownMenusRightAligned = m.get(platform::SM_MENUDROPALIGNMENT) != 0;
    w.NetworkConnection = (m.get(platform::SM_NETWORK) & 1) != 0;

    auto reader = p.parameters->get(platform::SPI_GETSCREENREADER, 0);
    w.ScreenReviewer = Flag::fromRaw(reader && *reader != 0 ? 1 : 0);

    w.FastBoot = reg.getValue("System\\CurrentControlSet\\Control\\Shutdown", "FastReboot",
                              platform::HKEY_LOCAL_MACHINE);

    w.BootToGUI = strGetMsdosSys(ctx, "Options", "BootGUI") == "1";
    w.Autoscan = strGetMsdosSys(ctx, "Options", "AutoScan") == "1";
    w.ShowLogo = strGetMsdosSys(ctx, "Options", "Logo") == "1";
    w.LoadDriveSpace = strGetMsdosSys(ctx, "Options", "DrvSpace") == "1";
    w.LoadDoubleSpace = strGetMsdosSys(ctx, "Options", "DblSpace") == "1";

    auto ticks = p.ticks->milliseconds();
    if (!ticks.ok()) raiseStatus(ticks.status());
    w.Uptime = uptimeText(*ticks);

    // Read whole: a PATH of 145 characters or more is kept, not dropped.
    w.ProgramsPath = p.environment->get("PATH").value_or("");
    w.CommandInterpreter = p.environment->get("COMSPEC").value_or("");
    w.Prompt = p.environment->get("prompt").value_or("");

    w.PagingDrive = strGetSysIni(ctx, "386enh", "pagingdrive").substr(0, 2);
  });
  return w;
}

}  // namespace quorvane::agent
