// SystemParametersInfo on a Linux host: the screen-reader state from the
// running programs. Other actions fail (no equivalent), as an unknown action
// fails on Windows.
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/SystemParameters.h"
#include "platform/linux/LinuxSources.h"

namespace quorvane::platform {
namespace {

std::vector<std::string> runningProgramNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string pid = it->path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    if (auto comm = linux_backend::readTextFile(it->path().string() + "/comm")) names.push_back(*comm);
  }
  return names;
}

class LinuxSystemParameters final : public SystemParameters {
 public:
  std::optional<std::int64_t> get(unsigned action, unsigned) const override {
    if (action == SPI_GETSCREENREADER)
      return linux_backend::screenReaderRunning(runningProgramNames()) ? 1 : 0;
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<SystemParameters> makeLinuxSystemParameters() {
  return std::make_unique<LinuxSystemParameters>();
}

}  // namespace quorvane::platform
