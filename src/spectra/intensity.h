// Intensity measures of one ground-acceleration component. Pure.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace spectra {

// Ground velocity (cm/s) and displacement (cm) from acceleration (cm/s2) by the trapezoidal
// rule, from rest. With detrend, the displacement's least-squares straight line is removed
// (and its slope from the velocity).
struct ground_histories {
  std::vector<double> velocity;
  std::vector<double> displacement;
};
ground_histories integrate(std::span<const double> acceleration, double dt, bool detrend);

struct intensity_measures {
  double pga = 0;    // g
  double pgv = 0;    // cm/s
  double pgd = 0;    // cm
  double arias = 0;  // m/s: pi / (2 g) times the integral of a^2
  double d5_75 = 0;  // s, between 5% and 75% of the Arias intensity
  double d5_95 = 0;  // s
  double cav = 0;    // g s: the integral of |a|
};

// The acceleration is linear between samples; the integrals are exact for it and the
// durations interpolate the Husid curve linearly between samples.
intensity_measures intensity(std::span<const double> acceleration, double dt,
                             const ground_histories& ground);

// The Housner spectrum intensity: the integral of PSv (cm/s) at 5% damping over the periods
// from 0.1 to 2.5 s, by the trapezoidal rule on a uniform grid of periods. PSv has a corner
// wherever its peak moves to another sample, so the grid is halved, from 768 intervals at the
// usual tolerance of 1e-6, until halving changes the integral by less than the tolerance
// (relative); the integral on that grid is the result. The change falls as the square of the
// step: a looser tolerance starts from fewer intervals, as many times fewer as the square root
// of the tolerance is larger. At most 98304 intervals: past them the change is reported as it
// stands.
struct spectrum_intensity_result {
  double si = 0;              // cm
  std::size_t intervals = 0;  // of the grid it is taken on
  double halving_change = 0;  // |SI(grid halved) - SI| / |SI(grid halved)|
};
inline constexpr double spectrum_intensity_tolerance = 1e-6;
spectrum_intensity_result spectrum_intensity(std::span<const double> acceleration, double dt,
                                             double tolerance = spectrum_intensity_tolerance);

// The periods of a grid of the spectrum intensity: 0.1 + 2.4 i / intervals. A grid's
// periods are exactly every other period of the grid with twice the intervals.
double spectrum_intensity_period(std::size_t i, std::size_t intervals);

}  // namespace spectra
