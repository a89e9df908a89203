// Peaks over continuous time against a reference that knows nothing of the kernel's closed form
// or bounds: the exact recurrence over a fraction of a step (the Nigam-Jennings coefficients of a
// shorter step) at 10,000 points per step, the best refined by golden-section search.
#include "kernels/continuous.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kernels/batch.h"
#include "kernels/rotd_angles.h"
#include "spectra/spectrum.h"

namespace {

std::vector<double> random_record(std::size_t n, unsigned seed, std::size_t quiet_end = 0) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0, 100);
  std::vector<double> a(n, 0.0);
  for (std::size_t m = 1; m + quiet_end < n; ++m) a[m] = 0.7 * a[m - 1] + normal(random);
  return a;
}

// |x|, |x'|, |x'' + a| at a fraction tau of the step from the state s under the line a0..a1.
std::array<double, 3> at_fraction(double h, double w, double dt, response::oscillator_state s,
                                  double a0, double a1, double tau) {
  if (tau == 0) {
    return {std::fabs(s.x), std::fabs(s.dx), std::fabs(2 * h * w * s.dx + w * w * s.x)};
  }
  const response::recurrence r = response::nigam_jennings(h, w, tau);
  const response::oscillator_state e = response::step(r, s, a0, a0 + (a1 - a0) * (tau / dt));
  return {std::fabs(e.x), std::fabs(e.dx), std::fabs(2 * h * w * e.dx + w * w * e.x)};
}

std::array<double, 3> reference_peaks(const std::vector<double>& a, double dt, double h, double w) {
  constexpr int points = 10000;
  std::vector<response::recurrence> part(points);
  for (int j = 1; j < points; ++j) part[j] = response::nigam_jennings(h, w, dt * j / points);
  const response::recurrence whole = response::nigam_jennings(h, w, dt);
  std::array<double, 3> peak{0, 0, 0};
  response::oscillator_state s;
  for (std::size_t m = 1; m < a.size(); ++m) {
    const double a0 = a[m - 1], a1 = a[m];
    for (int o = 0; o < 3; ++o) {
      int best = 0;
      double best_value = -1;
      for (int j = 0; j < points; ++j) {
        const response::oscillator_state e =
            j == 0 ? s : response::step(part[j], s, a0, a0 + (a1 - a0) * (double(j) / points));
        const double v[3] = {std::fabs(e.x), std::fabs(e.dx),
                             std::fabs(2 * h * w * e.dx + w * w * e.x)};
        if (v[o] > best_value) best_value = v[o], best = j;
      }
      // Golden-section search for the maximum about the best point.
      double lo = dt * std::max(0, best - 1) / points,
             hi = dt * std::min(points, best + 1) / points;
      const double g = (std::sqrt(5.0) - 1) / 2;
      for (int i = 0; i < 200 && hi - lo > 1e-17; ++i) {
        const double c = hi - g * (hi - lo), d = lo + g * (hi - lo);
        if (at_fraction(h, w, dt, s, a0, a1, c)[o] > at_fraction(h, w, dt, s, a0, a1, d)[o])
          hi = d;
        else
          lo = c;
      }
      peak[o] = std::max({peak[o], best_value, at_fraction(h, w, dt, s, a0, a1, (lo + hi) / 2)[o],
                          std::fabs(o == 0   ? response::step(whole, s, a0, a1).x
                                    : o == 1 ? response::step(whole, s, a0, a1).dx
                                             : 0)});
    }
    s = response::step(whole, s, a0, a1);
  }
  return peak;
}

std::vector<kernels::oscillator_coefficients> oscillators(double h, const std::vector<double>& t,
                                                          double dt) {
  std::vector<kernels::oscillator_coefficients> o;
  for (double period : t) {
    o.push_back(kernels::coefficients(h, spectra::circular_frequency(period), dt, false));
  }
  return o;
}

// Periods from half a step (several extrema inside a step, some with both ends of the
// derivative of one sign) to a hundred steps, at three dampings.
TEST(ContinuousPeaks, MeetTheReference) {
  const double dt = 0.01;
  const std::vector<double> periods = {0.005, 0.013, 0.02, 0.037, 0.1, 1.0};
  for (double h : {0.0, 0.05, 0.3}) {
    const std::vector<double> a = random_record(60, 7 + static_cast<unsigned>(h * 100));
    const auto osc = oscillators(h, periods, dt);
    std::vector<kernels::peak_response> got(periods.size());
    kernels::run_continuous(a, dt, osc, got);
    for (std::size_t i = 0; i < periods.size(); ++i) {
      const auto want = reference_peaks(a, dt, h, spectra::circular_frequency(periods[i]));
      const double values[3] = {got[i].sd, got[i].sv, got[i].sa};
      for (int o = 0; o < 3; ++o) {
        EXPECT_NEAR(values[o], want[o], 1e-12 * want[o])
            << "h " << h << " T " << periods[i] << " ordinate " << o;
      }
    }
  }
}

