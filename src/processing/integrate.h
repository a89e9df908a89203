// Ground velocity and displacement from acceleration: the one integrator of the suite.
#pragma once

#include <span>
#include <vector>

namespace processing {

struct ground_histories {
  std::vector<double> velocity;      // cm/s
  std::vector<double> displacement;  // cm
};

// From rest, by the trapezoidal rule on the acceleration (cm/s2) and then on the velocity:
//   v[i] = v[i-1] + (a[i-1] + a[i]) * (dt / 2),   d[i] = d[i-1] + (v[i-1] + v[i]) * (dt / 2),
// one operation at a time in that order, v[0] = d[0] = 0.
ground_histories integrate(std::span<const double> acceleration, double dt);

// The same into spans of the acceleration's length; the velocity's may be empty, and then only the
// displacement is written.
void integrate(std::span<const double> acceleration, double dt, std::span<double> velocity,
               std::span<double> displacement);

}  // namespace processing
