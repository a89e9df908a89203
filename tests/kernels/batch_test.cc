#include "kernels/batch.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "base/physics.h"
#include "response/resp.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace spectra {
namespace {

using namespace kernels;

std::vector<double> component_of(const std::string& path, int k, double& dt) {
  const testing_support::motion m = testing_support::read_motion(path);
  EXPECT_FALSE(m.components.empty()) << path;
  dt = m.dt;
  return m.components.at(static_cast<std::size_t>(k)).acceleration;
}

std::vector<double> el_centro(int k, double& dt) {
  return component_of(std::string(EXAMPLES_DIR) + "/elcentro1940-array9.csv", k, dt);
}

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

struct discard_energy final : response::energy_sink {
  void line(double, double, double, double, double) override {}
};

// Started from sdofresp's first state, the batch kernels follow sdofresp's solver bit for bit.
TEST(Batch, FollowsTheSolverOfSdofrespBitForBit) {
  double dt = 0;
  const std::vector<double> a = el_centro(0, dt);
  const int nn = static_cast<int>(a.size());
  auto ddy = std::make_unique<response::series>(), dy = std::make_unique<response::series>(),
       acc = std::make_unique<response::series>(), vel = std::make_unique<response::series>(),
       dis = std::make_unique<response::series>();
  for (int m = 1; m <= nn; ++m) (*ddy)(m) = a[static_cast<std::size_t>(m - 1)];
  for (double period : {0.05, 0.3, 1.0, 4.0}) {
    SCOPED_TRACE(period);
    const double h = 0.05, w = 6.28318530718 / period;
    response::response_peaks resp_peaks;
    discard_energy energy;
    response::resp(h, w, dt, nn, *ddy, *dy, *acc, *vel, *dis, resp_peaks, energy);

    const std::vector<oscillator_coefficients> one = {coefficients(h, w, dt, false)};
    const std::vector<response::oscillator_state> start = {{0, (*vel)(1)}};
    std::vector<double> x(a.size() * lane_padding), x_scalar(x.size()), v_scalar(x.size());
    batch b{.ddy = a,
            .substeps = 1,
            .step = dt,
            .oscillators = one,
            .displacement = x.data(),
            .stride = lane_padding,
            .start = start};
    std::vector<peak_response> peaks(1);
    run_batch(b, peaks);
    b.displacement = x_scalar.data();
    run_batch_scalar(b, peaks, {.velocity = v_scalar.data()});
    for (int m = 1; m <= nn; ++m) {
      const std::size_t i = static_cast<std::size_t>(m - 1) * lane_padding;
      ASSERT_TRUE(same_bits(x[i], (*dis)(m))) << m;
      ASSERT_TRUE(same_bits(x_scalar[i], (*dis)(m))) << m;
      ASSERT_TRUE(same_bits(v_scalar[i], (*vel)(m))) << m;
    }
  }
}

// Lane for lane, the vector kernel computes what the plain loop computes: every peak and every
// point of every history, for any number of oscillators, sub-steps and energies.
TEST(Batch, VectorLanesEqualTheScalarTwin) {
  double dt = 0;
  const std::vector<double> a = el_centro(1, dt);
  std::vector<double> periods;
  for (int i = 0; i < 29; ++i) periods.push_back(0.01 * std::pow(1.25, i));
  for (int k : {1, 3}) {
    for (bool energy : {false, true}) {
      for (std::size_t count : {std::size_t{1}, std::size_t{7}, periods.size()}) {
        SCOPED_TRACE(::testing::Message() << k << " substeps, energy " << energy << ", " << count);
        std::vector<oscillator_coefficients> oscillators;
        for (std::size_t i = 0; i < count; ++i) {
          oscillators.push_back(coefficients(0.02 + 0.03 * static_cast<double>(i % 3),
                                             circular_frequency(periods[i]), dt / k, energy));
        }
        batch b{.ddy = a,
                .substeps = k,
                .step = dt / k,
                .oscillators = oscillators,
                .energy = energy,
                .stride = padded(count)};
        std::vector<double> x_vector((a.size() - 1) * static_cast<std::size_t>(k) * b.stride +
                                     b.stride),
            x_scalar(x_vector.size());
        std::vector<peak_response> vector_peaks(count), scalar_peaks(count);
        b.displacement = x_vector.data();
        run_batch(b, vector_peaks);
        b.displacement = x_scalar.data();
        run_batch_scalar(b, scalar_peaks);
        for (std::size_t i = 0; i < count; ++i) {
          const peak_response &p = vector_peaks[i], &q = scalar_peaks[i];
          ASSERT_TRUE(same_bits(p.sd, q.sd) && same_bits(p.sv, q.sv) && same_bits(p.sa, q.sa) &&
                      same_bits(p.relative_energy, q.relative_energy) &&
                      same_bits(p.absolute_energy, q.absolute_energy))
              << i;
        }
        for (std::size_t i = 0; i < x_vector.size(); ++i) {
          if (i % b.stride >= count) continue;  // padding
          ASSERT_TRUE(same_bits(x_vector[i], x_scalar[i])) << i;
        }
      }
    }
  }
}

// Oscillators of different sub-steps in shared vectors, the last vector of one step each: still
// what the plain loop computes; and Sd alone is the same Sd.
TEST(Batch, MixedSubStepsEqualTheScalarTwin) {
  double dt = 0;
  const std::vector<double> a = el_centro(2, dt);
  std::vector<int> k = {7, 5, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
  k.resize(k.size() + 13, 1);
  std::vector<oscillator_coefficients> oscillators;
  for (std::size_t i = 0; i < k.size(); ++i) {
    oscillators.push_back(coefficients(
        0.05, circular_frequency(0.01 + 0.004 * static_cast<double>(i)), dt / k[i], false));
  }
  batch b{.ddy = a,
          .substeps = 1,
          .step = dt,
          .oscillators = oscillators,
          .stride = padded(k.size()),
          .substeps_of = k};
  std::vector<peak_response> vector_peaks(k.size()), scalar_peaks(k.size()), sd_alone(k.size());
  run_batch(b, vector_peaks);
  run_batch_scalar(b, scalar_peaks);
  b.displacement_only = true;
  run_batch(b, sd_alone);
  for (std::size_t i = 0; i < k.size(); ++i) {
    ASSERT_TRUE(same_bits(vector_peaks[i].sd, scalar_peaks[i].sd)) << i;
    ASSERT_TRUE(same_bits(vector_peaks[i].sv, scalar_peaks[i].sv)) << i;
    ASSERT_TRUE(same_bits(vector_peaks[i].sa, scalar_peaks[i].sa)) << i;
    ASSERT_TRUE(same_bits(sd_alone[i].sd, scalar_peaks[i].sd)) << i;
  }
}

// The vector kernels stop where no later sample can raise a peak: their peaks are still those
// of the plain loops over every sample, on real records, dampings and periods, with sub-steps,
// with Sd alone and with the displacement alone; and they do stop early on many of them.
TEST(Batch, StoppingEarlyKeepsEveryPeak) {
  std::size_t stopped = 0, lanes = 0;
  for (const char* name : {"lomaprieta1989-corralitos.csv", "mexico1985-sct.csv",
                           "northridge1994-sylmar-aftershock.csv", "sanfernando1971-pacoima.csv"}) {
    for (int c = 0; c < 3; ++c) {
      double dt = 0;
      const std::vector<double> a = component_of(std::string(TEST_DATA_DIR) + "/" + name, c, dt);
      for (double h : {0.0, 0.02, 0.05, 0.2}) {
        std::vector<oscillator_coefficients> o;
        std::vector<int> k;
        for (int i = 40; i-- > 0;) {
          const double period = 0.01 * std::pow(1.2, i);
          k.insert(k.begin(), substeps(period, dt));
          o.insert(o.begin(), coefficients(h, circular_frequency(period), dt / k.front(), false));
        }
        batch b{.ddy = a,
                .substeps = 1,
                .step = dt,
                .oscillators = o,
                .stride = padded(o.size()),
                .substeps_of = k};
        std::vector<peak_response> full(o.size()), vector(o.size()), sd_alone(o.size());
        run_batch_scalar(b, full);
        run_batch(b, vector);
        b.displacement_only = true;
        run_batch(b, sd_alone);
        for (std::size_t i = 0; i < o.size(); ++i) {
          SCOPED_TRACE(::testing::Message() << name << " " << c << " " << h << " " << i);
          ASSERT_TRUE(same_bits(vector[i].sd, full[i].sd) && same_bits(vector[i].sv, full[i].sv) &&
                      same_bits(vector[i].sa, full[i].sa));
          ASSERT_TRUE(same_bits(sd_alone[i].sd, full[i].sd));
          stopped += vector[i].settled_at > 0;
        }
        lanes += o.size();
        // Sd by the displacement alone: the lanes as their scalar twin, which never stops, and
        // within 1e-10 of the full recurrence.
        std::vector<displacement_recurrence> alone;
        for (std::size_t i = 0; i < o.size(); ++i) {
          if (k[i] == 1) alone.push_back(eliminate_velocity(o[i].step));
        }
        std::vector<peak_response> lanes_alone(alone.size()), scalar_alone(alone.size());
        run_displacements(a, dt, alone, lanes_alone);
        run_displacements_scalar(a, alone, scalar_alone);
        for (std::size_t j = 0; j < alone.size(); ++j) {
          const double sd = full[o.size() - alone.size() + j].sd;
          ASSERT_TRUE(same_bits(lanes_alone[j].sd, scalar_alone[j].sd)) << j;
          ASSERT_NEAR(lanes_alone[j].sd, sd, 1e-10 * sd) << j;
          stopped += lanes_alone[j].settled_at > 0;
        }
        lanes += alone.size();
      }
    }
  }
  EXPECT_GT(stopped, lanes / 3);
}

// Chopra, Dynamics of Structures: El Centro NS at 2% damping, D = 6.78, 15.16 and 18.97 cm at
// 0.5, 1 and 2 s.
// Leading zeros (a processed record's pads) are skipped: the peaks and energies are those of a
// run over every sample, bit for bit.
TEST(Spectrum, LeadingZerosChangeNothing) {
  double dt = 0;
  std::vector<double> a(3000, 0.0);
  const std::vector<double> record = el_centro(0, dt);
  a.insert(a.end(), record.begin(), record.begin() + 2000);
  const std::vector<double> periods = {0.03, 0.2, 1, 4};
  const auto fast = response_spectrum(a, dt, periods, 0.05, true);
  for (std::size_t i = 0; i < periods.size(); ++i) {
    const int k = substeps(periods[i], dt);
    const std::vector<oscillator_coefficients> one = {
        coefficients(0.05, circular_frequency(periods[i]), dt / k, true)};
    std::vector<peak_response> p(1);
    run_batch_scalar({.ddy = a, .substeps = k, .step = dt / k, .oscillators = one, .energy = true},
                     p);
    EXPECT_EQ(fast[i].sd, p[0].sd) << periods[i];
    EXPECT_EQ(fast[i].sa, p[0].sa / base::standard_gravity) << periods[i];
    EXPECT_EQ(fast[i].relative_energy_velocity, std::sqrt(2 * p[0].relative_energy));
  }
}

TEST(Spectrum, ElCentroAsPublished) {
  double dt = 0;
  const std::vector<double> a =
      component_of(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv", 0, dt);
  const std::vector<double> periods = {0.5, 1, 2};
  const auto s = response_spectrum(a, dt, periods, 0.02, false);
  const double published[] = {6.78, 15.16, 18.97};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(s[i].sd, published[i], 0.006 * published[i]) << periods[i];
    const double w = 2 * std::numbers::pi / periods[i];
    EXPECT_EQ(s[i].psv, w * s[i].sd);
    EXPECT_EQ(s[i].psa, w * w * s[i].sd / base::standard_gravity);
  }
}

// a = A sin(W t): once the start has died away, x swings with A / sqrt((w^2 - W^2)^2 +
// (2 h w W)^2).
TEST(Spectrum, HarmonicInputReachesTheSteadyStateAmplitude) {
  const double amplitude = 100, forcing = 2 * std::numbers::pi / 0.7, dt = 0.7 / 400;
  std::vector<double> a(20000);
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = amplitude * std::sin(forcing * static_cast<double>(i) * dt);
  }
  for (double period : {0.3, 0.7, 2.0}) {
    const double h = 0.2, w = circular_frequency(period);
    const std::vector<oscillator_coefficients> one = {coefficients(h, w, dt, false)};
    std::vector<double> x(a.size() * lane_padding);
    std::vector<peak_response> peaks(1);
    run_batch({.ddy = a,
               .substeps = 1,
               .step = dt,
               .oscillators = one,
               .displacement = x.data(),
               .stride = lane_padding},
              peaks);
    double late = 0;
    for (std::size_t i = a.size() / 2; i < a.size(); ++i)
      late = std::max(late, std::fabs(x[i * lane_padding]));
    const double steady = amplitude / std::sqrt(std::pow(w * w - forcing * forcing, 2) +
                                                std::pow(2 * h * w * forcing, 2));
    EXPECT_NEAR(late, steady, 2e-4 * steady) << period;
  }
}

// Under ten intervals, a period takes sub-steps: exactly a run on the record interpolated by
// hand at the sub-step.
TEST(Spectrum, SubStepsAreARunOnTheInterpolatedRecord) {
  double dt = 0;
  const std::vector<double> a =
      component_of(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv", 0, dt);
  const std::vector<double> period = {0.05};
  ASSERT_EQ(substeps(0.05, dt), 4);  // int(10 * 0.02 / 0.05 - 0.01) + 1
  std::vector<double> fine;
  for (std::size_t i = 0; i + 1 < a.size(); ++i) {
    for (int j = 0; j < 4; ++j) fine.push_back(interpolate(a[i], a[i + 1], j, 4));
  }
  fine.push_back(a.back());
  ASSERT_EQ(substeps(0.05, dt / 4), 1);
  const auto coarse_run = response_spectrum(a, dt, period, 0.05, true);
  const auto fine_run = response_spectrum(fine, dt / 4, period, 0.05, true);
  EXPECT_EQ(coarse_run[0].sd, fine_run[0].sd);
  EXPECT_EQ(coarse_run[0].sv, fine_run[0].sv);
  EXPECT_EQ(coarse_run[0].sa, fine_run[0].sa);
  EXPECT_EQ(coarse_run[0].relative_energy_velocity, fine_run[0].relative_energy_velocity);
  EXPECT_GT(coarse_run[0].sd, 0);
}

// The exact motion satisfies input = kinetic + strain + damping energy at every instant, so
// the two integrals (input and damping) are checked against each other, step by step.
TEST(Energy, BalanceHoldsAtEveryStep) {
  double dt = 0;
  const std::vector<double> a = el_centro(0, dt);
  for (double period : {0.03, 0.2, 1.0, 5.0}) {
    SCOPED_TRACE(period);
    const int k = substeps(period, dt);
    const double h = 0.05, w = circular_frequency(period);
    const std::vector<oscillator_coefficients> one = {coefficients(h, w, dt / k, true)};
    const std::size_t points = (a.size() - 1) * static_cast<std::size_t>(k) + 1;
    std::vector<double> x(points), v(points), input(points), damping(points);
    std::vector<peak_response> peaks(1);
    run_batch_scalar(
        {a, k, dt / k, one, true, x.data(), 1, {}}, peaks,
        {.velocity = v.data(), .relative_energy = input.data(), .damping_energy = damping.data()});
    double largest = 0;
    for (std::size_t i = 0; i < points; ++i) {
      largest = std::max(largest, std::fabs(input[i]));
      const double stored = v[i] * v[i] / 2 + w * w * x[i] * x[i] / 2;
      ASSERT_NEAR(stored + damping[i], input[i], 1e-9 * largest) << i;
    }
  }
}

// The input energies against plain trapezoidal sums on the record interpolated 64-fold.
TEST(Energy, AgreesWithAFinelySubSteppedRecord) {
  double dt = 0;
  const std::vector<double> a = el_centro(0, dt);
  constexpr int fold = 64;
  std::vector<double> fine, ground_velocity = {0};
  for (std::size_t i = 0; i + 1 < a.size(); ++i) {
    for (int j = 0; j < fold; ++j) fine.push_back(interpolate(a[i], a[i + 1], j, fold));
  }
  fine.push_back(a.back());
  const double step = dt / fold;
  for (std::size_t i = 1; i < fine.size(); ++i) {
    ground_velocity.push_back(ground_velocity.back() + (fine[i - 1] + fine[i]) * step / 2);
  }
  for (double period : {0.3, 1.0, 3.0}) {
    SCOPED_TRACE(period);
    const double h = 0.05, w = circular_frequency(period);
    const auto exact = response_spectrum(a, dt, std::vector<double>{period}, h, true);
    const std::vector<oscillator_coefficients> one = {coefficients(h, w, step, false)};
    std::vector<double> x(fine.size()), v(fine.size());
    std::vector<peak_response> peaks(1);
    run_batch_scalar({fine, 1, step, one, false, x.data(), 1, {}}, peaks, {.velocity = v.data()});
    double relative = 0, absolute = 0, peak_relative = 0, peak_absolute = 0;
    const auto absolute_rate = [&](std::size_t i) {
      return -(2 * h * w * v[i] + w * w * x[i]) * ground_velocity[i];
    };
    for (std::size_t i = 1; i < fine.size(); ++i) {
      relative -= (fine[i - 1] * v[i - 1] + fine[i] * v[i]) * step / 2;
      absolute += (absolute_rate(i - 1) + absolute_rate(i)) * step / 2;
      if (i % fold == 0) {  // the peaks at the record's samples, as the kernel takes them
        peak_relative = std::max(peak_relative, relative);
        peak_absolute = std::max(peak_absolute, absolute);
      }
    }
    EXPECT_NEAR(exact[0].relative_energy_velocity, std::sqrt(2 * peak_relative),
                1e-6 * std::sqrt(2 * peak_relative));
    EXPECT_NEAR(exact[0].absolute_energy_velocity, std::sqrt(2 * peak_absolute),
                1e-6 * std::sqrt(2 * peak_absolute));
  }
}

}  // namespace
}  // namespace spectra
