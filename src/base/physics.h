// Physical constants and the units of acceleration that records come in.
#pragma once

#include <optional>
#include <string_view>

namespace base {

// The standard acceleration of gravity, cm/s2 (9.80665 m/s2, by definition).
inline constexpr double standard_gravity = 980.665;

enum class acceleration_unit { g, gal, m_per_s2 };

// "g", "gal", "cm/s2" (also cm/s^2, cm/s/s, cm/sec2, cm/sec^2), "m/s2" (also m/s^2, m/s/s,
// m/sec2, m/sec^2); case and edge blanks are ignored.
std::optional<acceleration_unit> parse_unit(std::string_view text);

// cm/s2 per unit.
constexpr double in_gal(acceleration_unit unit) {
  switch (unit) {
    case acceleration_unit::g:
      return standard_gravity;
    case acceleration_unit::gal:
      return 1;
    case acceleration_unit::m_per_s2:
      return 100;
  }
  return 1;
}

// The name a unit is written with in tables and messages: "g", "cm/s2", "m/s2".
std::string_view unit_name(acceleration_unit unit);

}  // namespace base
