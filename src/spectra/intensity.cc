#include "spectra/intensity.h"

#include <cmath>
#include <numbers>

#include "base/physics.h"
#include "spectra/spectrum.h"

namespace spectra {
namespace {

double largest_magnitude(std::span<const double> v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// The time at which the normalised cumulative curve h (at the samples) first reaches p.
double crossing(const std::vector<double>& h, double p, double dt) {
  for (std::size_t i = 1; i < h.size(); ++i) {
    if (h[i] >= p) {
      const double rise = h[i] - h[i - 1];
      const double fraction = rise > 0 ? (p - h[i - 1]) / rise : 0;
      return (static_cast<double>(i - 1) + fraction) * dt;
    }
  }
  return static_cast<double>(h.size() - 1) * dt;
}

}  // namespace

ground_histories integrate(std::span<const double> a, double dt, bool detrend) {
  ground_histories g;
  const std::size_t n = a.size();
  g.velocity.assign(n, 0.0);
  g.displacement.assign(n, 0.0);
  for (std::size_t i = 1; i < n; ++i) {
    g.velocity[i] = g.velocity[i - 1] + (a[i - 1] + a[i]) * (dt / 2);
    g.displacement[i] = g.displacement[i - 1] + (g.velocity[i - 1] + g.velocity[i]) * (dt / 2);
  }
  if (detrend && n >= 2) {
    // Least squares d = c + s t over the samples, t = i dt.
    double st = 0, sd = 0, stt = 0, std_ = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) * dt;
      st += t;
      sd += g.displacement[i];
      stt += t * t;
      std_ += t * g.displacement[i];
    }
    const double count = static_cast<double>(n);
    const double slope = (count * std_ - st * sd) / (count * stt - st * st);
    const double intercept = (sd - slope * st) / count;
    for (std::size_t i = 0; i < n; ++i) {
      g.displacement[i] -= intercept + slope * static_cast<double>(i) * dt;
      g.velocity[i] -= slope;
    }
  }
  return g;
}

intensity_measures intensity(std::span<const double> a, double dt, const ground_histories& g) {
  intensity_measures m;
  m.pga = largest_magnitude(a) / base::standard_gravity;
  m.pgv = largest_magnitude(g.velocity);
  m.pgd = largest_magnitude(g.displacement);

  std::vector<double> husid(a.size(), 0.0);
  double squares = 0, magnitudes = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double a0 = a[i - 1], a1 = a[i];
    squares += dt * (a0 * a0 + a0 * a1 + a1 * a1) / 3;
    const double sum = std::fabs(a0) + std::fabs(a1);
    // |a| of a linear segment: a trapezoid, or two triangles where it crosses zero.
    magnitudes += (a0 >= 0) == (a1 >= 0) ? dt * sum / 2
                  : sum > 0              ? dt * (a0 * a0 + a1 * a1) / (2 * sum)
                                         : 0;
    husid[i] = squares;
  }
  // cm2/s3 to m2/s3, and g in m/s2.
  m.arias = std::numbers::pi / (2 * (base::standard_gravity / 100)) * squares / 10000;
  m.cav = magnitudes / base::standard_gravity;
  if (squares > 0) {
    for (double& h : husid) h /= squares;
    const double t5 = crossing(husid, 0.05, dt);
    m.d5_75 = crossing(husid, 0.75, dt) - t5;
    m.d5_95 = crossing(husid, 0.95, dt) - t5;
  }
  return m;
}

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
    std::vector<double> v = peak_displacements(a, dt, periods, 0.05);
    for (std::size_t j = 0; j < periods.size(); ++j) v[j] = circular_frequency(periods[j]) * v[j];
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

}  // namespace spectra
