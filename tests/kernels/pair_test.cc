// The pair kernel against the definitions it must reproduce bit for bit: its scalar twin (every
// angle at every (sub-)sample), the rotated displacement of the two histories, and each
// component's spectrum.
#include "kernels/pair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "kernels/angle_peaks.h"
#include "kernels/early_stop.h"
#include "kernels/rotd.h"
#include "spectra/spectrum.h"

namespace kernels {
namespace {

struct random_pair {
  std::vector<double> first, second;
};

// Noise under an envelope that rises and dies away, so that the kernel may stop early; some
// pairs are nearly parallel (u2 close to a multiple of u1), where many angles tie. Zeros follow
// the motion for `quiet` samples.
random_pair make_pair(unsigned seed, std::size_t n, double correlation, std::size_t quiet) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> noise(0, 100);
  random_pair p{std::vector<double>(n), std::vector<double>(n)};
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    const double envelope = t < 0.3 ? t / 0.3 : std::exp(-8 * (t - 0.3));
    p.first[i] = envelope * noise(random);
    p.second[i] = correlation * p.first[i] + (1 - correlation) * envelope * noise(random);
  }
  p.first.resize(n + quiet);
  p.second.resize(n + quiet);
  return p;
}

struct run_of_pair {
  std::vector<oscillator_coefficients> oscillators;
  std::vector<int> steps;
};

// Periods from 0.02 to 4 s at dt: the short ones take up to 5 sub-steps, most sub-steps first.
run_of_pair oscillators_at(double dt, std::size_t count) {
  run_of_pair r;
  std::vector<double> periods;
  for (std::size_t i = 0; i < count; ++i)
    periods.push_back(0.02 * std::pow(200.0, i / (count - 1.0)));
  for (double t : periods) {
    const int k = spectra::substeps(t, dt);
    r.oscillators.push_back(coefficients(0.05, spectra::circular_frequency(t), dt / k, false));
    r.steps.push_back(k);
  }
  return r;
}

TEST(Pair, LanesEqualTheScalarTwinAndTheHistories) {
  const double dt = 0.01;
  struct row {
    unsigned seed;
    std::size_t samples, oscillators;
    double correlation;
    std::size_t quiet;
    double scale = 1;        // of the motion
    double pulse = 0;        // in the first component alone, halfway through the quiet end
    bool across = false;     // the pulse in both, across the diagonal, before a settle check
    std::size_t before = 1;  // samples between that pulse and the check
  };
  // Lane counts that fill whole vectors, leave a partial one, and mix sub-steps in one vector.
  // A long quiet end lets the short periods stop early: their peaks must stay the twin's; a
  // pulse in it, in the first component alone, raises some angles long after the motion. And
  // motions whose squares overflow, or fall where rounding is no longer relative. A motion
  // along the diagonal (correlation 1) and a pulse across it: the rotations must not stop while
  // the energy across the diagonal, where the peaks are smallest, can still raise them.
  // clang-format off
  const row rows[] = {{1, 1500, 23, 0, 0},
                      {2, 900, 16, 0.9, 0},
                      {3, 2500, 9, 0.3, 0},
                      {4, 700, 3, 1, 0},
                      {5, 1000, 16, 0.5, 4000},
                      {6, 1000, 16, 0.2, 4000, 1, 5000},
                      {7, 600, 9, 0.5, 0, 1e200},
                      {8, 600, 9, 0.5, 2000, 1e-200},
                      {9, 1000, 16, 1, 3000, 1, 100, true},
                      {10, 1000, 9, 1, 3000, 1, 100, true, 90}};
  // clang-format on
  for (const row& c : rows) {
    random_pair g = make_pair(c.seed, c.samples, c.correlation, c.quiet);
    for (double& a : g.first) a *= c.scale;
    for (double& a : g.second) a *= c.scale;
    if (c.pulse != 0 && !c.across) g.first[c.samples + c.quiet / 2] = c.pulse;
    if (c.across) {
      const std::size_t at = (c.samples + c.quiet / 2) / settle_check * settle_check - c.before;
      g.first[at] = c.pulse;
      g.second[at] = -c.pulse;
    }
    const run_of_pair o = oscillators_at(dt, c.oscillators);
    const pair_batch b{.first = g.first,
                       .second = g.second,
                       .interval = dt,
                       .oscillators = o.oscillators,
                       .substeps_of = o.steps};
    std::vector<pair_response> fast(o.oscillators.size()), twin(o.oscillators.size());
    run_pair(b, fast);
    run_pair_scalar(b, twin);
    if (c.quiet > 0 && c.scale == 1) {  // tiny motions run to the end
      EXPECT_TRUE(std::any_of(fast.begin(), fast.end(), [](const pair_response& r) {
        return r.settled_at > 0;
      })) << "the quiet end was run to its last sample";
    }
    for (std::size_t l = 0; l < fast.size(); ++l) {
      for (int a = 0; a < angles; ++a) {
        ASSERT_EQ(fast[l].sd[a], twin[l].sd[a]) << c.seed << " lane " << l << " angle " << a;
        ASSERT_EQ(fast[l].sv[a], twin[l].sv[a]) << c.seed << " lane " << l << " angle " << a;
        ASSERT_EQ(fast[l].sa[a], twin[l].sa[a]) << c.seed << " lane " << l << " angle " << a;
      }
      // Each component: the batch kernel's peaks over the same (sub-)samples.
      for (int side = 0; side < 2; ++side) {
        const std::vector<double>& ddy = side == 0 ? g.first : g.second;
        const int k = o.steps[l];
        const std::vector<oscillator_coefficients> one = {o.oscillators[l]};
        std::vector<peak_response> p(1);
        const std::size_t points = (ddy.size() - 1) * static_cast<std::size_t>(k) + 1;
        std::vector<double> u(points * lane_padding);
        run_batch_scalar({.ddy = ddy,
                          .substeps = k,
                          .step = dt / k,
                          .oscillators = one,
                          .displacement = u.data(),
                          .stride = lane_padding},
                         p);
        const peak_response& q = side == 0 ? fast[l].first : fast[l].second;
        ASSERT_EQ(q.sd, p[0].sd) << c.seed << " lane " << l;
        ASSERT_EQ(q.sv, p[0].sv) << c.seed << " lane " << l;
        ASSERT_EQ(q.sa, p[0].sa) << c.seed << " lane " << l;
      }
    }
    // The rotated displacement as RotD was defined on the two histories.
    for (std::size_t l = 0; l < fast.size(); ++l) {
      const int k = o.steps[l];
      const std::vector<oscillator_coefficients> one = {o.oscillators[l]};
      const std::size_t points = (g.first.size() - 1) * static_cast<std::size_t>(k) + 1;
      std::vector<double> u1(points * lane_padding), u2(points * lane_padding);
      std::vector<peak_response> p(1);
      for (int side = 0; side < 2; ++side) {
        run_batch_scalar({.ddy = side == 0 ? g.first : g.second,
                          .substeps = k,
                          .step = dt / k,
                          .oscillators = one,
                          .displacement = (side == 0 ? u1 : u2).data(),
                          .stride = lane_padding},
                         p);
      }
      const rotated_peaks old =
          rotated_peaks_everywhere(u1.data(), u2.data(), points, lane_padding);
      const angle_peaks now = angle_peaks::of(fast[l].sd.data());
      ASSERT_EQ(now.percentile(0), old.rotd00) << c.seed << " lane " << l;
      ASSERT_EQ(now.percentile(50), old.rotd50) << c.seed << " lane " << l;
      ASSERT_EQ(now.percentile(100), old.rotd100) << c.seed << " lane " << l;
      ASSERT_EQ(now.angle_at(0), old.angle00) << c.seed << " lane " << l;
      ASSERT_EQ(now.angle_at(100), old.angle100) << c.seed << " lane " << l;
    }
  }
}

