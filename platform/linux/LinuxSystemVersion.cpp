// Version facts of a Linux host: uname's kernel release in the Windows
// numbers (platform 0, neither Windows family, so no Windows name applies),
// the distribution's PRETTY_NAME as the product name and "major.minor Build
// patch" as the version text. There is no extended structure.
#include <sys/utsname.h>

#include <memory>

#include "common/Text8.h"
#include "platform/SystemVersion.h"
#include "platform/linux/LinuxSources.h"
#include "platform/PlatformErrors.h"

namespace quorvane::platform {
namespace {

std::optional<linux_backend::KernelRelease> kernel() {
  struct utsname u {};
  if (uname(&u) != 0) return std::nullopt;
  return linux_backend::parseKernelRelease(u.release);
}

class LinuxSystemVersion final : public SystemVersion {
 public:
  Expected<OsVersionBasic> basic() const override {
    auto k = kernel();
    if (!k) return Status::Error(kErrInvalidCall, "The kernel release cannot be read");
    OsVersionBasic b;
    b.majorVersion = k->major;
    b.minorVersion = k->minor;
    b.buildNumber = k->patch;
    b.platformId = kPlatformWin32s;
    return b;
  }
  Expected<OsVersionExtended> extended() const override {
    return Status::Error(kErrInvalidParameter, "The parameter is incorrect.");
  }
  std::optional<std::string> productName() const override {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
      if (auto text = linux_backend::readTextFile(path)) {
        if (auto name = linux_backend::parseOsReleasePrettyName(*text)) return utf8ToWindows1252(*name);
      }
    }
    return std::nullopt;
  }
  std::optional<std::string> versionText() const override {
    auto k = kernel();
    if (!k) return std::nullopt;
    return linux_backend::kernelVersionText(*k);
  }
};

}  // namespace

std::unique_ptr<SystemVersion> makeLinuxSystemVersion() {
  return std::make_unique<LinuxSystemVersion>();
}

}  // namespace quorvane::platform
