#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "base/physics.h"
#include "kernels/batch.h"
#include "spectra/inelastic/bilinear.h"
#include "spectra/inelastic/motion.h"
#include "spectra/inelastic/options.h"
#include "spectra/inelastic/spectrum.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace spectra::inelastic {
namespace {

using namespace kernels;

constexpr double infinity = std::numeric_limits<double>::infinity();

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::vector<double> el_centro_ns(double& dt) {
  const testing_support::motion m =
      testing_support::read_motion(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv");
  EXPECT_FALSE(m.components.empty());
  dt = m.dt;
  return m.components.at(0).acceleration;
}

// White noise through a second-order filter (2 Hz, damping 0.6) under an envelope that rises,
// holds and decays, scaled to a peak of peak_gal cm/s2; seed picks the noise.
std::vector<double> random_record(std::size_t n, double dt, unsigned seed, double peak_gal) {
  std::uint64_t state = 0x9E3779B97F4A7C15u * (seed + 1);
  const auto noise = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) / 9007199254740992.0 - 0.5;
  };
  const double wg = 2 * std::numbers::pi * 2, zg = 0.6, duration = static_cast<double>(n) * dt;
  std::vector<double> a(n);
  double x = 0, v = 0, largest = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    const double acc = -2 * zg * wg * v - wg * wg * x - noise() * 1e4;
    v += acc * dt;
    x += v * dt;
    const double envelope = std::min({1.0, t / 2, std::exp(-(t - duration / 2) / 3)});
    a[i] = envelope * (-2 * zg * wg * v - wg * wg * x);
    largest = std::max(largest, std::fabs(a[i]));
  }
  for (double& value : a) value *= peak_gal / largest;
  return a;
}

// --- The motion on one branch ---------------------------------------------------------------

// y'' + c y' + kappa y = -(p0 + p1 t) in closed form, in long double: y and y' at t.
struct closed_form {
  long double y, v;
};
closed_form solve(long double c, long double kappa, long double y0, long double v0, long double p0,
                  long double p1, long double t) {
  if (kappa == 0) {  // v' + c v = -(p0 + p1 t): v = E + F t + D e^-ct
    const long double f = -p1 / c, e = (-p0 - f) / c, d = v0 - e;
    return {y0 + e * t + f * t * t / 2 + d * (1 - std::exp(-c * t)) / c,
            e + f * t + d * std::exp(-c * t)};
  }
  const long double b = -p1 / kappa, a = (-p0 - c * b) / kappa;  // y_p = a + b t
  const long double s = c / 2, c1 = y0 - a, dv = v0 - b, disc = s * s - kappa;
  if (disc < 0) {  // damped sine
    const long double wd = std::sqrt(-disc), c2 = (dv + s * c1) / wd;
    const long double e = std::exp(-s * t), co = std::cos(wd * t), si = std::sin(wd * t);
    return {a + b * t + e * (c1 * co + c2 * si),
            b + e * ((c2 * wd - s * c1) * co - (c1 * wd + s * c2) * si)};
  }
  if (disc == 0) {  // critically damped: (c1 + c2 t) e^-st
    const long double c2 = dv + s * c1, e = std::exp(-s * t);
    return {a + b * t + (c1 + c2 * t) * e, b + (c2 - s * (c1 + c2 * t)) * e};
  }
  const long double g = std::sqrt(disc), r1 = -s + g, r2 = -s - g;  // overdamped
  const long double k1 = (dv - r2 * c1) / (r1 - r2), k2 = c1 - k1;
  return {a + b * t + k1 * std::exp(r1 * t) + k2 * std::exp(r2 * t),
          b + k1 * r1 * std::exp(r1 * t) + k2 * r2 * std::exp(r2 * t)};
}

