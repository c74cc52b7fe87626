// The Windows ini entries a Linux host has an equivalent for: system.ini
// [386enh] pagingdrive is the first swap area of /proc/swaps, [boot.description]
// keyboard.typ the XKB keyboard model of /etc/default/keyboard. msdos.sys has
// no equivalent (every entry is absent).
#include <memory>

#include "common/Text8.h"
#include "platform/IniFiles.h"
#include "platform/RegistryTree.h"
#include "platform/linux/LinuxKeyboard.h"
#include "platform/linux/LinuxSources.h"

namespace quorvane::platform {
namespace {

class LinuxIniFiles final : public IniFiles {
 public:
  std::optional<std::string> get(std::string_view file, std::string_view section,
                                 std::string_view key) const override {
    if (equalsNoCase(file, kSystemIni) && equalsNoCase(section, "386enh") &&
        equalsNoCase(key, "pagingdrive")) {
      auto swaps = linux_backend::readTextFile("/proc/swaps");
      if (!swaps) return std::nullopt;
      auto first = linux_backend::parseFirstSwapArea(*swaps);
      if (!first) return std::nullopt;
      return utf8ToWindows1252(*first);
    }
    if (equalsNoCase(file, kSystemIni) && equalsNoCase(section, "boot.description") &&
        equalsNoCase(key, "keyboard.typ")) {
      std::string model = linux_backend::readXkbConfig().model;
      if (model.empty()) return std::nullopt;
      return utf8ToWindows1252(model);
    }
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<IniFiles> makeLinuxIniFiles() { return std::make_unique<LinuxIniFiles>(); }

}  // namespace quorvane::platform
