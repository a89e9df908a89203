#include "plot/options.h"

#include <cmath>

#include "base/numbers.h"

namespace plot {

std::string read_labels(std::string_view units, std::string_view period, std::string_view damping,
                        history_labels& labels) {
  if (!units.empty()) {
    labels.units = base::parse_unit(units);
    if (!labels.units) return "--units: expected g, gal or m/s2, not '" + std::string(units) + "'";
  }
  if (!period.empty()) {
    const std::optional<double> t = base::parse_decimal(period);
    if (!t || !std::isfinite(*t) || !(*t > 0))
      return "--period: expected a period in seconds above 0, not '" + std::string(period) + "'";
    labels.period = *t;
  }
  if (!damping.empty()) {
    const std::optional<double> h = base::parse_decimal(damping);
    if (!h || !(*h >= 0) || !(*h < 1))
      return "--damping: expected a ratio from 0 up to 1 (0.05 for 5%), not '" +
             std::string(damping) + "'";
    labels.damping = *h;
  }
  return {};
}

}  // namespace plot
