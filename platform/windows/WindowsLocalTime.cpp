// The local time of a Windows machine: the moment as a FILETIME, turned into
// the local SYSTEMTIME by the system's time-zone rule.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/LocalTime.h"

namespace quorvane::platform {
namespace windows_backend {
namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kFileTimeOfUnixEpoch = 116444736000000000ull;

class WindowsLocalTime final : public LocalTime {
 public:
  CalendarTime at(std::chrono::system_clock::time_point when) const override {
    using namespace std::chrono;
    const auto seconds = duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    const std::uint64_t ticks = kFileTimeOfUnixEpoch + static_cast<std::uint64_t>(seconds) * 10000000ull;
    FILETIME ft{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
      return calendarTimeAt(when, minutes(0));
    }
    return CalendarTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  }
};

}  // namespace

std::unique_ptr<LocalTime> makeWindowsLocalTime() { return std::make_unique<WindowsLocalTime>(); }

}  // namespace windows_backend

std::unique_ptr<LocalTime> makeHostLocalTime() { return windows_backend::makeWindowsLocalTime(); }

}  // namespace quorvane::platform