// The Taylor series is the closed form of every branch: damped sine, critically damped,
// overdamped and without stiffness (elastic-perfectly plastic), to rounding.
TEST(InelasticMotion, SumsTheClosedFormOfEachBranch) {
  const double w = 2 * std::numbers::pi / 0.5, length = 0.05;  // w length = 0.63: a tenth of T
  struct row {
    const char* rule;
    double c, kappa;
  } rows[] = {
      {"elastic, 5% damping", 2 * 0.05 * w, w * w},
      {"elastic, undamped", 0, w * w},
      {"yielding, alpha 0.04 at 20%: critically damped", 2 * 0.2 * w, 0.04 * w * w},
      {"yielding, alpha 0.01 at 20%: overdamped", 2 * 0.2 * w, 0.01 * w * w},
      {"yielding, alpha 0 (no stiffness)", 2 * 0.05 * w, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.rule);
    const double y0 = 0.7, v0 = -3, p0 = 150, p1 = -4000;
    const taylor_motion m = taylor(r.c, r.kappa, y0, v0, p0, p1, length);
    for (double t : {length / 3, length}) {
      const closed_form exact = solve(r.c, r.kappa, y0, v0, p0, p1, t);
      const double scale = std::fabs(y0) + std::fabs(v0) * t + std::fabs(p0) * t * t / 2 +
                           std::fabs(p1) * t * t * t / 6;
      EXPECT_NEAR(m.derivative(0, t), static_cast<double>(exact.y), 1e-15 * scale);
      EXPECT_NEAR(m.derivative(1, t), static_cast<double>(exact.v), 1e-15 * scale / t);
    }
  }
}

// Crossings and turns are pinned within a few units in the last place of the stretch: on free
// vibration y = A cos wt, where they are known exactly.
TEST(InelasticMotion, PinsCrossingsWithinUlpsOfTheClosedForm) {
  const double w = 2 * std::numbers::pi, length = 2.5 / w, amplitude = 1.3;
  const taylor_motion m = taylor(0, w * w, amplitude, 0, 0, 0, length);
  struct row {
    const char* rule;
    int order;
    double sign, level;
    long double angle;  // w t of the crossing
  } rows[] = {
      {"y falls to -A/2", 0, -1, amplitude / 2, 2 * std::numbers::pi_v<long double> / 3},
      {"y falls to 0", 0, -1, 0, std::numbers::pi_v<long double> / 2},
      {"the velocity -A w sin wt falls to -A w / 2", 1, -1, amplitude * w / 2,
       std::numbers::pi_v<long double> / 6},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.rule);
    const std::optional<double> t = first_crossing(m, r.order, r.sign, r.level);
    ASSERT_TRUE(t.has_value());
    EXPECT_NEAR(*t, static_cast<double>(r.angle / w), length * 0x1p-49);
  }
  // The level is never reached: no crossing.
  EXPECT_FALSE(first_crossing(m, 0, -1, 2 * amplitude).has_value());
  // The turns of y (zeros of y') inside the stretch: at w t = pi only.
  double zeros[2];
  ASSERT_EQ(velocity_zeros(m, zeros), 0);  // w length = 2.5 < pi
  const taylor_motion longer = taylor(0, w * w, amplitude, 0, 0, 0, 3.5 / w);
  ASSERT_EQ(velocity_zeros(longer, zeros), 1);
  EXPECT_NEAR(zeros[0], 0.5, 0x1p-49);
}

// --- The oscillator -------------------------------------------------------------------------

// The elastic spectra's displacements at every (sub-)step, by their scalar kernel.
std::vector<double> elastic_kernel(const std::vector<double>& a, double dt, double period,
                                   double damping, double& sd) {
  const int k = substeps(period, dt);
  const std::vector<oscillator_coefficients> one = {
      coefficients(damping, circular_frequency(period), dt / k, false)};
  std::vector<double> x((a.size() - 1) * static_cast<std::size_t>(k) * lane_padding + lane_padding);
  batch b{.ddy = a,
          .substeps = k,
          .step = dt / k,
          .oscillators = one,
          .displacement = x.data(),
          .stride = lane_padding};
  std::vector<peak_response> peaks(1);
  run_batch_scalar(b, peaks);
  sd = peaks[0].sd;
  std::vector<double> history;
  for (std::size_t i = 0; i < x.size(); i += lane_padding) history.push_back(x[i]);
  return history;
}

