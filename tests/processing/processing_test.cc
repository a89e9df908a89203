#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "kernels/dispatch.h"
#include "processing/baseline.h"
#include "processing/baseline_passes.h"
#include "processing/butterworth.h"
#include "processing/integrate.h"
#include "processing/process.h"
#include "processing/sos_blocks.h"
#include "processing/sos_filter.h"
#include "support/data.h"

namespace processing {
namespace {

using std::numbers::pi;

double peak(std::span<const double> x) {
  double p = 0;
  for (double v : x) p = std::max(p, std::abs(v));
  return p;
}

double largest_difference(std::span<const double> a, std::span<const double> b) {
  double d = 0;
  for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::abs(a[i] - b[i]));
  return d;
}

std::vector<double> noise(std::size_t n, double offset, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0, 50);
  std::vector<double> x(n);
  double walk = offset;
  for (double& v : x) v = normal(random) + (walk += normal(random) / 10);
  return x;
}

std::vector<section> cascade(double highpass, double lowpass, int order, double dt) {
  std::vector<section> s;
  if (highpass > 0) s = butterworth_highpass(order, highpass, dt);
  if (lowpass > 0) {
    const std::vector<section> low = butterworth_lowpass(order, lowpass, dt);
    s.insert(s.end(), low.begin(), low.end());
  }
  return s;
}

// The instruction sets this processor runs: the vector kernels of each are the widest compiled
// up to it.
std::vector<kernels::vector_target> targets_here() {
  using enum kernels::vector_target;
  std::vector<kernels::vector_target> targets;
  for (const kernels::vector_target t : {baseline, ssse3, sse4, avx2, avx3}) {
    if (t <= kernels::best_vector_target()) targets.push_back(t);
  }
  return targets;
}

// The definition the blocks must agree with: forwards sample after sample from the steady
// state of the first value, backwards from that of the last.
std::vector<double> plain_forward_backward(std::span<const section> s, std::vector<double> x) {
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<double> state = steady_state(s);
    for (double& z : state) z *= x[0];
    detail::filter_plain(s, x, state);
    std::reverse(x.begin(), x.end());
  }
  return x;
}

TEST(Integrate, ClosedForms) {
  // dt = 1/2 and whole-number accelerations: every value is exact in binary.
  const double h = 0.5;
  std::vector<double> constant(9, 3.0), linear(9);
  for (std::size_t i = 0; i < linear.size(); ++i) linear[i] = static_cast<double>(i) * h;
  const ground_histories c = integrate(constant, h), l = integrate(linear, h);
  for (std::size_t i = 0; i < 9; ++i) {
    const double t = static_cast<double>(i) * h;
    EXPECT_EQ(c.velocity[i], 3 * t);            // the trapezoid is exact on a constant...
    EXPECT_EQ(c.displacement[i], 1.5 * t * t);  // ...and on the linear velocity
    EXPECT_EQ(l.velocity[i], t * t / 2);
    // t^3 / 6 + h^2 t / 12 (the rule's own error) = (2 i^3 + i) / 96, a multiple of 1/32
    EXPECT_EQ(l.displacement[i], static_cast<double>((2 * i * i * i + i) / 3) / 32);
  }
  EXPECT_TRUE(integrate(std::vector<double>{}, h).velocity.empty());
}

