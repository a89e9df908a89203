#include "spectra/inputs.h"

#include <cmath>
#include <string>

#include "base/numbers.h"
#include "spectra/grids.h"
#include "spectra/spectrum.h"

namespace spectra {

base::status check_record(std::span<const double> acceleration, double dt) {
  if (!(dt > 0) || !std::isfinite(dt)) {
    return base::failure("the interval must be a positive number of seconds, not " +
                         base::shortest(dt));
  }
  if (acceleration.size() < 2) {
    return base::failure("a record has two samples or more, not " +
                         std::to_string(acceleration.size()));
  }
  for (std::size_t i = 0; i < acceleration.size(); ++i) {
    if (!std::isfinite(acceleration[i])) {
      return base::failure("the sample at index " + std::to_string(i) + " is not finite");
    }
  }
  return {};
}

base::status check_request(std::span<const double> acceleration, double dt,
                           std::span<const double> periods, std::span<const double> dampings) {
  base::status why = check_record(acceleration, dt);
  if (why.ok()) why = check_period_values(periods);
  if (why.ok()) why = check_periods(periods, dt);
  if (why.ok()) why = check_damping_values(dampings);
  return why;
}

}  // namespace spectra
