#include "records/at2_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>

#include "base/numbers.h"
#include "base/physics.h"

namespace records {
namespace {

std::string one_line(std::string_view text, bool no_commas) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r' || (no_commas && c == ',')) c = ' ';
  }
  return line;
}

}  // namespace

std::string write_at2(const component& c, std::string_view record,
                      std::span<const std::string> steps) {
  std::string out = "PROCESSED:";
  if (steps.empty()) out += " nothing";
  for (std::size_t i = 0; i < steps.size(); ++i) {
    out += i == 0 ? " " : "; ";
    out += one_line(steps[i], false);
  }
  out += '\n';
  out += one_line(record, false) + ", " + one_line(c.channel, true) + '\n';
  out += "ACCELERATION TIME SERIES IN UNITS OF G\n";
  out +=
      "NPTS= " + std::to_string(c.acceleration.size()) + ", DT= " + base::shortest(c.dt) + " SEC\n";
  out.reserve(out.size() + c.acceleration.size() * 16 + c.acceleration.size() / 5 + 1);
  for (std::size_t i = 0; i < c.acceleration.size(); ++i) {
    assert(std::isfinite(c.acceleration[i]));
    char field[32];
    std::snprintf(field, sizeof field, " % .8E", c.acceleration[i] / base::standard_gravity);
    out += field;
    if (i % 5 == 4 || i + 1 == c.acceleration.size()) out += '\n';
  }
  return out;
}

}  // namespace records
