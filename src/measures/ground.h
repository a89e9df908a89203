// Ground velocity and displacement from the acceleration, by the trapezoidal rule from rest.
#pragma once

#include <span>
#include <vector>

#include "processing/integrate.h"

namespace measures {

// Velocity (cm/s) and displacement (cm) from acceleration (cm/s2). With detrend, the
// displacement's least-squares straight line is removed (and its slope from the velocity).
using processing::ground_histories;
ground_histories integrate(std::span<const double> acceleration, double dt, bool detrend);

}  // namespace measures