// The displacement alone is the displacement of the whole integration, bit for bit (sdofspec's
// PGD, kept in the golden tables).
TEST(Integrate, DisplacementAloneBitForBit) {
  const testing_support::motion m =
      testing_support::read_motion(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv");
  const std::vector<double>& a = m.components.at(0).acceleration;
  std::vector<double> d(a.size());
  integrate(a, m.dt, {}, d);
  EXPECT_EQ(d, integrate(a, m.dt).displacement);
}

// Long sine records through the filters: in the steady state (the middle of the record, the
// ends' transients gone below 1e-8) the amplitude is the analogue-matched magnitude of the
// bilinear Butterworth design, |H|^2 forward and backward and |H| in one pass, within 1e-6,
// and forward and backward leaves no quadrature part: zero phase.
TEST(Butterworth, SteadyStateAmplitudeAndPhase) {
  struct row {
    const char* name;
    bool high;
    int order;
    double fc, dt;
    bool causal;
  };
  const row rows[] = {
      {"high-pass order 4, acausal", true, 4, 1.0, 0.01, false},
      {"high-pass order 1, causal", true, 1, 0.5, 0.005, true},
      {"high-pass order 8, acausal", true, 8, 0.4, 0.01, false},
      {"low-pass order 3, causal", false, 3, 2.0, 0.01, true},
      {"low-pass order 8, acausal: 10 fc is near the Nyquist frequency", false, 8, 4.0, 0.01,
       false},
  };
  for (const row& r : rows) {
    const std::vector<section> s = r.high ? butterworth_highpass(r.order, r.fc, r.dt)
                                          : butterworth_lowpass(r.order, r.fc, r.dt);
    const std::size_t n = static_cast<std::size_t>(100 / (r.fc * r.dt));
    for (int k = 0; k < 20; ++k) {
      const double f = r.fc * std::pow(10.0, -1 + 2 * k / 19.0);
      std::vector<double> x(n);
      for (std::size_t i = 0; i < n; ++i)
        x[i] = std::sin(2 * pi * f * static_cast<double>(i) * r.dt);
      if (r.causal) {
        std::vector<double> rest(2 * s.size(), 0.0);
        filter(s, x, rest);
      } else {
        filter_forward_backward(s, x);
      }
      // Least squares of A sin + B cos over the samples from 30 / fc to 70 / fc.
      double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
      for (std::size_t i = 3 * n / 10; i < 7 * n / 10; ++i) {
        const double w = 2 * pi * f * static_cast<double>(i) * r.dt;
        ss += std::sin(w) * std::sin(w);
        sc += std::sin(w) * std::cos(w);
        cc += std::cos(w) * std::cos(w);
        ys += x[i] * std::sin(w);
        yc += x[i] * std::cos(w);
      }
      const double a = (ys * cc - yc * sc) / (ss * cc - sc * sc);
      const double b = (yc * ss - ys * sc) / (ss * cc - sc * sc);
      const double ratio = std::tan(pi * f * r.dt) / std::tan(pi * r.fc * r.dt);
      const double h2 = 1 / (1 + std::pow(r.high ? 1 / ratio : ratio, 2 * r.order));
      SCOPED_TRACE(std::string(r.name) + " at " + std::to_string(f) + " Hz");
      if (r.causal) {
        EXPECT_NEAR(std::hypot(a, b), std::sqrt(h2), 1e-6);
      } else {
        EXPECT_NEAR(a, h2, 1e-6);
        EXPECT_NEAR(b, 0, 1e-6);
      }
    }
  }
}

// Long records go in blocks side by side: the same as the plain pass to its own rounding, and
// bit for bit the same on every instruction set.
TEST(SosFilter, BlocksAgreeWithThePlainPass) {
  struct row {
    const char* name;
    double highpass, lowpass;
    int order;
    double dt;
    std::size_t n;
    double tolerance;  // of the peak, for one pass; twice that forward and backward
  };
  const row rows[] = {
      {"band-pass, rows past the last whole tile, samples past the last row of blocks", 0.5, 20, 4,
       0.01, 5019, 1e-13},
      {"odd order, blocks of just 68 samples", 1, 0, 7, 0.01, 1100, 1e-13},
      // The transition over a block has entries in the hundreds that cancel: carried in
      // doubles, 1.2e-11 of the peak; in double-double, 2e-12.
      {"corner at 1.5e-4 of the sampling rate", 0.03, 0, 4, 0.005, 48000, 5e-12},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    const std::vector<section> s = cascade(r.highpass, r.lowpass, r.order, r.dt);
    const std::vector<double> x = noise(r.n, 100, 7);
    std::vector<double> plain = x, blocks = x;
    std::vector<double> rest1(2 * s.size(), 0.0), rest2 = rest1;
    detail::filter_plain(s, plain, rest1);
    detail::filter(s, blocks, rest2, lanes_in::scalar_twin);
    EXPECT_LE(largest_difference(plain, blocks), r.tolerance * peak(x));
    EXPECT_LE(largest_difference(rest1, rest2), r.tolerance * peak(x));
    std::vector<double> one_pass = x, rest3(2 * s.size(), 0.0);
    detail::filter(s, one_pass, rest3, lanes_in::vectors);
    EXPECT_EQ(one_pass, blocks);
    EXPECT_EQ(rest3, rest2);

    std::vector<double> both = x;
    detail::filter_forward_backward(s, both, lanes_in::scalar_twin);
    EXPECT_LE(largest_difference(plain_forward_backward(s, x), both), 2 * r.tolerance * peak(x));
    std::vector<double> in_vectors = x;
    detail::filter_forward_backward(s, in_vectors, lanes_in::vectors);
    EXPECT_EQ(in_vectors, both);
  }
}

// Each vector kernel of the blocks, on every instruction set this processor runs, equals its
// scalar twin bit for bit: the moves into lanes and back over a number of rows that no vector
// width divides, and one section forwards and backwards from random memories.
TEST(SosBlocks, EveryInstructionSetEqualsTheScalarTwin) {
  const std::size_t steps = 67;
  const std::vector<double> x = noise(steps * block_lanes, 10, 11);
  const std::vector<double> start = noise(2 * block_lanes, 0, 12);  // z1 of each lane, then z2
  const section s = butterworth_highpass(2, 0.2, 0.01).at(0);
  const block_kernels twin = scalar_block_kernels();
  for (const kernels::vector_target target : targets_here()) {
    SCOPED_TRACE(static_cast<int>(target));
    const block_kernels run = vector_block_kernels(target);
    std::vector<double> rows(x.size()), twin_rows(x.size()), back(x.size());
    run.to_lanes(x.data(), steps, rows.data());
    twin.to_lanes(x.data(), steps, twin_rows.data());
    EXPECT_EQ(rows, twin_rows);
    run.from_lanes(back.data(), steps, rows.data());
    EXPECT_EQ(back, x);
    for (const bool backward : {false, true}) {
      std::vector<double> z = start, twin_z = start;
      run.to_end(s, rows.data(), steps, backward, z.data(), z.data() + block_lanes);
      twin.to_end(s, twin_rows.data(), steps, backward, twin_z.data(), twin_z.data() + block_lanes);
      EXPECT_EQ(z, twin_z);
      z = twin_z = start;
      run.in_place(s, rows.data(), steps, backward, z.data(), z.data() + block_lanes);
      twin.in_place(s, twin_rows.data(), steps, backward, twin_z.data(),
                    twin_z.data() + block_lanes);
      EXPECT_EQ(z, twin_z);
      EXPECT_EQ(rows, twin_rows);
    }
  }
}

// The baseline's passes in vectors on every instruction set this processor runs, the scalar
// twin going on where whole vectors end, equal the twin alone bit for bit.
TEST(Baseline, EveryInstructionSetEqualsTheScalarTwin) {
  using namespace baseline_passes;
  const std::size_t n = 1003;  // no vector width divides it
  const double h = 1.0 / static_cast<double>(n - 1);
  const std::vector<double> d = noise(n, 5, 13);
  const double c[terms] = {0.5, -1.25, 3, 0.75, -2};
  double twin[terms][4] = {};
  add_moments(d.data(), 0, n, h, twin);
  std::vector<double> twin_a = d;
  subtract(twin_a.data(), 0, n, h, c);
  for (const kernels::vector_target target : targets_here()) {
    SCOPED_TRACE(static_cast<int>(target));
    const vector_passes run = passes_in_vectors(target);
    double moments[terms][4] = {};
    add_moments(d.data(), run.moments(d.data(), n, h, moments), n, h, moments);
    for (int j = 0; j < terms; ++j) {
      for (int k = 0; k < 4; ++k) EXPECT_EQ(moments[j][k], twin[j][k]) << j << " " << k;
    }
    std::vector<double> a = d;
    subtract(a.data(), run.subtract(a.data(), n, h, c), n, h, c);
    EXPECT_EQ(a, twin_a);
  }
}

// A polynomial of the form fitted comes back; for any displacement, what is left is orthogonal
// to t^2 ... t^6 (the least-squares property), down to the fewest samples a fit takes.
TEST(Baseline, LeastSquares) {
  const baseline_polynomial drift{.c = {0.3, -0.02, 1e-3, -2e-5, 1.5e-7}};
  for (const std::size_t n : {6, 7, 100, 28396}) {
    SCOPED_TRACE(n);
    const double dt = 40.0 / static_cast<double>(n - 1);
    std::vector<double> d(n);
    for (std::size_t i = 0; i < n; ++i) d[i] = drift.at(static_cast<double>(i) * dt);
    const baseline_polynomial back = fit_baseline(d, dt);
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(back.c[k], drift.c[k], 1e-9 * std::abs(drift.c[k]));

    const std::vector<double> random = noise(n, 0, 3);
    const baseline_polynomial fit = fit_baseline(random, dt);
    for (int power = 2; power <= 6; ++power) {
      double moment = 0, scale = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const double tau = static_cast<double>(i) / static_cast<double>(n - 1);
        const double residual = random[i] - fit.at(static_cast<double>(i) * dt);
        moment += std::pow(tau, power) * residual;
        scale += std::pow(tau, power) * std::abs(random[i]);
      }
      EXPECT_LE(std::abs(moment), 1e-12 * scale) << "t^" << power;
    }
  }
}

