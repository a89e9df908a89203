// The bilinear oscillator against a reference written for this test alone: Newmark's
// average-acceleration method with Newton iterations, at a thousandth of the record's interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "spectra/inelastic/bilinear.h"

namespace spectra::inelastic {
namespace {

// White noise through a second-order filter (3 Hz, damping 0.5) under a rising, holding and
// decaying envelope, scaled to a peak of 300 cm/s2.
std::vector<double> noise_record(std::size_t n, double dt, unsigned seed) {
  std::uint64_t state = 0x2545F4914F6CDD1Du * (seed + 1);
  std::vector<double> a(n);
  const double wg = 2 * std::numbers::pi * 3, zg = 0.5;
  double x = 0, v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    const double white = (static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5) * 3e4;
    const double acc = -2 * zg * wg * v - wg * wg * x - white;
    v += acc * dt;
    x += v * dt;
    const double t = static_cast<double>(i) * dt;
    a[i] = std::min({1.0, t / 2, std::exp(-(t - 8) / 3)}) * (-2 * zg * wg * v - wg * wg * x);
  }
  double largest = 0;
  for (double value : a) largest = std::max(largest, std::fabs(value));
  for (double& value : a) value *= 300 / largest;
  return a;
}

// Newmark's average acceleration (the trapezoidal rule: unconditionally stable, second order,
// period error (w h)^2 / 12) at h = dt / split, the ground acceleration linear between samples,
// the force returned onto the bilinear law from the last converged state, Newton's method on
// the step's equilibrium until the correction is below 1e-15 of the deformation. The peak
// deformation over its steps.
double newmark_peak(const std::vector<double>& a, double dt, int split, double period, double zeta,
                    double alpha, double uy) {
  const double w = 2 * std::numbers::pi / period, k = w * w, c = 2 * zeta * w;
  const double h = dt / split, qy = k * uy;
  double u = 0, v = 0, acc = -a[0], q = 0, peak = 0;
  for (std::size_t m = 1; m < a.size(); ++m) {
    for (int j = 1; j <= split; ++j) {
      const double ground = a[m - 1] + (a[m] - a[m - 1]) * (static_cast<double>(j) / split);
      double u1 = u, q1 = q, tangent = k;
      for (int iteration = 0; iteration < 50; ++iteration) {
        const double trial = q + k * (u1 - u);
        const double upper = alpha * k * u1 + (1 - alpha) * qy;
        const double lower = alpha * k * u1 - (1 - alpha) * qy;
        q1 = trial > upper ? upper : trial < lower ? lower : trial;
        tangent = trial > upper || trial < lower ? alpha * k : k;
        const double a1 = 4 / (h * h) * (u1 - u) - 4 / h * v - acc;
        const double v1 = 2 / h * (u1 - u) - v;
        const double residual = a1 + c * v1 + q1 + ground;
        const double correction = -residual / (4 / (h * h) + 2 * c / h + tangent);
        u1 += correction;
        if (std::fabs(correction) <= 1e-15 * (std::fabs(u1) + uy)) break;
      }
      const double trial = q + k * (u1 - u);
      const double upper = alpha * k * u1 + (1 - alpha) * qy;
      const double lower = alpha * k * u1 - (1 - alpha) * qy;
      q1 = trial > upper ? upper : trial < lower ? lower : trial;
      const double v1 = 2 / h * (u1 - u) - v;
      acc = -(c * v1 + q1 + ground);
      u = u1;
      v = v1;
      q = q1;
      peak = std::max(peak, std::fabs(u));
    }
  }
  return peak;
}

// u_m within 1e-5 of the reference on random records, elastic-perfectly plastic and
// hardening, short periods (a step a tenth of the period) and long. The reference's own error is
// estimated from its run at twice its step (second order: a third of the difference) and must be
// well under the tolerance for the comparison to mean anything.
TEST(BilinearOscillatorReference, PeakDeformationAgreesWithNewmarkAtAThousandthOfTheStep) {
  const double dt = 0.01;
  struct row {
    unsigned seed;
    double period, alpha, strength;
  } rows[] = {{29, 0.1, 0, 0.7}, {7, 0.1, 0.05, 0.4}, {1, 0.3, 0, 0.3},
              {1, 1, 0.05, 0.2}, {2, 0.5, 0.05, 0.4}, {2, 2, 0, 0.15}};
  for (const row& r : rows) {
    SCOPED_TRACE(::testing::Message() << "seed " << r.seed << ", T " << r.period << ", alpha "
                                      << r.alpha << ", strength " << r.strength);
    const std::vector<double> a = noise_record(1200, dt, r.seed);
    const stepping s = make_stepping({.period = r.period, .damping = 0.05, .alpha = r.alpha}, dt);
    const double uy =
        r.strength * run(s, a, std::numeric_limits<double>::infinity()).peak_deformation;
    const run_result exact = run(s, a, uy);
    ASSERT_GT(exact.yield_onsets, 3u);
    const double fine = newmark_peak(a, dt, 1000, r.period, 0.05, r.alpha, uy);
    const double coarse = newmark_peak(a, dt, 500, r.period, 0.05, r.alpha, uy);
    EXPECT_LT(std::fabs(coarse - fine) / 3, 1e-6 * fine);
    EXPECT_NEAR(exact.peak_deformation, fine, 1e-5 * fine);
  }
}

}  // namespace
}  // namespace spectra::inelastic