// A yield force of k u_0 or more leaves the oscillator elastic: every step and the peak are the
// elastic spectra's, bit for bit, with and without sub-steps; observed continuously, the
// elastic peak between steps (at least the peak at the steps) leaves it elastic too.
TEST(BilinearOscillator, AtOrAboveTheElasticPeakForceIsTheElasticOscillatorBitForBit) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  for (double period : {0.02, 0.045, 0.3, 1.0, 4.0}) {
    SCOPED_TRACE(period);
    double sd = 0;
    const std::vector<double> x = elastic_kernel(a, dt, period, 0.05, sd);
    const std::vector<double> one = {period};
    ASSERT_TRUE(same_bits(response_spectrum(a, dt, one, 0.05, false)[0].sd, sd));
    const stepping s = make_stepping({.period = period, .damping = 0.05, .alpha = 0.1}, dt);
    for (observation mode : {observation::at_steps, observation::continuous}) {
      const double u0 = run(s, a, infinity, mode).peak_deformation;
      if (mode == observation::at_steps) {
        ASSERT_TRUE(same_bits(u0, sd));
      }
      EXPECT_GE(u0, sd);
      for (double strength : {1.0, 1.7}) {
        trace t;
        const run_result r = run(s, a, strength * u0, mode, &t);
        EXPECT_EQ(r.yield_onsets, 0u);
        EXPECT_TRUE(same_bits(r.peak_deformation, u0));
        ASSERT_EQ(t.points.size() + 1, x.size());
        for (std::size_t i = 0; i < t.points.size(); ++i) {
          ASSERT_TRUE(same_bits(t.points[i].deformation, x[i + 1])) << i;
        }
      }
    }
  }
}

// Runs that start from the elastic run's history at their first yield give the same bits as
// runs from the first sample.
TEST(BilinearOscillator, StartingFromTheElasticHistoryChangesNoBit) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  for (observation mode : {observation::at_steps, observation::continuous}) {
    for (double period : {0.1, 1.0}) {
      const stepping s = make_stepping({.period = period, .damping = 0.05, .alpha = 0.02}, dt);
      elastic_history history;
      const double u0 = run_elastic(s, a, mode, history).peak_deformation;
      EXPECT_TRUE(same_bits(u0, run(s, a, infinity, mode).peak_deformation));
      for (double strength : {0.95, 0.5, 0.2}) {
        SCOPED_TRACE(::testing::Message() << period << " " << strength);
        const run_result all = run(s, a, strength * u0, mode);
        const run_result part = run(s, a, strength * u0, mode, nullptr, &history);
        EXPECT_TRUE(same_bits(all.peak_deformation, part.peak_deformation));
        EXPECT_TRUE(same_bits(all.hysteretic_energy, part.hysteretic_energy));
        EXPECT_EQ(all.yield_onsets, part.yield_onsets);
        EXPECT_GT(all.yield_onsets, 0u);
      }
    }
  }
}

// Runs in vector lanes are the scalar runs, bit for bit: any mix of periods (of the same
// sub-steps), strengths (some never yielding), alphas, starts from rest or from an elastic
// history, and both observations; more runs than lanes.
TEST(BilinearOscillator, VectorLanesEqualTheScalarRuns) {
  const double dt = 0.01;
  const std::vector<double> a = random_record(3000, dt, 3, 400);
  const std::vector<std::vector<double>> groups = {{0.1, 0.3, 1, 3, 0.15, 0.5, 2, 0.7, 5, 0.2, 1.5},
                                                   {0.06, 0.08, 0.07}};
  for (observation mode : {observation::at_steps, observation::continuous}) {
    for (const std::vector<double>& periods : groups) {
      std::vector<stepping> steppings;
      std::vector<elastic_history> histories(periods.size());
      std::vector<double> u0;
      for (std::size_t i = 0; i < periods.size(); ++i) {
        steppings.push_back(make_stepping(
            {.period = periods[i], .damping = 0.05, .alpha = i % 2 ? 0.05 : 0.0}, dt));
        u0.push_back(run_elastic(steppings[i], a, mode, histories[i]).peak_deformation);
      }
      std::vector<lane_run> runs;
      std::size_t i = 0;
      for (double strength : {1.2, 0.8, 0.4, 0.15}) {
        for (std::size_t p = 0; p < periods.size(); ++p, ++i) {
          runs.push_back({.s = &steppings[p],
                          .yield_deformation = strength * u0[p],
                          .from = i % 3 ? &histories[p] : nullptr});
        }
      }
      run_in_lanes(a, mode, runs);
      for (const lane_run& r : runs) {
        SCOPED_TRACE(::testing::Message() << r.s->step << " " << r.yield_deformation);
        const run_result scalar = run(*r.s, a, r.yield_deformation, mode, nullptr, r.from);
        EXPECT_TRUE(same_bits(r.result.peak_deformation, scalar.peak_deformation));
        EXPECT_TRUE(same_bits(r.result.hysteretic_energy, scalar.hysteretic_energy));
        EXPECT_EQ(r.result.yield_onsets, scalar.yield_onsets);
      }
    }
  }
}

