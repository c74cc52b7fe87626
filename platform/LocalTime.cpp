#include "platform/LocalTime.h"

namespace quorvane::platform {

CalendarTime calendarTimeAt(std::chrono::system_clock::time_point when, std::chrono::minutes offset) {
  using namespace std::chrono;
  const auto local = floor<seconds>(when) + offset;
  const auto day = floor<days>(local);
  const year_month_day date(day);
  const hh_mm_ss clock(local - day);
  CalendarTime t;
  t.year = static_cast<int>(date.year());
  t.month = static_cast<int>(static_cast<unsigned>(date.month()));
  t.day = static_cast<int>(static_cast<unsigned>(date.day()));
  t.hour = static_cast<int>(clock.hours().count());
  t.minute = static_cast<int>(clock.minutes().count());
  t.second = static_cast<int>(clock.seconds().count());
  return t;
}

}  // namespace quorvane::platform
