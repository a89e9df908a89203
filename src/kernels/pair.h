// Both components of a horizontal pair through the same oscillators at once: the peaks of each
// component, and at the angles 0 to 179 degrees the peaks over every (sub-)sample of the rotated
// displacement u1 cos t + u2 sin t, relative velocity and absolute acceleration (Boore 2010).
// No histories are kept: each point is looked at as it is computed, against the peaks so far.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "kernels/batch.h"
#include "kernels/rotd_angles.h"

namespace kernels {

struct pair_batch {
  std::span<const double> first, second;  // ground accelerations, the same count of samples
  double interval = 0;                    // s between samples
  // The oscillators over one (sub-)step each, largest number of steps per interval first.
  std::span<const oscillator_coefficients> oscillators;
  std::span<const int> substeps_of;  // steps per interval, one per oscillator
};

struct pair_response {
  peak_response first, second;  // Sd, Sv, Sa of each component, as run_batch gives them
  // The peak over time at each angle of |x1 c + x2 s| (displacement), of |x1' c + x2' s| and of
  // |(2hw x1' + w^2 x1) c + (2hw x2' + w^2 x2) s| (the absolute acceleration, cm/s2).
  std::array<double, angles> sd{}, sv{}, sa{};
  std::size_t settled_at = 0;  // where the vector kernel stopped (0: at the end)
};

// In vector lanes, stopping where no later sample can raise any peak of a group of
// oscillators, the rotated ones included.
void run_pair(const pair_batch& b, std::span<pair_response> out);

// The definition: one oscillator after the other, every angle at every (sub-)sample.
void run_pair_scalar(const pair_batch& b, std::span<pair_response> out);

}  // namespace kernels
