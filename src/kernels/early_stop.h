// The early stop of the kernels: at every settle_check-th sample, what the input still holds
// from there on, for the bound that shows when no later sample can raise a peak.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "kernels/batch.h"

namespace kernels {

// Samples between two looks at whether the peaks have settled.
inline constexpr std::size_t settle_check = 256;

// Peaks under this never settle: the squares of the state may have underflowed, and an energy of
// zero would pass for rest.
inline constexpr double least_settling_peak = 1e-140;

// What the input still holds from a sample on: a bound on the integral of |a| to the end, and
// the largest |a|.
struct input_ahead {
  double integral = 0;
  double largest = 0;
};

// At every settle_check-th sample, what the input holds from it on: dt times the sum of |a|
// at the samples from it on (above the integral: the trapezoid of each interval takes half of
// each end, and |a| is convex between samples), and the largest |a|.
std::vector<input_ahead> input_to_come(std::span<const double> ddy, double interval);

// The same for a batch; empty where the kernel must run to the end: with histories, or with
// negative damping, which can feed the oscillator energy.
std::vector<input_ahead> input_to_come(const batch& b);

}  // namespace kernels
