// Intensity measures of one ground-acceleration component. Pure.
#pragma once

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

// The periods of the Housner spectrum intensity, 0.1 to 2.5 s every 0.025 s.
const std::vector<double>& spectrum_intensity_periods();
// The integral of PSv (cm/s) over spectrum_intensity_periods by the trapezoidal rule, cm.
double spectrum_intensity(std::span<const double> psv);

}  // namespace spectra
