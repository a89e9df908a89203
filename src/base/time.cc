#include "base/time.h"

#include <cmath>
#include <cstdio>

namespace base {

std::optional<utc_time> make_utc(int year, int month, int day, int hour, int minute,
                                 double second) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year),
                            std::chrono::month(static_cast<unsigned>(month)),
                            std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || !(second >= 0) ||
      !(second < 61)) {
    return std::nullopt;
  }
  const auto micro = static_cast<long long>(std::llround(second * 1e6));
  return sys_days(date) + hours(hour) + minutes(minute) + microseconds(micro);
}

std::string format_utc(utc_time t) {
  using namespace std::chrono;
  const sys_days day = floor<days>(t);
  const year_month_day date(day);
  const auto in_day = t - day;
  const long long micro = in_day.count();
  const long long seconds = micro / 1'000'000, fraction = micro % 1'000'000;
  char text[48];
  int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld",
                        static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                        static_cast<unsigned>(date.day()), seconds / 3600, seconds / 60 % 60,
                        seconds % 60);
  std::string s(text, static_cast<std::size_t>(n));
  if (fraction != 0) {
    n = std::snprintf(text, sizeof text, ".%06lld", fraction);
    s.append(text, static_cast<std::size_t>(n));
    while (s.back() == '0') s.pop_back();
  }
  return s + "Z";
}

}  // namespace base