// A pulse on a drift 70 times its size: the correction takes the drift off the displacement
// exactly (to the trapezoid's error on it, 4e-8 of it), leaving the pulse less its own
// least-squares polynomial, 2.3% of it for this pulse.
TEST(Baseline, DriftOffAPulse) {
  const double dt = 0.01, t0 = 20, width = 0.5;
  const std::size_t n = 4001;
  const baseline_polynomial drift{.c = {0.1, -4e-3, 2e-4, -4e-6, 2e-8}};
  std::vector<double> pulse(n), record(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt, u = (t - t0) / width;
    pulse[i] = (u * u * u - 3 * u) * std::exp(-u * u / 2) / (width * width);  // of u e^(-u^2/2)
    record[i] = pulse[i] + drift.second_derivative(t);
  }
  const std::vector<double> shape = integrate(pulse, dt).displacement;
  const baseline_polynomial own = fit_baseline(shape, dt);
  remove_baseline(record, dt);
  const std::vector<double> corrected = integrate(record, dt).displacement;
  double drift_size = 0, from_shape = 0, from_left = 0, own_size = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) * dt;
    drift_size = std::max(drift_size, std::abs(drift.at(t)));
    own_size = std::max(own_size, std::abs(own.at(t)));
    from_left = std::max(from_left, std::abs(corrected[i] - (shape[i] - own.at(t))));
    from_shape = std::max(from_shape, std::abs(corrected[i] - shape[i]));
  }
  EXPECT_GT(drift_size, 70 * peak(shape));
  EXPECT_LE(from_left, 1e-7 * drift_size);
  EXPECT_LE(from_shape, 0.03 * peak(shape));
  EXPECT_LE(own_size, 0.03 * peak(shape));

  std::vector<double> twin = record, in_vectors = record;
  detail::remove_baseline(twin, dt, lanes_in::scalar_twin);
  detail::remove_baseline(in_vectors, dt, lanes_in::vectors);
  EXPECT_EQ(in_vectors, twin);
}

