#include "base/physics.h"

#include "base/strings.h"

namespace base {

std::optional<acceleration_unit> parse_unit(std::string_view text) {
  const std::string u = lower(trim(text));
  if (u == "g") return acceleration_unit::g;
  for (const char* name : {"gal", "cm/s2", "cm/s^2", "cm/s/s", "cm/sec2", "cm/sec^2", "cm/s**2"}) {
    if (u == name) return acceleration_unit::gal;
  }
  for (const char* name : {"m/s2", "m/s^2", "m/s/s", "m/sec2", "m/sec^2", "m/s**2"}) {
    if (u == name) return acceleration_unit::m_per_s2;
  }
  return std::nullopt;
}

std::string_view unit_name(acceleration_unit unit) {
  switch (unit) {
    case acceleration_unit::g:
      return "g";
    case acceleration_unit::gal:
      return "cm/s2";
    case acceleration_unit::m_per_s2:
      return "m/s2";
  }
  return "";
}

}  // namespace base
