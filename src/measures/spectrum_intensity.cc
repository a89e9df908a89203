#include "measures/spectrum_intensity.h"

#include <cmath>
#include <vector>

#include "base/numbers.h"
#include "measures/registry.h"
#include "spectra/spectrum.h"

namespace measures {

double spectrum_intensity_period(std::size_t i, std::size_t intervals) {
  return 0.1 + 2.4 * static_cast<double>(i) / static_cast<double>(intervals);
}

spectrum_intensity_result spectrum_intensity(std::span<const double> a, double dt,
                                             double tolerance) {
  constexpr std::size_t most_intervals = 98304;
  // 768 at 1e-6; 3 times a power of two, so that every grid's periods are the grid of 98304's.
  const double wanted = 768 * std::sqrt(spectrum_intensity_tolerance / tolerance);
  std::size_t first_intervals = 3;
  while (static_cast<double>(first_intervals) < wanted && 2 * first_intervals < most_intervals) {
    first_intervals *= 2;
  }
  // PSv at the periods i = from, from + every, ... of a grid.
  const auto psv = [&](std::size_t intervals, std::size_t from, std::size_t every) {
    std::vector<double> periods;
    for (std::size_t i = from; i <= intervals; i += every) {
      periods.push_back(spectrum_intensity_period(i, intervals));
    }
    std::vector<double> v = spectra::peak_displacements(a, dt, periods, 0.05);
    for (std::size_t j = 0; j < periods.size(); ++j) {
      v[j] = spectra::circular_frequency(periods[j]) * v[j];
    }
    return v;
  };
  const auto sum = [](const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return s;
  };
  std::size_t n = first_intervals;
  const std::vector<double> grid = psv(n, 0, 1);
  const double ends = (grid.front() + grid.back()) / 2;
  double nodes = sum(grid);
  double si = 2.4 / static_cast<double>(n) * (nodes - ends);
  for (;;) {
    nodes += sum(psv(2 * n, 1, 2));  // the periods halfway
    const double halved = 2.4 / static_cast<double>(2 * n) * (nodes - ends);
    const double change = std::fabs(halved - si) / (halved != 0 ? std::fabs(halved) : 1);
    if (change < tolerance || 2 * n >= most_intervals) return {si, n, change};
    si = halved;
    n *= 2;
  }
}

namespace {

void of_component(const component_input& c, const settings& s, std::span<double> values,
                  std::string& warning) {
  const spectrum_intensity_result r = spectrum_intensity(c.acceleration, c.dt, s.si_tolerance);
  if (!(r.halving_change < s.si_tolerance)) {
    warning = "the spectrum intensity on " + std::to_string(r.intervals) +
              " intervals changes by " + base::shortest(r.halving_change) +
              " relative when they are halved";
  }
  values[0] = r.si;
}

}  // namespace

const measure spectrum_intensity_measure{.name = "spectrum intensity",
                                         .columns = {{"si_cm", "cm", "SI"}},
                                         .of_component = of_component,
                                         .own_task = true};

}  // namespace measures
