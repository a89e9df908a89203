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
  const values_of m(a, dt);
  std::vector<double> spiked = a;
  spiked[100] = -350.25;  // the largest magnitude, off the sine
  EXPECT_EQ(values_of(spiked, dt)["pga_g"], 350.25 / standard_gravity);
  const double g = standard_gravity / 100, squares = (amplitude / 100) * (amplitude / 100);
  const double arias = std::numbers::pi / (2 * g) * squares * cycles * cycle / 2;
  EXPECT_NEAR(m["arias_m_s"], arias, 1e-4 * arias);
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
  EXPECT_NEAR(m["d5_95_s"], husid_time(0.95) - husid_time(0.05), 1e-4);
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
      const spectrum_intensity_result r = spectrum_intensity(a, m->dt, tolerance);
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
}  // namespace measures
