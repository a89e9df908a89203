// Intensity measures against closed forms and what their definitions imply exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/physics.h"
#include "measures/measure.h"
#include "measures/spectrum_intensity.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace measures {
namespace {

using base::standard_gravity;
using ground_motion = testing_support::motion;

// The values of every measure computed from the component itself, by column name.
struct values_of {
  std::vector<double> values;
  values_of(std::span<const double> a, double dt) {
    const ground_histories ground = integrate(a, dt, false);
    for (const measure& m : all()) {
      if (m.own_task) {
        values.insert(values.end(), m.columns.size(), NAN);
        continue;
      }
      std::vector<double> v(m.columns.size());
      std::string warning;
      m.of_component({a, dt, ground}, {}, v, warning);
      values.insert(values.end(), v.begin(), v.end());
    }
  }
  double operator[](std::string_view column) const { return values[column_index(column)]; }
};

// A burst of n cycles of A sin(2 pi t / T): Arias pi/(2g) A^2 n T/2 (the trapezoids of the
// samples give it exactly: a sum of sin^2 over whole cycles is half their number), CAV
// A n 2T/pi, and the Husid curve (t/2 - T sin(4 pi t/T)/(8 pi)) / (n T/2) for the durations.
// With five cycles the curve is steep where it reaches 5%, 75% and 95%, so the durations are
// well defined.
TEST(Intensity, SineBurstAgainstClosedForms) {
  const double amplitude = 300, cycle = 0.5, dt = cycle / 400;
  const int cycles = 5;
  std::vector<double> a(static_cast<std::size_t>(cycles * 400 + 2000), 0.0);
  for (std::size_t i = 0; i <= static_cast<std::size_t>(cycles * 400); ++i) {
    a[i] = amplitude * std::sin(2 * std::numbers::pi * static_cast<double>(i) * dt / cycle);
  }
  const values_of m(a, dt);
  std::vector<double> spiked = a;
  spiked[100] = -350.25;  // the largest magnitude, off the sine
  EXPECT_EQ(values_of(spiked, dt)["pga_g"], 350.25 / standard_gravity);
  const double g = standard_gravity / 100, squares = (amplitude / 100) * (amplitude / 100);
  const double arias = std::numbers::pi / (2 * g) * squares * cycles * cycle / 2;
  EXPECT_NEAR(m["arias_m_s"], arias, 1e-12 * arias);
  const double cav = amplitude * cycles * 2 * cycle / std::numbers::pi / standard_gravity;
  EXPECT_NEAR(m["cav_g_s"], cav, 1e-3 * cav);
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
  EXPECT_NEAR(m["d5_75_s"], husid_time(0.75) - husid_time(0.05), 1e-4);
  const double d5_95 = husid_time(0.95) - husid_time(0.05);
  EXPECT_NEAR(m["d5_95_s"], d5_95, 1e-4);
  // The mean square over D5-95 holds 90% of the integral of a^2.
  const double mean_square = 0.9 * amplitude * amplitude * cycles * cycle / 2 / d5_95;
  EXPECT_NEAR(m["arms_g"], std::sqrt(mean_square) / standard_gravity, 1e-4);
  // |a| first reaches 0.05 g a quarter-asin into the first cycle and last leaves it as much
  // before the end of the last; CAV5 counts |a| >= 5 cm/s2 only: A T cos(asin(5/A)) / pi per
  // half cycle.
  const double level = 0.05 * standard_gravity,
               lead = std::asin(level / amplitude) / (2 * std::numbers::pi);
  EXPECT_NEAR(m["bracketed_s"], (cycles - 2 * lead) * cycle, 1e-5);
  const double half_cycle_above_5 =
      amplitude * cycle * std::cos(std::asin(5 / amplitude)) / std::numbers::pi;
  EXPECT_NEAR(m["cav5_cm_s"], 2 * cycles * half_cycle_above_5, 2e-3 * m["cav5_cm_s"]);
  EXPECT_TRUE(std::isnan(values_of(std::vector<double>(a.size(), 1.0), dt)["bracketed_s"]));
}

// CAV_STD sums the 1-s windows whose peak exceeds 0.025 g: cycles of 1 s, two above the
// threshold and two below, give the two windows' CAV, 2A/pi each.
TEST(Intensity, StandardizedCavCountsWindowsAboveTheThreshold) {
  const double dt = 0.005, above = 0.05 * standard_gravity, below = 0.02 * standard_gravity;
  std::vector<double> a(801, 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double t = static_cast<double>(i) * dt;
    a[i] = (t < 2 ? above : below) * std::sin(2 * std::numbers::pi * t);
  }
  const values_of m(a, dt);
  const double window = 2 * above / std::numbers::pi / standard_gravity;
  EXPECT_NEAR(m["cav_std_g_s"], 2 * window, 3e-4 * window);  // the trapezoids of |sin|: O(dt^2)
  EXPECT_GT(m["cav_g_s"], m["cav_std_g_s"] * 1.3);
}

// Arias intensity by the trapezoids of the samples is the integral of a band-limited motion
// whatever the sampling rate; integrated as a line between samples it is not.
TEST(Intensity, AriasOfABandLimitedMotionAtTwoRates) {
  const auto motion = [](double dt) {
    std::vector<double> a(static_cast<std::size_t>(std::lround(20 / dt)) + 1);
    for (std::size_t i = 0; i < a.size(); ++i) {
      const double t = static_cast<double>(i) * dt;
      a[i] = 100 * std::sin(2 * std::numbers::pi * 1.5 * t) +
             60 * std::sin(2 * std::numbers::pi * 7.25 * t + 0.3) +
             30 * std::sin(2 * std::numbers::pi * 18.1 * t + 1.1);
    }
    return a;
  };
  const std::vector<double> coarse = motion(0.02), fine = motion(0.01);  // Nyquist 25, 50 Hz
  const double a = values_of(coarse, 0.02)["arias_m_s"], b = values_of(fine, 0.01)["arias_m_s"];
  EXPECT_NEAR(a, b, 1e-6 * b);
  const auto as_lines = [](const std::vector<double>& x, double dt) {
    double s = 0;
    for (std::size_t i = 1; i < x.size(); ++i)
      s += dt * (x[i - 1] * x[i - 1] + x[i - 1] * x[i] + x[i] * x[i]) / 3;
    return s;
  };
  EXPECT_GT(std::fabs(as_lines(coarse, 0.02) - as_lines(fine, 0.01)), 1e-3 * as_lines(fine, 0.01));
}

// The grid of the spectrum intensity is as fine as it says: the trapezoidal rule over the full
// spectra on that grid gives the result, and on the grid halved changes it by less than the
// tolerance, the usual one and a looser one (on a coarser grid). At 0.02 s the shortest
// periods take sub-steps.
TEST(Intensity, SpectrumIntensityGridIsFineEnough) {
  const ground_motion g =
      testing_support::read_motion(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv");
  const ground_motion textbook =
      testing_support::read_motion(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv");
  for (const ground_motion* m : {&g, &textbook}) {
    const std::vector<double>& a = m->components[0].acceleration;
    std::size_t usual_intervals = 0;
    for (const double tolerance : {spectrum_intensity_tolerance, 1e-4}) {
      const spectral_integral_result r = spectrum_intensity(a, m->dt, tolerance);
      const auto trapezoid = [&](std::size_t intervals) {
        std::vector<double> t;
        for (std::size_t i = 0; i <= intervals; ++i)
          t.push_back(spectrum_intensity_period(i, intervals));
        const auto o = spectra::response_spectrum(a, m->dt, t, 0.05, false);
        double sum = 0;
        for (std::size_t i = 0; i <= intervals; ++i)
          sum += (i == 0 || i == intervals ? 0.5 : 1) * o[i].psv;
        return sum * 2.4 / static_cast<double>(intervals);
      };
      const double on_grid = trapezoid(r.intervals), halved = trapezoid(2 * r.intervals);
      EXPECT_NEAR(r.value, on_grid, 1e-13 * on_grid);
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
}  // namespace measures