// Input energy = kinetic + recoverable strain + damping + hysteretic, at every step to 1e-9:
// exact for the exact solution, so it checks every closed form and every event. The force stays
// within the bilinear envelope, on its yield lines while yielding.
TEST(BilinearOscillator, BalancesEnergyAtEveryStepWithinTheEnvelope) {
  const double dt = 0.01;
  struct row {
    const char* rule;
    double period, damping, alpha, strength;
    observation mode;
  } rows[] = {
      {"elastoplastic, sub-steps", 0.05, 0.05, 0, 0.3, observation::at_steps},
      {"hardening, observed continuously", 0.4, 0.05, 0.05, 0.3, observation::continuous},
      {"strong hardening, long period", 2, 0.02, 0.3, 0.2, observation::at_steps},
      {"yielding branch critically damped (zeta / sqrt(alpha) = 1)", 1, 0.2, 0.04, 0.3,
       observation::at_steps},
      {"yielding branch overdamped (zeta / sqrt(alpha) = 2)", 1, 0.2, 0.01, 0.3,
       observation::continuous},
      {"undamped elastoplastic", 0.7, 0, 0, 0.3, observation::at_steps},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.rule);
    const std::vector<double> a = random_record(2000, dt, 7, 400);
    const stepping s =
        make_stepping({.period = r.period, .damping = r.damping, .alpha = r.alpha}, dt);
    const double uy = r.strength * run(s, a, infinity, r.mode).peak_deformation;
    const double qy = s.omega2 * uy;
    trace t;
    const run_result result = run(s, a, uy, r.mode, &t);
    EXPECT_GT(result.yield_onsets, 5u);
    EXPECT_EQ(t.onsets.size(), result.yield_onsets);
    std::size_t yielding = 0;
    for (const trace_point& p : t.points) {
      const double parts = p.kinetic + p.strain + p.damping + p.hysteretic;
      ASSERT_NEAR(p.input, parts, 1e-9 * parts) << p.time;
      const double shifted = p.force - s.kappa * p.deformation;  // within +-(1 - alpha) q_y
      const double slack = 1e-12 * (qy + std::fabs(s.kappa * p.deformation));
      ASSERT_LE(std::fabs(shifted), (1 - r.alpha) * qy + slack) << p.time;
      if (p.branch != 0) {
        ++yielding;
        ASSERT_NEAR(shifted, p.branch * (1 - r.alpha) * qy, slack) << p.time;
      }
    }
    EXPECT_GT(yielding, 20u);
    EXPECT_TRUE(same_bits(t.points.back().hysteretic, result.hysteretic_energy));
  }
}

