// Uptime of a Linux host from /proc/uptime: 64 bits wide, no 32-bit wrap.
#include <memory>

#include "platform/TickCount.h"
#include "platform/linux/LinuxSources.h"
#include "common/ErrorReport.h"

namespace quorvane::platform {
namespace {

class LinuxTickCount final : public TickCount {
 public:
  Expected<std::uint64_t> milliseconds() const override {
    auto text = linux_backend::readTextFile("/proc/uptime");
    if (!text) return Status::Error(kErrFileNotFound, "File not found: /proc/uptime");
    auto ms = linux_backend::parseUptimeMilliseconds(*text);
    if (!ms) return Status::Error(kErrTypeMismatch, "Type mismatch: /proc/uptime");
    return *ms;
  }
};

}  // namespace

std::unique_ptr<TickCount> makeLinuxTickCount() { return std::make_unique<LinuxTickCount>(); }

}  // namespace quorvane::platform