struct peaks {
  double pga = 0, pgv = 0, pgd = 0, final_velocity = 0, final_displacement = 0;
};
peaks peaks_of(std::span<const double> a, double dt) {
  const ground_histories g = integrate(a, dt);
  return {peak(a), peak(g.velocity), peak(g.displacement), g.velocity.back(),
          g.displacement.back()};
}

// Every bundled record, processed as a raw record would be (1 s taper, pads, order-4 acausal
// high-pass at 0.1 Hz, baseline), ends at rest: its final velocity within 1e-4 of its PGV and
// its final displacement within 1e-3 of its PGD (at most 2e-5 and 2e-4 in fact).
TEST(Process, BundledRecordsEndAtRest) {
  const steps chain{.taper = 1, .highpass = 0.1, .baseline = true};
  for (const char* file : {"RSN6_IMPVALL.I_I-ELC180.AT2", "elcentro1940-ns-textbook.csv",
                           "lomaprieta1989-corralitos.csv", "mexico1985-sct.csv",
                           "northridge1994-sylmar-aftershock.csv", "sanfernando1971-pacoima.csv"}) {
    const testing_support::motion m =
        testing_support::read_motion(std::string(TEST_DATA_DIR) + "/" + file);
    ASSERT_FALSE(m.components.empty()) << file;
    for (const records::component& c : m.components) {
      if (peak(c.acceleration) == 0) continue;  // the textbook record's empty columns
      SCOPED_TRACE(std::string(file) + " " + c.channel);
      ASSERT_TRUE(check(chain, c.dt, c.acceleration.size()).ok());
      const peaks p = peaks_of(process(c.acceleration, c.dt, chain).acceleration, c.dt);
      EXPECT_LE(std::abs(p.final_velocity), 1e-4 * p.pgv);
      EXPECT_LE(std::abs(p.final_displacement), 1e-3 * p.pgd);
    }
  }
}

