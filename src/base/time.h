// Times in UTC, to the microsecond: when a record's first sample was taken.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace base {

using utc_time = std::chrono::sys_time<std::chrono::microseconds>;

// From calendar fields; nothing when a field is out of its range.
std::optional<utc_time> make_utc(int year, int month, int day, int hour, int minute, double second);
// ISO 8601: "2018-11-30T17:29:29.123456Z" (fraction only where it is not zero: "...:29Z").
std::string format_utc(utc_time t);

}  // namespace base
