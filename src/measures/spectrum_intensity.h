// Integrals of a spectrum at 5% damping over a band of periods, by the trapezoidal rule on a
// uniform grid of periods: the Housner spectrum intensity SI (PSv over 0.1 to 2.5 s), the
// velocity spectrum intensity VSI (relative Sv over 0.1 to 2.5 s) and the acceleration
// spectrum intensity ASI (Sa over 0.1 to 0.5 s, Von Thun et al. 1988). A spectrum has a corner
// wherever its peak moves to another sample, so the grid is halved, from a step of 0.003125 s
// at the usual tolerance of 1e-6, until halving changes the integral by less than the
// tolerance (relative); the integral on that grid is the result. The change falls as the
// square of the step: a looser tolerance starts from a coarser grid, as many times coarser as
// the square root of the tolerance is larger. At most a step of 2.4/98304 s: past it the
// change is reported as it stands.
#pragma once

#include <cstddef>
#include <span>

namespace measures {

enum class spectral_ordinate { psv, sv, sa };

struct spectral_band {
  spectral_ordinate ordinate;
  double from, to;  // s
};
inline constexpr spectral_band housner_band{spectral_ordinate::psv, 0.1, 2.5};
inline constexpr spectral_band velocity_band{spectral_ordinate::sv, 0.1, 2.5};
inline constexpr spectral_band acceleration_band{spectral_ordinate::sa, 0.1, 0.5};

struct spectral_integral_result {
  double value = 0;           // cm (PSv, Sv) or g s (Sa)
  std::size_t intervals = 0;  // of the grid it is taken on
  double halving_change = 0;  // |I(grid halved) - I| / |I(grid halved)|
};
inline constexpr double spectrum_intensity_tolerance = 1e-6;
// The shortest period a spectral measure takes.
inline constexpr double shortest_spectral_period = 0.1;

spectral_integral_result spectral_integral(std::span<const double> acceleration, double dt,
                                           const spectral_band& band,
                                           double tolerance = spectrum_intensity_tolerance);

// The Housner spectrum intensity, as above.
inline spectral_integral_result spectrum_intensity(
    std::span<const double> acceleration, double dt,
    double tolerance = spectrum_intensity_tolerance) {
  return spectral_integral(acceleration, dt, housner_band, tolerance);
}

// The periods of a grid of a band: from + (to - from) i / intervals. A grid's periods are
// exactly every other period of the grid with twice the intervals.
double band_period(const spectral_band& band, std::size_t i, std::size_t intervals);
inline double spectrum_intensity_period(std::size_t i, std::size_t intervals) {
  return band_period(housner_band, i, intervals);
}

}  // namespace measures
