// Rotated spectra and intensity measures against what their definitions imply exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "base/physics.h"
#include "spectra/batch.h"
#include "spectra/intensity.h"
#include "spectra/rotd.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace spectra {
namespace {

using ground_motion = testing_support::motion;
using base::standard_gravity;

ground_motion el_centro() {
  return testing_support::read_motion(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv");
}

const std::vector<double> periods = {0.01, 0.03, 0.1, 0.3, 1, 3, 10};

// The shortcut looks at every angle only for points that can hold a peak: its results are
// those of every angle at every point, exactly, on real motions at many periods.
TEST(RotD, ShortcutEqualsEveryAngleAtEveryPoint) {
  const ground_motion g = el_centro();
  const auto& a1 = g.components[0].acceleration;
  const auto& a2 = g.components[1].acceleration;
  std::vector<oscillator_coefficients> o;
  for (int i = 0; i < 40; ++i) {
    o.push_back(coefficients(0.05, circular_frequency(0.02 * std::pow(1.15, i)), g.dt, false));
  }
  const std::size_t stride = padded(o.size());
  std::vector<double> u1(a1.size() * stride), u2(a1.size() * stride);
  std::vector<peak_response> p(o.size());
  run_batch({a1, 1, g.dt, o, false, u1.data(), stride, {}}, p);
  run_batch({a2, 1, g.dt, o, false, u2.data(), stride, {}}, p);
  std::vector<rotated_peaks> fast(o.size());
  rotated_peaks_of_lanes(u1.data(), u2.data(), a1.size(), stride, o.size(), fast.data());
  for (std::size_t l = 0; l < o.size(); ++l) {
    const rotated_peaks all =
        rotated_peaks_everywhere(u1.data() + l, u2.data() + l, a1.size(), stride);
    const rotated_peaks one = rotated_peaks_of(u1.data() + l, u2.data() + l, a1.size(), stride);
    for (const rotated_peaks& r : {fast[l], one}) {
      ASSERT_EQ(r.rotd00, all.rotd00) << l;
      ASSERT_EQ(r.rotd50, all.rotd50) << l;
      ASSERT_EQ(r.rotd100, all.rotd100) << l;
      ASSERT_EQ(r.angle00, all.angle00) << l;
      ASSERT_EQ(r.angle100, all.angle100) << l;
    }
  }
}

// Identities of the definition (every peak is max over t of |u1 cos a + u2 sin a|):
// - the percentiles are ordered, being order statistics of the same 180 peaks;
// - RotD100 lies between r cos(0.5 deg) and r, r the largest radius of (u1, u2): no angle
//   beats the radius, and one of the 1-degree angles is within half a degree of its direction;
// - (u, 0): the peak at a is |cos a| max|u|, so RotD100 is the spectrum (a = 0), RotD00 is
//   nearly 0 (a = 90, cos a rounded is 6e-17) and RotD50 is the median of |cos a| times it;
// - (u, u): u (cos a + sin a) = sqrt(2) u sin(a + 45 deg), largest at a = 45.
TEST(RotD, IdentitiesOfTheDefinition) {
  const ground_motion g = el_centro();
  const auto& u = g.components[0].acceleration;
  const std::vector<double> zero(u.size(), 0.0);
  const auto single = response_spectrum(u, g.dt, periods, 0.05, false);
  const auto with_zero = response_spectrum_of_pair(u, zero, g.dt, periods, 0.05, false);
  const auto with_itself = response_spectrum_of_pair(u, u, g.dt, periods, 0.05, false);
  const auto real =
      response_spectrum_of_pair(u, g.components[1].acceleration, g.dt, periods, 0.05, false);
  std::vector<double> cosines;
  for (int a = 0; a < 180; ++a) cosines.push_back(std::fabs(std::cos(a * std::numbers::pi / 180)));
  std::sort(cosines.begin(), cosines.end());
  const double median_cosine = (cosines[89] + cosines[90]) / 2;
  for (std::size_t i = 0; i < periods.size(); ++i) {
    SCOPED_TRACE(periods[i]);
    const double s = single[i].sd;
    const rotated_peaks& r = real.rotated[i];
    EXPECT_LE(r.rotd00, r.rotd50);
    EXPECT_LE(r.rotd50, r.rotd100);
    EXPECT_EQ(with_zero.rotated[i].rotd100, s);
    EXPECT_LT(with_zero.rotated[i].rotd00, 1e-15 * s);
    EXPECT_NEAR(with_zero.rotated[i].rotd50, median_cosine * s, 1e-15 * s);
    EXPECT_NEAR(with_itself.rotated[i].rotd100, std::sqrt(2.0) * s, 1e-15 * s);
    EXPECT_EQ(with_itself.rotated[i].angle100, 45);
  }
  // The largest radius, from the histories of one period.
  const std::vector<oscillator_coefficients> o = {
      coefficients(0.05, circular_frequency(1.0), g.dt, false)};
  std::vector<double> x1(u.size() * 8), x2(u.size() * 8);
  std::vector<peak_response> p(1);
  run_batch({u, 1, g.dt, o, false, x1.data(), 8, {}}, p);
  run_batch({g.components[1].acceleration, 1, g.dt, o, false, x2.data(), 8, {}}, p);
  double radius = 0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    radius = std::max(radius, std::hypot(x1[k * 8], x2[k * 8]));
  }
  const double rotd100 = real.rotated[4].rotd100;
  EXPECT_LE(rotd100, radius * (1 + 1e-15));
  EXPECT_GE(rotd100, radius * std::cos(std::numbers::pi / 360));
}

// A burst of n cycles of A sin(2 pi t / T): Arias pi/(2g) A^2 n T/2, CAV A n 2T/pi, and the
// Husid curve (t/2 - T sin(4 pi t/T)/(8 pi)) / (n T/2) for the durations. With five cycles the
// curve is steep where it reaches 5%, 75% and 95%, so the durations are well defined.
TEST(Intensity, SineBurstAgainstClosedForms) {
  const double amplitude = 300, cycle = 0.5, dt = cycle / 400;
  const int cycles = 5;
  std::vector<double> a(static_cast<std::size_t>(cycles * 400 + 2000), 0.0);
  for (std::size_t i = 0; i <= static_cast<std::size_t>(cycles * 400); ++i) {
    a[i] = amplitude * std::sin(2 * std::numbers::pi * static_cast<double>(i) * dt / cycle);
  }
  const intensity_measures m = intensity(a, dt, integrate(a, dt, false));
  std::vector<double> spiked = a;
  spiked[100] = -350.25;  // the largest magnitude, off the sine
  EXPECT_EQ(intensity(spiked, dt, integrate(spiked, dt, false)).pga, 350.25 / standard_gravity);
  const double g = standard_gravity / 100, squares = (amplitude / 100) * (amplitude / 100);
  const double arias = std::numbers::pi / (2 * g) * squares * cycles * cycle / 2;
  EXPECT_NEAR(m.arias, arias, 1e-4 * arias);
  const double cav = amplitude * cycles * 2 * cycle / std::numbers::pi / standard_gravity;
  EXPECT_NEAR(m.cav, cav, 1e-3 * cav);
  const auto husid_time = [&](double fraction) {  // the closed-form curve, inverted
    double low = 0, high = cycles * cycle;
    for (int k = 0; k < 100; ++k) {
      const double t = (low + high) / 2;
      const double h =
          (t / 2 - cycle * std::sin(4 * std::numbers::pi * t / cycle) / (8 * std::numbers::pi)) /
          (cycles * cycle / 2);
      (h < fraction ? low : high) = t;
    }
    return low;
  };
  EXPECT_NEAR(m.d5_75, husid_time(0.75) - husid_time(0.05), 1e-4);
  EXPECT_NEAR(m.d5_95, husid_time(0.95) - husid_time(0.05), 1e-4);
}

// The grid of the spectrum intensity is as fine as it says: the trapezoidal rule over the full
// spectra on that grid gives the result, and on the grid halved changes it by less than the
// tolerance, the usual one and a looser one (on a coarser grid). At 0.02 s the shortest
// periods take sub-steps.
TEST(Intensity, SpectrumIntensityGridIsFineEnough) {
  const ground_motion g = el_centro();
  const ground_motion textbook =
      testing_support::read_motion(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv");
  for (const ground_motion* m : {&g, &textbook}) {
    const std::vector<double>& a = m->components[0].acceleration;
    std::size_t usual_intervals = 0;
    for (const double tolerance : {spectrum_intensity_tolerance, 1e-4}) {
      const spectrum_intensity_result r = spectrum_intensity(a, m->dt, tolerance);
      const auto trapezoid = [&](std::size_t intervals) {
        std::vector<double> t;
        for (std::size_t i = 0; i <= intervals; ++i)
          t.push_back(spectrum_intensity_period(i, intervals));
        const auto o = response_spectrum(a, m->dt, t, 0.05, false);
        double sum = 0;
        for (std::size_t i = 0; i <= intervals; ++i)
          sum += (i == 0 || i == intervals ? 0.5 : 1) * o[i].psv;
        return sum * 2.4 / static_cast<double>(intervals);
      };
      const double on_grid = trapezoid(r.intervals), halved = trapezoid(2 * r.intervals);
      EXPECT_NEAR(r.si, on_grid, 1e-13 * on_grid);
      EXPECT_LT(std::fabs(halved - on_grid), tolerance * halved) << r.intervals;
      EXPECT_NEAR(r.halving_change, std::fabs(halved - on_grid) / halved, 1e-12);
      if (usual_intervals == 0) {
        usual_intervals = r.intervals;
      } else {
        EXPECT_LT(r.intervals, usual_intervals);
      }
    }
  }
}

TEST(Intensity, GroundMotionFromRestAndDetrended) {
  // A constant acceleration from rest: v = a t, d = a t^2 / 2, exactly by the trapezoids.
  const std::vector<double> a(101, 2.0);
  const ground_histories g = integrate(a, 0.1, false);
  EXPECT_NEAR(g.velocity.back(), 20, 1e-12);
  EXPECT_NEAR(g.displacement.back(), 100, 1e-10);
  // Detrended, the displacement has no straight-line part left: zero mean, zero slope.
  const ground_histories d = integrate(a, 0.1, true);
  double mean = 0, slope = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    mean += d.displacement[i];
    slope += (static_cast<double>(i) - 50) * d.displacement[i];
  }
  EXPECT_NEAR(mean, 0, 1e-9);
  EXPECT_NEAR(slope, 0, 1e-7);
}

}  // namespace
}  // namespace spectra
