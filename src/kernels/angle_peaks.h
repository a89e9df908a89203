// The 180 per-angle peaks of one rotated ordinate, sorted: RotD at any percentile, and its angle.
#pragma once

#include <array>
#include <cstdint>

#include "kernels/rotd_angles.h"

namespace kernels {

struct angle_peaks {
  std::array<double, angles> sorted{};  // ascending
  // The angle (degrees) of each sorted value: the first angle whose peak is that value.
  std::array<std::uint8_t, angles> angle{};

  // From the peaks at angles 0 to 179, each divided by scale.
  static angle_peaks of(const double* by_angle, double scale = 1);

  // RotDp, p in [0, 100]: the value at rank p * 179 / 100 of the sorted peaks, interpolated
  // linearly between the two about a rank that falls between them: RotD00 is the smallest,
  // RotD100 the largest, RotD50 the mean of the 90th and 91st. p outside [0, 100] is clamped.
  double percentile(double p) const;
  // The angle of the sorted value at or below the rank.
  int angle_at(double p) const;
};

}  // namespace kernels
