#include "agent/collect/modHKeyboard.h"

#include <cstdio>

#include "agent/collect/clsFVer.h"

namespace quorvane::agent {

std::string caretFlashText(unsigned milliseconds) { return std::to_string(milliseconds) + " ms"; }

std::string caretWidthText(std::optional<std::int64_t> width) {
  if (!width) return "Not Supported";
  return std::to_string(*width) + " pixels";
}

namespace {

// A driver the system names itself: its texts as given, the date and time
// of its file (empty when there is no such file).
void fillNamedDriver(KeyboardInfo& k, const platform::KeyboardDriver& d,
                     const platform::VersionResources& files) {
  k.DriverFile = d.file;
  k.DriverDesc = d.description;
  k.DriverVers = d.version;
  k.DriverProv = d.provider;
  clsFVer ver(files);
  if (ver.ReadFileDate(d.file)) {
    k.DriverDate = ver.FileDate();
    k.DriverTime = ver.FileTime();
  }
}

}  // namespace

KeyboardInfo getKeyboard(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  KeyboardInfo k;
  runCollector(ctx, "modHKeyboard", "getKeyboard", [&] {
    if (!p.keyboard || !p.ini || !p.parameters) {
      throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    }
    const auto& kb = *p.keyboard;
    k.Model = strGetSysIni(*p.ini, "boot.description", "keyboard.typ");
    k.KeyboardType = std::to_string(kb.keyboardType(0)) + "/" + std::to_string(kb.keyboardType(1));
    k.OEMCodePage = std::to_string(kb.oemCodePage());
    k.ANSICodePage = std::to_string(kb.ansiCodePage());
    std::string layout = kb.layoutName();
    if (layout.size() > 31) layout.resize(31);
    k.LayoutID = layout.substr(0, layout.find('\0'));
    auto id = static_cast<std::uint32_t>(numberOfText("&H" + k.LayoutID));
    std::string name = kb.languageName(id).value_or(std::string());
    if (name.size() > 49) name.resize(49);
    k.LayoutName = name;
    k.RepeatDelay = std::to_string(p.parameters->get(platform::SPI_GETKEYBOARDDELAY, 0).value_or(0));
    k.RepeatSpeed = std::to_string(p.parameters->get(platform::SPI_GETKEYBOARDSPEED, 0).value_or(0));
    k.NumberOfFunctionKeys = std::to_string(kb.keyboardType(2));
    k.CaretFlashSpeed = caretFlashText(kb.caretBlinkTime());
    k.CaretWidth = caretWidthText(p.parameters->get(platform::SPI_GETCARETWIDTH, 0));
    if (!p.files) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    if (auto driver = kb.driver()) {
      fillNamedDriver(k, *driver, *p.files);
      return;
    }
    std::string driverFile = strGetSysIni(*p.ini, "boot", "keyboard.drv");
    clsFVer ver(*p.files);
    ver.GetVersionClassic(driverFile);  // raises when the file or its resource is missing
    // GetFileInfo is given the name as it stands; the system finds a bare
    // name through its search path, the system directory among it.
    if (!ver.GetFileInfo(driverFile) && driverFile.find_first_of("\\/:") == std::string::npos) {
      ver.GetFileInfo(p.files->systemFilePath(driverFile));
    }
    k.DriverFile = driverFile;
    k.DriverDesc = ver.FileDescription();
    k.DriverVers = std::to_string(ver.MajorVersion()) + "." + std::to_string(ver.MinorVersion()) +
                   "." + std::to_string(ver.BuildNumber()) + "." + std::to_string(ver.QFEVersion());
    k.DriverProv = ver.CompanyName();
    k.DriverDate = ver.FileDate();
    k.DriverTime = ver.FileTime();
  }, OtherFailures::kInvalidCall);
  return k;
}

}  // namespace quorvane::agent
