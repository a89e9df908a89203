// A record and a request given as numbers rather than read from files and a command line (the
// Python module's), checked by the rules the readers and parsers apply, before anything is
// computed or allocated. Pure.
#pragma once

#include <span>

#include "base/status.h"

namespace spectra {

// Two samples or more, all finite, at a positive and finite interval dt (s).
base::status check_record(std::span<const double> acceleration, double dt);

// The record, then the periods (check_period_values, and check_periods' bound on the steps per
// interval) and the damping ratios (check_damping_values).
base::status check_request(std::span<const double> acceleration, double dt,
                           std::span<const double> periods, std::span<const double> dampings);

}  // namespace spectra