// A record with nothing below 1 Hz (El Centro with 30 s of zeros at each end, through an
// order-8 acausal high-pass at 1 Hz whose ringing dies out within them) through the order-4
// high-pass at 0.1 Hz: what that filter removes from any of its frequencies,
// (1 - |H_0.1|^2) |H_1|^2, is below 1e-8 of it, so PGA, PGV and PGD move by less than 1e-6.
TEST(Process, PeaksKeptWhenNothingLiesBelowTheCorner) {
  const testing_support::motion m =
      testing_support::read_motion(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv");
  const records::component& c = m.components.at(0);
  std::vector<double> padded(3000, 0.0);
  padded.insert(padded.end(), c.acceleration.begin(), c.acceleration.end());
  padded.resize(padded.size() + 3000, 0.0);
  const std::vector<double> quiet = process(padded, c.dt, {.highpass = 1, .order = 8}).acceleration;
  const peaks before = peaks_of(quiet, c.dt);
  const peaks after = peaks_of(process(quiet, c.dt, {.highpass = 0.1}).acceleration, c.dt);
  EXPECT_NEAR(after.pga, before.pga, 1e-6 * before.pga);
  EXPECT_NEAR(after.pgv, before.pgv, 1e-6 * before.pgv);
  EXPECT_NEAR(after.pgd, before.pgd, 1e-6 * before.pgd);
  // The same high-pass at 2 Hz, inside the record's band, moves them by far more.
  const peaks inside = peaks_of(process(quiet, c.dt, {.highpass = 2}).acceleration, c.dt);
  EXPECT_GT(std::abs(inside.pgv - before.pgv), 0.05 * before.pgv);
}

// Nothing asked, nothing done; the pads are 0.75 n / fc at each end (mean, taper and pre-event
// window are checked against NumPy in scipy_reference.py).
TEST(Process, NothingAskedAndPads) {
  const std::vector<double> a = noise(2001, 40, 5);  // 20 s at 0.01 s
  EXPECT_EQ(process(a, 0.01, {}).acceleration, a);
  const processed padded = process(a, 0.01, {.highpass = 0.1, .order = 4});
  EXPECT_EQ(padded.leading_pad, 3000u);  // 30 s
  EXPECT_EQ(padded.trailing_pad, 3000u);
  EXPECT_EQ(padded.acceleration.size(), 8001u);
}

TEST(Process, Describe) {
  EXPECT_TRUE(describe({}).empty());
  EXPECT_EQ(describe({.pre_event = 5,
                      .taper = 1.5,
                      .highpass = 0.1,
                      .lowpass = 25,
                      .order = 4,
                      .baseline = true}),
            (std::vector<std::string>{
                "mean of the first 5 s removed", "Hann taper 1.5 s at each end",
                "zero pads 30 s at each end", "highpass 0.1 Hz order 4 acausal",
                "lowpass 25 Hz order 4 acausal", "baseline polynomial t^2 to t^6 removed"}));
  EXPECT_EQ(describe({.lowpass = 20, .order = 2, .causal = true}),
            (std::vector<std::string>{"mean removed", "lowpass 20 Hz order 2 causal"}));
}

// What can run on a record of 2001 samples 0.01 s apart (20 s, Nyquist 50 Hz).
TEST(Process, CheckAccepts) {
  const steps rows[] = {
      {},
      {.highpass = 0.05, .lowpass = 49.9, .order = 8},  // from 1 / duration to below Nyquist
      {.taper = 10, .order = 1},                        // half the record
      {.pre_event = 20, .baseline = true},              // the whole record
      {.highpass = 0.1, .causal = true},
  };
  for (const steps& s : rows) EXPECT_TRUE(check(s, 0.01, 2001).ok()) << describe(s).back();
}

TEST(Process, CheckRefuses) {
  struct row {
    steps s;
    std::size_t n;
    base::code code;
    const char* what;
  };
  const row rows[] = {
      {{.highpass = 1, .order = 9}, 2001, base::code::usage, "filter order 9 is not from 1 to 8"},
      {{.highpass = 1, .order = 0}, 2001, base::code::usage, "filter order 0 is not from 1 to 8"},
      {{.highpass = -1}, 2001, base::code::usage, "the highpass corner is not a positive number"},
      {{.lowpass = NAN}, 2001, base::code::usage, "the lowpass corner is not a positive number"},
      {{.taper = 0}, 2001, base::code::usage, "the taper length is not a positive number"},
      {{.highpass = 5, .lowpass = 5},
       2001,
       base::code::usage,
       "highpass corner 5 Hz is not below lowpass corner 5 Hz"},
      {{.causal = true}, 2001, base::code::usage, "causal without a filter"},
      {{.lowpass = 50},
       2001,
       base::code::usage,
       "lowpass corner 50 Hz is not below the Nyquist frequency 50 Hz of samples 0.01 s apart"},
      {{.highpass = 0.04},
       2001,
       base::code::usage,
       "highpass corner 0.04 Hz is below 1 / duration of the 20 s record"},
      {{.taper = 10.5},
       2001,
       base::code::usage,
       "taper 10.5 s is longer than half the 20 s record"},
      {{.pre_event = 21}, 2001, base::code::usage, "pre-event time 21 s is beyond the 20 s record"},
      {{.taper = 0.01}, 1, base::code::bad_input, "fewer than two samples"},
      {{.baseline = true},
       5,
       base::code::bad_input,
       "5 samples with the pads: too few for the baseline fit"},
  };
  for (const row& r : rows) {
    const base::status s = check(r.s, 0.01, r.n);
    EXPECT_EQ(s.code, r.code) << r.what;
    EXPECT_EQ(s.what, r.what);
  }
}

}  // namespace
}  // namespace processing
