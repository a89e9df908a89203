// Rotated spectra against what their definition implies exactly.
#include "kernels/rotd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "base/physics.h"
#include "kernels/batch.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace spectra {
namespace {

using namespace kernels;

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
  run_batch({.ddy = a1,
             .substeps = 1,
             .step = g.dt,
             .oscillators = o,
             .displacement = u1.data(),
             .stride = stride},
            p);
  run_batch({.ddy = a2,
             .substeps = 1,
             .step = g.dt,
             .oscillators = o,
             .displacement = u2.data(),
             .stride = stride},
            p);
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
  run_batch({.ddy = u,
             .substeps = 1,
             .step = g.dt,
             .oscillators = o,
             .displacement = x1.data(),
             .stride = 8},
            p);
  run_batch({.ddy = g.components[1].acceleration,
             .substeps = 1,
             .step = g.dt,
             .oscillators = o,
             .displacement = x2.data(),
             .stride = 8},
            p);
  double radius = 0;
  for (std::size_t k = 0; k < u.size(); ++k) {
    radius = std::max(radius, std::hypot(x1[k * 8], x2[k * 8]));
  }
  const double rotd100 = real.rotated[4].rotd100;
  EXPECT_LE(rotd100, radius * (1 + 1e-15));
  EXPECT_GE(rotd100, radius * std::cos(std::numbers::pi / 360));
}

}  // namespace
}  // namespace spectra