// The elastoplastic oscillator, undamped, under a step force p0 = m a0 held long enough:
// elastic to u_y at t1 (cos w t1 = 1 - u_y / u_st, u_st = a0 / w^2), then decelerated by f_y -
// p0 to its peak u_m = u_y + v1^2 / (2 (q_y - a0)), so mu = 1 / (2 (1 - p0 / f_y)), and E_H =
// q_y (u_m - u_y). A constant ground acceleration from the first sample is that force exactly.
TEST(BilinearOscillator, MatchesTheStepForceClosedForm) {
  const double period = 1, dt = 0.01, a0 = 100;
  const double w = circular_frequency(period), u_st = a0 / (w * w);
  struct row {
    double yield_over_static;
    observation mode;
  } rows[] = {
      {1.5, observation::at_steps}, {1.2, observation::continuous}, {1.05, observation::at_steps}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.yield_over_static);
    const double uy = r.yield_over_static * u_st, qy = w * w * uy;
    const double mu = 1 / (2 * (1 - 1 / r.yield_over_static));
    const double t1 = std::acos(1 - uy / u_st) / w;
    const double v1 = w * std::sqrt(uy * (2 * u_st - uy));
    const double peak_time = t1 + v1 / (qy - a0);
    // Held until half a period past the peak: the next return to the yield line is later.
    const std::vector<double> a(static_cast<std::size_t>((peak_time + period / 2) / dt), -a0);
    const stepping s = make_stepping({.period = period, .damping = 0, .alpha = 0}, dt);
    const run_result result = run(s, a, uy, r.mode);
    EXPECT_EQ(result.yield_onsets, 1u);
    EXPECT_NEAR(result.peak_deformation / uy, mu, 1e-12 * mu);
    EXPECT_NEAR(result.hysteretic_energy, qy * (mu - 1) * uy, 1e-11 * qy * mu * uy);
  }
  // The search finds the strength of mu = 3 (u_y = 1.2 u_st) to its tolerance.
  const std::vector<double> a(250, -a0), periods = {period}, three = {3};
  const ordinate o = constant_ductility_spectrum(a, dt, periods, three, {.damping = 0})[0];
  ASSERT_TRUE(o.reached);
  EXPECT_NEAR(o.dy_cm, 1.2 * u_st, 2e-6 * u_st);
  EXPECT_NEAR(o.ductility, 3, 1e-5);
}

// --- The spectra ----------------------------------------------------------------------------

// A ductility of 1 is the elastic spectrum: f_y = f_0. Observed at the steps, C_y g is the
// elastic spectra's PSa, bit for bit; observed continuously, it is w^2 times the elastic peak
// between the steps, which is at least that.
TEST(InelasticSpectra, DuctilityOneIsTheElasticSpectrum) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  const std::vector<double> periods = {0.02, 0.3, 1, 3}, one = {1};
  const std::vector<spectral_ordinate> elastic = response_spectrum(a, dt, periods, 0.05, false);
  for (observation mode : {observation::at_steps, observation::continuous}) {
    const std::vector<ordinate> rows =
        constant_ductility_spectrum(a, dt, periods, one, {.mode = mode});
    for (std::size_t i = 0; i < periods.size(); ++i) {
      SCOPED_TRACE(periods[i]);
      const double w = circular_frequency(periods[i]);
      const double u0 =
          run(make_stepping({.period = periods[i], .damping = 0.05}, dt), a, infinity, mode)
              .peak_deformation;
      EXPECT_EQ(rows[i].fy_norm, 1);
      EXPECT_TRUE(same_bits(rows[i].cy_g, w * w * u0 / base::standard_gravity));
      EXPECT_TRUE(same_bits(rows[i].ay_g, rows[i].cy_g));
      EXPECT_TRUE(same_bits(rows[i].um_cm, u0));
      if (mode == observation::at_steps) {
        EXPECT_TRUE(same_bits(rows[i].cy_g, elastic[i].psa));
        EXPECT_TRUE(same_bits(rows[i].um_cm, elastic[i].sd));
      } else {
        EXPECT_GE(rows[i].cy_g, elastic[i].psa);
      }
      EXPECT_EQ(rows[i].ductility, 1);
      EXPECT_EQ(rows[i].c_mu, 1);
      EXPECT_EQ(rows[i].hysteretic_velocity, 0);
      EXPECT_EQ(rows[i].runs, 1);
    }
  }
}

