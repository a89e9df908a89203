// Orientation-independent peaks of a horizontal pair (Boore 2010): for the angles 0 to 179
// degrees, the peak over time of |u1 cos t + u2 sin t|; RotD00, RotD50 and RotD100 are the
// smallest, the median (the mean of the 90th and 91st) and the largest of the 180 peaks.
#pragma once

#include <cstddef>

namespace kernels {

struct rotated_peaks {
  double rotd00 = 0;
  double rotd50 = 0;
  double rotd100 = 0;
  int angle00 = 0;   // degrees: the first angle whose peak is RotD00
  int angle100 = 0;  // the first angle whose peak is RotD100
};

// u1[i * stride], u2[i * stride] for i < length. Looks at every angle only for the points that
// can hold a peak; the result is exactly that of rotated_peaks_everywhere.
rotated_peaks rotated_peaks_of(const double* u1, const double* u2, std::size_t length,
                               std::size_t stride = 1);

// The same for lanes 0 .. count of a history of many oscillators side by side: u[i * stride +
// lane], stride at least count rounded up to 8.
void rotated_peaks_of_lanes(const double* u1, const double* u2, std::size_t length,
                            std::size_t stride, std::size_t count, rotated_peaks* out);

// Every angle at every point: the definition, for tests.
rotated_peaks rotated_peaks_everywhere(const double* u1, const double* u2, std::size_t length,
                                       std::size_t stride = 1);

}  // namespace kernels
