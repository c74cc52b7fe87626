// Files of a Linux host: real existence and modification times; Linux files
// carry no version resources. The "system directory" is the kernel's module
// folder of the running release, where the drivers live.
#include <sys/stat.h>
#include <sys/utsname.h>

#include <ctime>
#include <memory>

#include "platform/VersionResources.h"

namespace quorvane::platform {
namespace {

class LinuxFiles final : public VersionResources {
 public:
  std::string systemFilePath(std::string_view name) const override {
    struct utsname u {};
    std::string dir = uname(&u) == 0 ? std::string("/lib/modules/") + u.release : "/lib/modules";
    return dir + "/" + std::string(name);
  }
  bool fileExists(std::string_view path) const override {
    struct stat st {};
    return stat(std::string(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  std::optional<LocalDateTime> lastModified(std::string_view path) const override {
    struct stat st {};
    if (stat(std::string(path).c_str(), &st) != 0) return std::nullopt;
    struct tm t {};
    time_t when = st.st_mtim.tv_sec;
    if (!localtime_r(&when, &t)) return std::nullopt;
    return LocalDateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
  }
  std::optional<VersionResource> versionResource(std::string_view) const override {
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<VersionResources> makeLinuxFiles() { return std::make_unique<LinuxFiles>(); }

}  // namespace quorvane::platform