// Each ductility is reached (to the refinement's tolerance) at a strength that no stronger
// oscillator on a scan five times finer than the search's smallest step reaches: the largest.
TEST(InelasticSpectra, ReachesEachDuctilityAtTheLargestStrength) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  const std::vector<double> periods = {0.1, 0.5, 2}, ductilities = {1.5, 2, 4, 6};
  const std::vector<ordinate> rows =
      constant_ductility_spectrum(a, dt, periods, ductilities, {.alpha = 0.02, .threads = 2});
  for (const ordinate& o : rows) {
    SCOPED_TRACE(::testing::Message() << o.period << " " << o.target);
    ASSERT_TRUE(o.reached) << o.warning;
    EXPECT_NEAR(o.ductility, o.target, 1e-5 * o.target);
    EXPECT_NEAR(o.um_cm, o.ductility * o.dy_cm, 1e-14 * o.um_cm);
    EXPECT_NEAR(o.r_mu * o.fy_norm, 1, 1e-15);
    const stepping s = make_stepping({.period = o.period, .damping = 0.05, .alpha = 0.02}, dt);
    const double u0 = run(s, a, infinity, observation::continuous).peak_deformation;
    EXPECT_NEAR(o.c_mu, o.um_cm / u0, 1e-15 * o.c_mu);
    for (double f = 1; f > o.fy_norm * (1 + 1e-6); f *= 0.999) {
      ASSERT_LT(run(s, a, f * u0, observation::continuous).peak_deformation / (f * u0), o.target)
          << f;
    }
  }
}

// The record and its negative give the same spectra, bit for bit.
TEST(InelasticSpectra, TheNegatedRecordGivesTheSameSpectra) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  std::vector<double> negated = a;
  for (double& v : negated) v = -v;
  const std::vector<double> periods = {0.05, 0.5, 2}, targets = {1.5, 4, 8};
  for (double alpha : {0.0, 0.05}) {
    for (observation mode : {observation::at_steps, observation::continuous}) {
      const inelastic_settings s{.alpha = alpha, .mode = mode};
      for (bool strength : {false, true}) {
        const auto spectrum = strength ? constant_strength_spectrum : constant_ductility_spectrum;
        const std::vector<ordinate> p = spectrum(a, dt, periods, targets, s),
                                    q = spectrum(negated, dt, periods, targets, s);
        for (std::size_t i = 0; i < p.size(); ++i) {
          SCOPED_TRACE(::testing::Message() << alpha << " " << strength << " " << i);
          EXPECT_TRUE(same_bits(p[i].fy_norm, q[i].fy_norm));
          EXPECT_TRUE(same_bits(p[i].um_cm, q[i].um_cm));
          EXPECT_TRUE(same_bits(p[i].ductility, q[i].ductility));
          EXPECT_TRUE(same_bits(p[i].hysteretic_velocity, q[i].hysteretic_velocity));
          EXPECT_EQ(p[i].runs, q[i].runs);
        }
      }
    }
  }
}

// The spectra from runs in vector lanes are those from runs one after the other, bit for bit,
// over periods with and without sub-steps, in threads.
TEST(InelasticSpectra, VectorLanesGiveTheSameRows) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt);
  const std::vector<double> periods = {0.02, 0.03, 0.05, 0.1, 0.2, 0.4, 0.7, 1, 1.5, 2.5, 4},
                            targets = {1.5, 3, 6};
  for (bool strength : {false, true}) {
    const auto spectrum = strength ? constant_strength_spectrum : constant_ductility_spectrum;
    const std::vector<ordinate> lanes =
        spectrum(a, dt, periods, targets, {.alpha = 0.03, .threads = 2});
    const std::vector<ordinate> one =
        spectrum(a, dt, periods, targets, {.alpha = 0.03, .lanes = false});
    ASSERT_EQ(lanes.size(), one.size());
    for (std::size_t i = 0; i < one.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << strength << " " << i);
      EXPECT_TRUE(same_bits(lanes[i].fy_norm, one[i].fy_norm));
      EXPECT_TRUE(same_bits(lanes[i].um_cm, one[i].um_cm));
      EXPECT_TRUE(same_bits(lanes[i].hysteretic_velocity, one[i].hysteretic_velocity));
      EXPECT_EQ(lanes[i].runs, one[i].runs);
    }
  }
}

