// Fourier amplitude spectra, the EAS and Konno-Ohmachi smoothing against exact properties
// (Parseval, a sine's peak, zero-padding, rotation), the smoothing against its definition
// evaluated plainly in long double, and the option values.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "kernels/dispatch.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/fourier/spectrum.h"
#include "support/data.h"

namespace fourier {
namespace {

std::vector<double> noise(std::size_t n, unsigned seed) {
  std::mt19937_64 random(seed);
  std::normal_distribution<double> normal(0, 50);
  std::vector<double> x(n);
  for (double& v : x) v = normal(random);
  return x;
}

double peak(const std::vector<double>& v) {
  double m = 0;
  for (double a : v) m = std::max(m, a);
  return m;
}

bool fast(std::size_t n) {
  for (std::size_t p : {2, 3, 5}) {
    while (n % p == 0) n /= p;
  }
  return n == 1;
}

// The smallest even 2^a 3^b 5^c at or above n, by search.
TEST(TransformLength, SmallestEvenFiveSmoothAtOrAbove) {
  for (std::size_t n = 0; n <= 5000; ++n) {
    std::size_t expected = std::max<std::size_t>(n, 2);
    while (expected % 2 != 0 || !fast(expected)) ++expected;
    ASSERT_EQ(transform_length(n), expected) << n;
  }
  EXPECT_EQ(transform_length(16396), 17280u);  // 2^7 3^3 5: 5.4 % of padding
}

// Parseval: sum x^2 dt = df (A_0^2 + 2 sum A_k^2 + A_{L/2}^2), padded or not.
TEST(AmplitudeSpectrum, Parseval) {
  struct row {
    std::size_t n, length;  // length 0: the fast length
    double dt;
  };
  for (const row& r : {row{2, 0, 0.01}, row{3, 0, 0.02}, row{17, 0, 0.005}, row{1000, 0, 0.01},
                       row{5346, 0, 0.01}, row{16396, 0, 0.005}, row{1000, 4000, 0.01}}) {
    const std::vector<double> x = noise(r.n, static_cast<unsigned>(r.n));
    const spectrum_result s = amplitude_spectrum(x, r.dt, r.length);
    ASSERT_TRUE(s.ok()) << s.status.what;
    const std::vector<double>& a = s.value.amplitudes;
    long double time = 0, frequency = 0;
    for (double v : x) time += static_cast<long double>(v) * v * r.dt;
    for (std::size_t k = 0; k < a.size(); ++k) {
      const bool once = k == 0 || k + 1 == a.size();
      frequency += (once ? 1 : 2) * static_cast<long double>(a[k]) * a[k] * s.value.df;
    }
    EXPECT_NEAR(static_cast<double>(frequency / time), 1, 1e-12) << r.n;
  }
}

// A sine of amplitude A lasting D = n dt: A D / 2 at its frequency, exactly on a bin of an
// unpadded record; padded, within the leakage of the other half, A dt / (2 |sin 2 pi f dt|).
TEST(AmplitudeSpectrum, SineGivesHalfAmplitudeTimesDuration) {
  const double amplitude = 3, dt = 0.01;
  for (const std::size_t n : {1000u, 997u}) {
    const std::size_t length = transform_length(n), bin = 137;
    const double f = static_cast<double>(bin) / (static_cast<double>(length) * dt);
    std::vector<double> x(n);
    for (std::size_t j = 0; j < n; ++j) {
      x[j] = amplitude * std::sin(2 * std::numbers::pi * f * static_cast<double>(j) * dt);
    }
    const spectrum_result s = amplitude_spectrum(x, dt);
    ASSERT_TRUE(s.ok());
    const double expected = amplitude * static_cast<double>(n) * dt / 2;
    const double leakage =
        n == length ? 1e-12 * expected
                    : amplitude * dt / (2 * std::abs(std::sin(2 * std::numbers::pi * f * dt)));
    EXPECT_NEAR(s.value.amplitudes[bin], expected, leakage) << n;
    EXPECT_EQ(peak(s.value.amplitudes), s.value.amplitudes[bin]);
  }
}

// Zero-padding samples the same transform more finely: bin k of L is bin 2k of 2L.
TEST(AmplitudeSpectrum, PaddingKeepsTheAmplitudeScale) {
  const std::vector<double> x = noise(5346, 1);
  const spectrum_result once = amplitude_spectrum(x, 0.01, 5400);
  const spectrum_result twice = amplitude_spectrum(x, 0.01, 10800);
  ASSERT_TRUE(once.ok() && twice.ok());
  EXPECT_EQ(once.value.df, 2 * twice.value.df);
  const double scale = peak(once.value.amplitudes);
  for (std::size_t k = 0; k < once.value.amplitudes.size(); ++k) {
    ASSERT_NEAR(once.value.amplitudes[k], twice.value.amplitudes[2 * k], 1e-12 * scale) << k;
  }
}

TEST(AmplitudeSpectrum, RefusesWhatHasNoSpectrum) {
  const std::vector<double> two = {1, 2}, with_nan = {1, NAN, 3}, with_inf = {1, INFINITY};
  struct row {
    std::vector<double> x;
    double dt;
    std::size_t length;
    const char* rule;
  };
  for (const row& r : {
           row{{}, 0.01, 0, "no samples"},
           row{{1}, 0.01, 0, "one sample"},
           row{two, 0, 0, "a zero interval"},
           row{two, -0.01, 0, "a negative interval"},
           row{two, NAN, 0, "an interval that is not a number"},
           row{two, INFINITY, 0, "an infinite interval"},
           row{with_nan, 0.01, 0, "a sample that is not a number"},
           row{with_inf, 0.01, 0, "an infinite sample"},
           row{{1, 2, 3}, 0.01, 2, "a length under the samples"},
           row{two, 0.01, 14, "a length with a factor 7"},
           row{two, 0.01, 15, "an odd length"},
       }) {
    EXPECT_FALSE(amplitude_spectrum(r.x, r.dt, r.length).ok()) << r.rule;
  }
  EXPECT_TRUE(amplitude_spectrum(two, 0.01).ok());
}

// The EAS does not see the sensors' orientation; of a component with itself it is its FAS,
// with silence 1/sqrt(2) of it.
TEST(EffectiveAmplitude, IndependentOfOrientation) {
  const std::vector<double> x = noise(3000, 2), y = noise(3000, 3);
  const double turn = 0.52;
  std::vector<double> u(x.size()), v(x.size()), zero(x.size(), 0.0);
  for (std::size_t j = 0; j < x.size(); ++j) {
    u[j] = x[j] * std::cos(turn) + y[j] * std::sin(turn);
    v[j] = -x[j] * std::sin(turn) + y[j] * std::cos(turn);
  }
  const spectrum e = effective_amplitude(x, y, 0.01).value;
  const spectrum turned = effective_amplitude(u, v, 0.01).value;
  const spectrum fas = amplitude_spectrum(x, 0.01).value;
  ASSERT_EQ(e.amplitudes.size(), turned.amplitudes.size());
  for (std::size_t k = 0; k < e.amplitudes.size(); ++k) {
    ASSERT_NEAR(turned.amplitudes[k], e.amplitudes[k], 1e-12 * peak(e.amplitudes)) << k;
  }
  EXPECT_EQ(effective_amplitude(fas, fas).value.amplitudes, fas.amplitudes);
  const spectrum half = effective_amplitude(x, zero, 0.01).value;
  EXPECT_NEAR(half.amplitudes[100], fas.amplitudes[100] / std::sqrt(2.0),
              1e-15 * fas.amplitudes[100]);
  EXPECT_FALSE(effective_amplitude(fas, amplitude_spectrum(y, 0.02).value).ok());
  EXPECT_FALSE(effective_amplitude(fas, amplitude_spectrum(noise(4000, 4), 0.01).value).ok());
}

// The definition of the smoothing, plainly and in long double.
std::vector<double> defined(const std::vector<double>& a, double df,
                            const std::vector<double>& centres, double b) {
  std::vector<double> out;
  for (double fc : centres) {
    long double numerator = 0, denominator = 0;
    for (std::size_t k = 1; k < a.size(); ++k) {
      const long double u = b * std::log10(static_cast<long double>(k) * df / fc);
      const long double r = u == 0 ? 1 : std::sin(u) / u;
      const long double w = r * r * r * r;
      numerator += w * a[k];
      denominator += w;
    }
    out.push_back(static_cast<double>(numerator / denominator));
  }
  return out;
}

// The El Centro pair's spectra and the default grid, at both common bandwidths; and a
// spectrum of noise on a grid that holds bins exactly, frequencies below df and at Nyquist.
TEST(Smoothing, AsDefined) {
  const auto motion = testing_support::read_motion(EXAMPLES_DIR "/elcentro1940-array9.csv");
  ASSERT_EQ(motion.components.size(), 3u);
  const std::vector<double> grid = parse_grid(default_grid).values;
  for (double b : {40.0, 188.5}) {
    for (const auto& c : motion.components) {
      const spectrum s = amplitude_spectrum(c.acceleration, motion.dt).value;
      const std::vector<double> got = smooth(s.amplitudes, s.df, grid, b);
      const std::vector<double> expected = defined(s.amplitudes, s.df, grid, b);
      for (std::size_t j = 0; j < grid.size(); ++j) {
        ASSERT_NEAR(got[j], expected[j], 1e-12 * expected[j]) << c.channel << " b " << b << j;
      }
    }
  }
  const spectrum s = amplitude_spectrum(noise(999, 5), 0.01).value;
  const std::vector<double> odd = {s.df / 3, s.df, 7 * s.df, 12.5, 49.99, 50};
  const std::vector<double> got = smooth(s.amplitudes, s.df, odd, 40);
  const std::vector<double> expected = defined(s.amplitudes, s.df, odd, 40);
  for (std::size_t j = 0; j < odd.size(); ++j)
    EXPECT_NEAR(got[j], expected[j], 1e-12 * expected[j]);
}

// A constant stays that constant, zero stays zero (no 0/0), and the smoothing is linear.
TEST(Smoothing, ConstantZeroAndLinear) {
  const std::vector<double> grid = parse_grid("log:0.05:50:60").values;
  const std::vector<double> constant(2049, 7.25), zero(2049, 0.0);
  const std::vector<double> a = noise(2049, 6), b = noise(2049, 7);
  std::vector<double> mix(a.size());
  for (std::size_t k = 0; k < a.size(); ++k) mix[k] = std::abs(a[k]) * 3 + std::abs(b[k]) / 4;
  std::vector<double> abs_a(a.size()), abs_b(b.size());
  for (std::size_t k = 0; k < a.size(); ++k) abs_a[k] = std::abs(a[k]), abs_b[k] = std::abs(b[k]);
  const konno_ohmachi plan(40, grid, 2049);
  const std::span<const double> spectra[] = {constant, zero, abs_a, abs_b, mix};
  const auto s = plan.smooth(spectra, 0.0244140625);
  for (std::size_t j = 0; j < grid.size(); ++j) {
    EXPECT_NEAR(s[0][j], 7.25, 7.25 * 1e-14);
    EXPECT_EQ(s[1][j], 0.0);
    EXPECT_NEAR(s[4][j], 3 * s[2][j] + s[3][j] / 4, 1e-13 * s[4][j]);
  }
}

// The lanes' sums equal the same sums one bin at a time, bit for bit, on every instruction set
// this processor runs (eight lanes as one, two or four vectors, or one lane at a time): spectra
// of sizes that do and do not fill whole blocks, one to nine spectra in a call, centres on and
// between bins.
TEST(Smoothing, LanesEqualOneLane) {
  for (std::size_t size : {2u, 3u, 9u, 257u, 2701u, 8641u}) {
    for (std::size_t count : {1u, 3u, 4u, 5u, 9u}) {
      const double df = 50.0 / static_cast<double>(size - 1);
      std::vector<std::vector<double>> held;
      std::vector<std::span<const double>> spectra;
      for (std::size_t i = 0; i < count; ++i) {
        held.push_back(noise(size, static_cast<unsigned>(size * 10 + i)));
        for (double& v : held.back()) v = std::abs(v);
      }
      for (const auto& h : held) spectra.emplace_back(h);
      std::vector<double> centres = parse_grid("log:0.1:50:37").values;
      centres.push_back(df);
      centres.push_back(df * static_cast<double>(size / 2));
      const konno_ohmachi plan(188.5, centres, size + 5);
      const auto one_lane = plan.smooth_one_lane(spectra, df);
      EXPECT_EQ(plan.smooth(spectra, df), one_lane) << size << " bins, " << count << " spectra";
      for (int t = 0; t <= static_cast<int>(kernels::best_vector_target()); ++t) {
        const auto target = static_cast<kernels::vector_target>(t);
        EXPECT_EQ(plan.smooth_on(target, spectra, df), one_lane)
            << size << " bins, " << count << " spectra, instruction set " << t;
      }
    }
  }
}

TEST(FourierOptions, Grids) {
  struct accept {
    const char* text;
    std::vector<double> values;
  };
  for (const accept& r : {
           accept{"log:1:100:3", {1, 10, 100}},  // both ends included
           accept{"log:0.1:0.1:1", {0.1}},       // one frequency
           accept{"log:2:2:3", {2, 2, 2}},       // a range of one point, repeated
           accept{"log:1e-1:5E1:2", {0.1, 50}},  // exponents as numbers are written
       }) {
    const spectra::parsed_values p = parse_grid(r.text);
    ASSERT_TRUE(p.status.ok()) << r.text << ": " << p.status.what;
    ASSERT_EQ(p.values.size(), r.values.size()) << r.text;
    for (std::size_t i = 0; i < r.values.size(); ++i) {
      EXPECT_NEAR(p.values[i], r.values[i], 1e-15 * r.values[i]) << r.text;
    }
  }
  const spectra::parsed_values standard = parse_grid(default_grid);
  ASSERT_EQ(standard.values.size(), 100u);
  EXPECT_EQ(standard.values.front(), 0.1);
  EXPECT_EQ(standard.values.back(), 50);
  for (const char* text : {"", "log", "log:0.1:50", "log:0.1:50:100:5",  // not four parts
                           "lin:0.1:50:100", "LOG:0.1:50:100",           // only log
                           "log:0:50:100", "log:-1:50:100",              // FMIN positive
                           "log:10:1:5", "log:1:nan:5", "log:1:inf:5",   // FMIN <= FMAX, finite
                           "log:1:2:0", "log:1:2:2.5", "log:1:2:100001", "log:1:2:1",  // N
                           "log: 1:2:3", "log:1:2:3 "}) {                              // no blanks
    const spectra::parsed_values p = parse_grid(text);
    EXPECT_EQ(p.status.code, base::code::usage) << text;
    EXPECT_NE(p.status.what, "") << text;
    EXPECT_TRUE(p.values.empty()) << text;
  }
  EXPECT_EQ(parse_bandwidth("188.5").values, std::vector<double>{188.5});
  for (const char* text : {"0", "-40", "1000.5", "forty", "", "nan"}) {
    const spectra::parsed_values p = parse_bandwidth(text);
    EXPECT_EQ(p.status.code, base::code::usage) << text;
    EXPECT_TRUE(p.values.empty()) << text;
  }
  const std::vector<double> grid = {1, 25, 50, 60};
  EXPECT_EQ(capped_at_nyquist(grid, 0.01), (std::vector<double>{1, 25, 50}));
  EXPECT_TRUE(check_grid(grid, 0.005).ok());
  const base::status above = check_grid(grid, 0.01);
  EXPECT_EQ(above.code, base::code::usage);
  EXPECT_EQ(above.what, "the grid reaches 60 Hz, above the Nyquist frequency 50 Hz of this record");
}

}  // namespace
}  // namespace fourier
