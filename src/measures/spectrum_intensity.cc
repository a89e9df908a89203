#include "measures/spectrum_intensity.h"

#include <cmath>
#include <vector>

#include "base/numbers.h"
#include "measures/registry.h"
#include "spectra/spectrum.h"

namespace measures {

double band_period(const spectral_band& band, std::size_t i, std::size_t intervals) {
  return band.from +
         (band.to - band.from) * static_cast<double>(i) / static_cast<double>(intervals);
}

spectral_integral_result spectral_integral(std::span<const double> a, double dt,
                                           const spectral_band& band, double tolerance) {
  const double span = band.to - band.from;
  // 768 intervals of 2.4 s at 1e-6, and as fine a step on any band: 3 times a power of two on
  // Housner's band, so that every grid's periods are those of the finest's.
  const double scale = span / 2.4;
  const auto most_intervals = static_cast<std::size_t>(98304 * scale + 0.5);
  const double wanted = 768 * scale * std::sqrt(spectrum_intensity_tolerance / tolerance);
  std::size_t first_intervals = span == 2.4 ? 3 : 1;
  while (static_cast<double>(first_intervals) < wanted && 2 * first_intervals < most_intervals) {
    first_intervals *= 2;
  }
  // The ordinate at the periods i = from, from + every, ... of a grid.
  const auto values = [&](std::size_t intervals, std::size_t from, std::size_t every) {
    std::vector<double> periods;
    for (std::size_t i = from; i <= intervals; i += every) {
      periods.push_back(band_period(band, i, intervals));
    }
    std::vector<double> v(periods.size());
    if (band.ordinate == spectral_ordinate::psv) {
      // Sd alone takes the displacement's own recurrence: half the arithmetic.
      v = spectra::peak_displacements(a, dt, periods, 0.05);
      for (std::size_t j = 0; j < periods.size(); ++j) {
        v[j] = spectra::circular_frequency(periods[j]) * v[j];
      }
    } else {
      const auto o = spectra::response_spectrum(a, dt, periods, 0.05, false);
      for (std::size_t j = 0; j < periods.size(); ++j) {
        v[j] = band.ordinate == spectral_ordinate::sv ? o[j].sv : o[j].sa;
      }
    }
    return v;
  };
  const auto sum = [](const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return s;
  };
  std::size_t n = first_intervals;
  const std::vector<double> grid = values(n, 0, 1);
  const double ends = (grid.front() + grid.back()) / 2;
  double nodes = sum(grid);
  double integral = span / static_cast<double>(n) * (nodes - ends);
  for (;;) {
    nodes += sum(values(2 * n, 1, 2));  // the periods halfway
    const double halved = span / static_cast<double>(2 * n) * (nodes - ends);
    const double change = std::fabs(halved - integral) / (halved != 0 ? std::fabs(halved) : 1);
    if (change < tolerance || 2 * n >= most_intervals) return {integral, n, change};
    integral = halved;
    n *= 2;
  }
}

namespace {

template <const spectral_band& band, bool settings::*asked>
void of_component(const component_input& c, const settings& s, std::span<double> values,
                  std::string& warning) {
  values[0] = NAN;
  if (!(s.*asked)) return;
  const spectral_integral_result r = spectral_integral(c.acceleration, c.dt, band, s.si_tolerance);
  if (!(r.halving_change < s.si_tolerance)) {
    warning = "the integral of the spectrum on " + std::to_string(r.intervals) +
              " intervals changes by " + base::shortest(r.halving_change) +
              " relative when they are halved";
  }
  values[0] = r.value;
}

}  // namespace

const measure spectrum_intensity_measure{.name = "spectrum intensity",
                                         .columns = {{"si_cm", "cm", "SI"}},
                                         .of_component = of_component<housner_band, &settings::si>,
                                         .own_task = true};
const measure velocity_spectrum_intensity{
    .name = "velocity spectrum intensity",
    .columns = {{"vsi_cm", "cm", "VSI"}},
    .of_component = of_component<velocity_band, &settings::vsi>,
    .own_task = true};
const measure acceleration_spectrum_intensity{
    .name = "acceleration spectrum intensity",
    .columns = {{"asi_g_s", "g s", "ASI"}},
    .of_component = of_component<acceleration_band, &settings::asi>,
    .own_task = true};

}  // namespace measures
