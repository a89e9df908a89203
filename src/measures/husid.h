// The Husid curve: the cumulative integral of a² by the trapezoidal rule on the samples, the
// rule of the strong-motion databases (for a record band-limited below its Nyquist frequency,
// Σ a² dt is the exact ∫ a² dt; a straight line between samples, being smoother, loses energy).
#pragma once

#include <span>
#include <vector>

namespace measures {

// h[i] = ∫ a² dt from the first sample to sample i (cm²/s³).
std::vector<double> husid(std::span<const double> acceleration, double dt);

// The time at which the cumulative curve h (at the samples, rising) first reaches the value v,
// interpolated linearly between samples.
double time_reaching(std::span<const double> h, double v, double dt);

}  // namespace measures
