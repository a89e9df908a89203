// The Housner spectrum intensity: the integral of PSv (cm/s) at 5% damping over the periods
// from 0.1 to 2.5 s, by the trapezoidal rule on a uniform grid of periods. PSv has a corner
// wherever its peak moves to another sample, so the grid is halved, from 768 intervals at the
// usual tolerance of 1e-6, until halving changes the integral by less than the tolerance
// (relative); the integral on that grid is the result. The change falls as the square of the
// step: a looser tolerance starts from fewer intervals, as many times fewer as the square root
// of the tolerance is larger. At most 98304 intervals: past them the change is reported as it
// stands.
#pragma once

#include <cstddef>
#include <span>

namespace measures {

struct spectrum_intensity_result {
  double si = 0;              // cm
  std::size_t intervals = 0;  // of the grid it is taken on
  double halving_change = 0;  // |SI(grid halved) - SI| / |SI(grid halved)|
};
inline constexpr double spectrum_intensity_tolerance = 1e-6;
// The shortest period a spectral measure takes.
inline constexpr double shortest_spectral_period = 0.1;
spectrum_intensity_result spectrum_intensity(std::span<const double> acceleration, double dt,
                                             double tolerance = spectrum_intensity_tolerance);

// The periods of a grid of the spectrum intensity: 0.1 + 2.4 i / intervals. A grid's
// periods are exactly every other period of the grid with twice the intervals.
double spectrum_intensity_period(std::size_t i, std::size_t intervals);

}  // namespace measures