// Rows without a value say why and name the period; they are never guessed.
TEST(InelasticSpectra, RowsWithoutAValueSayWhy) {
  double dt = 0;
  const std::vector<double> a = el_centro_ns(dt), still(a.size(), 0.0);
  const std::vector<double> periods = {0.5}, huge = {1e9};
  const ordinate unreached = constant_ductility_spectrum(a, dt, periods, huge, {})[0];
  EXPECT_FALSE(unreached.reached);
  EXPECT_TRUE(std::isnan(unreached.fy_norm) && std::isnan(unreached.ductility));
  EXPECT_EQ(unreached.warning,
            "ductility 1e+09 is not reached at period 0.5 s: no strength down to 0.002 "
            "f_0 gives it");
  for (const ordinate& o : {constant_ductility_spectrum(still, dt, periods, huge, {})[0],
                            constant_strength_spectrum(still, dt, periods, huge, {})[0]}) {
    EXPECT_FALSE(o.reached);
    EXPECT_TRUE(std::isnan(o.r_mu));
    EXPECT_EQ(o.warning,
              "at period 0.5 s the elastic oscillator does not move: no strength is defined");
  }
}

// --- The options ----------------------------------------------------------------------------

TEST(InelasticOptions, AcceptsListsAndRatios) {
  struct row {
    const char* text;
    parsed_values (*parse)(std::string_view);
    std::vector<double> values;
  } rows[] = {
      {"1.5,2,4,6", parse_ductilities, {1.5, 2, 4, 6}},  // the usual targets
      {"1", parse_ductilities, {1}},                     // the elastic spectrum
      {" 2 , 8 ", parse_strength_ratios, {2, 8}},        // blanks around items
      {"1e1", parse_strength_ratios, {10}},              // any decimal
      {"0", parse_alpha, {0}},                           // elastic-perfectly plastic
      {"0.05", parse_alpha, {0.05}},
  };
  for (const row& r : rows) {
    const parsed_values p = r.parse(r.text);
    EXPECT_EQ(p.status.what, "") << r.text;
    EXPECT_EQ(p.values, r.values) << r.text;
  }
}

TEST(InelasticOptions, RejectsWithTheReason) {
  struct row {
    const char* text;
    parsed_values (*parse)(std::string_view);
    const char* error;
  } rows[] = {
      {"0.5", parse_ductilities, "ductilities are 1 or more, not 0.5"},
      {"2,,4", parse_ductilities, "not a number: ''"},
      {"", parse_ductilities, "not a number: ''"},
      {"nan", parse_ductilities, "not a number: 'nan'"},
      {"0.9", parse_strength_ratios, "strength ratios are 1 or more, not 0.9"},
      {"4,x", parse_strength_ratios, "not a number: 'x'"},
      {"1", parse_alpha, "alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not 1"},
      {"-0.1", parse_alpha,
       "alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not -0.1"},
      {"0.1,0.2", parse_alpha, "not a number: '0.1,0.2'"},
  };
  for (const row& r : rows) {
    const parsed_values p = r.parse(r.text);
    EXPECT_EQ(p.status.what, r.error) << r.text;
    EXPECT_TRUE(p.values.empty()) << r.text;
  }
}

}  // namespace
// Values given as numbers follow the parsers' rules in their words; the default ductilities
// are a list the parser takes.
TEST(InelasticOptions, ChecksValuesGivenAsNumbers) {
  const double inf = INFINITY;
  struct row {
    std::vector<double> values;
    base::status (*check)(std::span<const double>);
    const char* error;
  } rows[] = {
      {{1, 1.5, 8}, check_ductility_values, ""},  // 1 is the elastic spectrum
      {{0.5}, check_ductility_values, "ductilities are 1 or more, not 0.5"},
      {{2, NAN}, check_ductility_values, "ductilities are 1 or more, not nan"},
      {{inf}, check_strength_ratio_values, "strength ratios are 1 or more, not inf"},
      {{}, check_strength_ratio_values, "no strength ratios"},  // an empty list asks nothing
  };
  for (const row& r : rows) {
    EXPECT_EQ(r.check(r.values).what, r.error) << r.values.size();
  }
  EXPECT_TRUE(check_alpha_value(0).ok());
  EXPECT_EQ(check_alpha_value(1).what,
            "alpha, the post-yield stiffness ratio, is from 0 up to (not) 1, not 1");
  EXPECT_EQ(check_alpha_value(NAN).code, base::code::usage);
  EXPECT_EQ(parse_ductilities(default_ductilities).values, (std::vector<double>{1.5, 2, 4, 6}));
}

}  // namespace spectra::inelastic
