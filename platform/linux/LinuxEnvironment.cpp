// The environment of a Linux host under the Windows names: COMSPEC is the
// user's shell (SHELL, else the login shell of the password database),
// "prompt" is PS1; any other name is looked up as given, then in upper case.
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>

#include "common/Text8.h"
#include "platform/Environment.h"
#include "platform/RegistryTree.h"
#include "platform/linux/LinuxSources.h"

namespace quorvane::platform {
namespace {

std::optional<std::string> env(const std::string& name) {
  const char* v = std::getenv(name.c_str());
  if (!v) return std::nullopt;
  return std::string(v);
}

class LinuxEnvironment final : public Environment {
 public:
  std::optional<std::string> get(std::string_view name) const override {
    std::optional<std::string> v;
    if (equalsNoCase(name, "COMSPEC")) {
      v = env("SHELL");
      if (!v || v->empty()) {
        if (auto passwd = linux_backend::readTextFile("/etc/passwd"))
          if (auto e = linux_backend::parsePasswdByUid(*passwd, static_cast<std::uint32_t>(getuid())))
            if (!e->shell.empty()) v = e->shell;
      }
    } else if (equalsNoCase(name, "prompt")) {
      v = env("PS1");
    } else {
      v = env(std::string(name));
      if (!v) {
        std::string upper(name);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        v = env(upper);
      }
    }
    if (!v) return std::nullopt;
    return utf8ToWindows1252(*v);
  }
};

}  // namespace

std::unique_ptr<Environment> makeLinuxEnvironment() {
  return std::make_unique<LinuxEnvironment>();
}

}  // namespace quorvane::platform
