// The local time of a Linux host: the C library's zone (TZ, /etc/localtime).
#include <ctime>
#include <memory>

#include "platform/LocalTime.h"

namespace quorvane::platform {
namespace linux_backend {
namespace {

class LinuxLocalTime final : public LocalTime {
 public:
  CalendarTime at(std::chrono::system_clock::time_point when) const override {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    return CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

std::unique_ptr<LocalTime> makeLinuxLocalTime() { return std::make_unique<LinuxLocalTime>(); }

}  // namespace linux_backend

std::unique_ptr<LocalTime> makeHostLocalTime() { return linux_backend::makeLinuxLocalTime(); }

}  // namespace quorvane::platform
