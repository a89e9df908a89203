// The bracketed duration (Bolt 1969): from the first to the last time |a| reaches a threshold.
#include <cmath>

#include "base/physics.h"
#include "measures/registry.h"

namespace measures {
namespace {

// The crossings interpolated linearly between samples, as the significant durations are;
// empty when |a| never reaches the threshold.
void of_component(const component_input& c, const settings& s, std::span<double> values,
                  std::string&) {
  const std::span<const double> a = c.acceleration;
  const double level = s.bracket_g * base::standard_gravity;
  std::size_t first = a.size(), last = a.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::fabs(a[i]) >= level) {
      if (first == a.size()) first = i;
      last = i;
    }
  }
  if (first == a.size()) {
    values[0] = NAN;
    return;
  }
  // Where |a| rises to the level before the first sample above it, and falls below it after
  // the last.
  const auto at = [&](std::size_t below, std::size_t above) {
    const double from = std::fabs(a[below]), to = std::fabs(a[above]);
    const double fraction = (level - from) / (to - from);
    return (static_cast<double>(below) +
            fraction * (static_cast<double>(above) - static_cast<double>(below))) *
           c.dt;
  };
  const double start = first > 0 ? at(first - 1, first) : 0;
  const double end = last + 1 < a.size() ? at(last + 1, last) : static_cast<double>(last) * c.dt;
  values[0] = end - start;
}

}  // namespace

const measure bracketed{.name = "bracketed duration",
                        .columns = {{"bracketed_s", "s", "Bracketed duration"}},
                        .of_component = of_component};

}  // namespace measures