// Percentiles of 180 known peaks: peak(a) = a + 1 in a shuffled order of angles.
TEST(AnglePeaks, PercentilesAndTheirAngles) {
  std::vector<double> by_angle(angles);
  for (int a = 0; a < angles; ++a) by_angle[a] = (a * 7 % angles) + 1;  // 7 is prime to 180
  const angle_peaks p = angle_peaks::of(by_angle.data());
  struct row {
    double percentile, value;
  };
  // Rank p * 179 / 100 of the sorted 1 .. 180, linear between ranks.
  const row rows[] = {{0, 1}, {100, 180}, {50, 90.5}, {-3, 1}, {250, 180}, {84, 1 + 0.84 * 179}};
  for (const row& r : rows) EXPECT_DOUBLE_EQ(p.percentile(r.percentile), r.value) << r.percentile;
  // The angle that holds value v: a * 7 = v - 1 (mod 180), a = 103 (v - 1) mod 180 (7 * 103 =
  // 721 = 1 mod 180).
  for (const double q : {0.0, 50.0, 100.0}) {
    const int rank = static_cast<int>(q * 179 / 100);
    EXPECT_EQ(p.angle_at(q), 103 * rank % angles) << q;
  }
  // Ties take the first angle.
  const std::vector<double> flat(angles, 2.5);
  EXPECT_EQ(angle_peaks::of(flat.data()).angle_at(100), 0);
}

// The order against a stable sort of the values, on peaks that defeat a sort by their leading
// bits or by their runs: neighbours one unit of the last place apart, ties, zeros of both signs,
// negatives, infinities and not-a-numbers, and runs up, down and zig-zag.
TEST(AnglePeaks, OrderAsAStableSort) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = HUGE_VAL;
  const std::vector<std::function<double(int)>> cases = {
      [](int a) { return -(1 + (a * 29 % 13) * 0x1p-52); },
      [](int a) { return 1 + (a * 37 % 11) * 0x1p-52; },
      [](int a) { return a % 4 == 0   ? 0.0
                         : a % 4 == 1 ? -0.0
                                      : a % 5; },
      [&](int a) {
        const double odd = a % 2 ? -nan : nan;  // either sign
        return a % 17 == 0 ? odd : a % 13 == 0 ? inf : a % 11 == 0 ? -inf : a - 90;
      },
      [](int a) { return std::fabs(std::cos(a * 0.02 + 0.3)) + (a % 7) * 1e-9; },
      [](int a) { return a % 2 ? a : 180 - a; },
  };
  for (std::size_t c = 0; c < 2 * cases.size(); ++c) {
    const double scale = c < cases.size() ? 1 : 9.80665;  // as Sa is written in g
    double given[angles], by_angle[angles];
    for (int a = 0; a < angles; ++a) {
      given[a] = cases[c % cases.size()](a);
      by_angle[a] = given[a] / scale;
    }
    std::array<int, angles> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int i, int j) {
      return by_angle[i] < by_angle[j] || (!std::isnan(by_angle[i]) && std::isnan(by_angle[j]));
    });
    const angle_peaks p = angle_peaks::of(given, scale);
    for (int i = 0; i < angles; ++i) {
      const double want = by_angle[order[i]];
      const bool tie = i > 0 && want == by_angle[order[i - 1]];
      ASSERT_TRUE(p.sorted[i] == want || (std::isnan(want) && std::isnan(p.sorted[i])))
          << c << " " << i;
      ASSERT_EQ(p.angle[i], tie ? p.angle[i - 1] : order[i]) << c << " " << i;
    }
  }
}

}  // namespace
}  // namespace kernels
