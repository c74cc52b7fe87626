// LocalTime: the calendar date and clock time a machine shows for a moment,
// in the machine's own time zone and daylight-saving rule (the Windows local
// time; the C library's local time on Linux). A fixture machine tells its
// own zone, so its audit dates do not depend on the host that runs it.
#pragma once

#include <chrono>
#include <memory>

namespace quorvane::platform {

struct CalendarTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const CalendarTime&) const = default;
};

class LocalTime {
 public:
  virtual ~LocalTime() = default;
  virtual CalendarTime at(std::chrono::system_clock::time_point when) const = 0;
};

// The local time of the machine this program runs on (the native backend's).
std::unique_ptr<LocalTime> makeHostLocalTime();

// The calendar time of `when` shifted by `offset` from UTC (local = UTC +
// offset), for zones given as a fixed offset.
CalendarTime calendarTimeAt(std::chrono::system_clock::time_point when, std::chrono::minutes offset);

}  // namespace quorvane::platform