// The bounded kernel in lanes against the definition that looks inside every step: the same to
// the bit (with a quiet end, so that the early stop is taken), and never under the sampled
// peaks with sub-steps (up to their rounding).
TEST(ContinuousPeaks, KernelIsItsDefinitionAndNeverUnderTheSampledPeaks) {
  const double dt = 0.005;
  std::vector<double> periods;
  for (double t = 0.01; t < 5; t *= 1.25) periods.push_back(t);
  const std::vector<double> a = random_record(4000, 3, 1800);
  const auto osc = oscillators(0.05, periods, dt);
  std::vector<kernels::peak_response> fast(periods.size()), slow(periods.size());
  kernels::run_continuous(a, dt, osc, fast);
  kernels::run_continuous_scalar(a, dt, osc, slow);
  const auto sampled = spectra::response_spectrum(a, dt, periods, 0.05, false);
  bool stopped = false;
  for (std::size_t i = 0; i < periods.size(); ++i) {
    EXPECT_EQ(fast[i].sd, slow[i].sd) << periods[i];
    EXPECT_EQ(fast[i].sv, slow[i].sv) << periods[i];
    EXPECT_EQ(fast[i].sa, slow[i].sa) << periods[i];
    stopped = stopped || fast[i].settled_at != 0;
    EXPECT_GE(fast[i].sd, sampled[i].sd * (1 - 1e-13)) << periods[i];
    EXPECT_GE(fast[i].sv, sampled[i].sv * (1 - 1e-13)) << periods[i];
    EXPECT_GE(fast[i].sa / 980.665, sampled[i].sa * (1 - 1e-13)) << periods[i];
  }
  EXPECT_TRUE(stopped);
}

// Where the peak falls on a sample (a constant pull, cut before the first turn of a long
// period: every response still grows at the last sample), it is the sampled peak exactly.
TEST(ContinuousPeaks, PeakOnASampleIsTheSampledPeak) {
  const double dt = 0.01;
  const std::vector<double> a(40, 50.0), periods = {4.0, 8.0};
  const auto osc = oscillators(0.05, periods, dt);
  std::vector<kernels::peak_response> got(2), sampled(2);
  kernels::run_continuous(a, dt, osc, got);
  kernels::run_batch({.ddy = a, .step = dt, .oscillators = osc}, sampled);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(got[i].sd, sampled[i].sd);
    EXPECT_EQ(got[i].sv, sampled[i].sv);
    EXPECT_EQ(got[i].sa, sampled[i].sa);
  }
}

}  // namespace

// A pair: the bounded kernel against its definition (every angle's extrema in every step), to
// the bit; and each angle against the single-component kernel on the rotated record (the
// rotated response is the response to the rotated input), to rounding.
TEST(ContinuousPeaks, PairIsItsDefinitionAndEachAngleTheRotatedRecord) {
  const double dt = 0.01;
  const std::vector<double> periods = {0.013, 0.05, 0.5};
  const std::vector<double> u1 = random_record(300, 11), u2 = random_record(300, 12);
  const auto osc = oscillators(0.05, periods, dt);
  std::vector<kernels::pair_response> fast(periods.size()), slow(periods.size());
  kernels::run_continuous_pair(u1, u2, dt, osc, fast);
  kernels::run_continuous_pair_scalar(u1, u2, dt, osc, slow);
  const kernels::angle_table& t = kernels::unit_vectors();
  for (std::size_t i = 0; i < periods.size(); ++i) {
    EXPECT_EQ(fast[i].first.sd, slow[i].first.sd);
    EXPECT_EQ(fast[i].second.sa, slow[i].second.sa);
    EXPECT_EQ(fast[i].sd, slow[i].sd) << periods[i];
    EXPECT_EQ(fast[i].sv, slow[i].sv) << periods[i];
    EXPECT_EQ(fast[i].sa, slow[i].sa) << periods[i];
    for (int a : {0, 37, 90, 151}) {
      std::vector<double> rotated(u1.size());
      for (std::size_t m = 0; m < u1.size(); ++m) rotated[m] = u1[m] * t.c[a] + u2[m] * t.s[a];
      std::vector<kernels::peak_response> one(1);
      kernels::run_continuous(rotated, dt, std::span(osc).subspan(i, 1), one);
      const double scale[3] = {std::max(fast[i].first.sd, fast[i].second.sd),
                               std::max(fast[i].first.sv, fast[i].second.sv),
                               std::max(fast[i].first.sa, fast[i].second.sa)};
      EXPECT_NEAR(fast[i].sd[a], one[0].sd, 1e-12 * scale[0]) << periods[i] << " " << a;
      EXPECT_NEAR(fast[i].sv[a], one[0].sv, 1e-12 * scale[1]) << periods[i] << " " << a;
      EXPECT_NEAR(fast[i].sa[a], one[0].sa, 1e-12 * scale[2]) << periods[i] << " " << a;
    }
  }
}
