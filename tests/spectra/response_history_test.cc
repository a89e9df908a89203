// One oscillator's response at every sample, and the checks of a record and a request given as
// numbers.
#include "spectra/response_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/physics.h"
#include "spectra/inputs.h"
#include "spectra/spectrum.h"
#include "support/data.h"

namespace spectra {
namespace {

double largest_magnitude(const std::vector<double>& v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

// A constant ground acceleration a0 from rest: x(t) = -(a0/w^2) (1 - e^(-hwt) (cos wd t +
// hw/wd sin wd t)) and x'(t) = -(a0/wd) e^(-hwt) sin wd t; the recurrence is exact for an
// input linear between samples, with or without sub-steps.
TEST(ResponseHistory, ConstantAccelerationFromRest) {
  const struct {
    double period, damping;
  } rows[] = {
      {1.0, 0.05},   // one step per sample
      {0.35, 0.0},   // undamped
      {2.0, 0.2},    // heavily damped
      {0.05, 0.05},  // four sub-steps per interval of 0.02 s
      {0.013, 0.1},  // sub-steps, a period under the interval
  };
  const double dt = 0.02, a0 = 150;
  const std::vector<double> a(501, a0);
  for (const auto& row : rows) {
    const response_histories h = response_history(a, dt, row.period, row.damping);
    ASSERT_EQ(h.displacement.size(), a.size());
    const double w = 2 * std::numbers::pi / row.period;
    const double wd = w * std::sqrt(1 - row.damping * row.damping), hw = row.damping * w;
    const double scale = a0 / (w * w);
    for (std::size_t m = 0; m < a.size(); ++m) {
      const double t = static_cast<double>(m) * dt;
      const double x =
          -scale * (1 - std::exp(-hw * t) * (std::cos(wd * t) + hw / wd * std::sin(wd * t)));
      const double v = -(a0 / wd) * std::exp(-hw * t) * std::sin(wd * t);
      EXPECT_NEAR(h.displacement[m], x, 1e-9 * scale) << row.period << " at " << m;
      EXPECT_NEAR(h.velocity[m], v, 1e-9 * scale * w) << row.period << " at " << m;
      EXPECT_NEAR(h.absolute_acceleration[m], -2 * hw * v - w * w * x, 1e-9 * a0)
          << row.period << " at " << m;
    }
  }
}

// The largest of each history over the samples is the spectrum's value, bit for bit, where a
// period takes one step per sample; with sub-steps the spectrum also sees the points between.
TEST(ResponseHistory, PeaksAreTheSpectrum) {
  const auto record =
      testing_support::read_motion(std::string(TEST_DATA_DIR) + "/RSN6_IMPVALL.I_I-ELC180.AT2");
  const std::vector<double>& a = record.components.at(0).acceleration;
  const std::vector<double> periods = {0.01, 0.03, 0.1, 0.5, 1, 3, 10};
  for (double damping : {0.0, 0.05}) {
    const auto spectrum = response_spectrum(a, record.dt, periods, damping, false);
    for (std::size_t i = 0; i < periods.size(); ++i) {
      const response_histories h = response_history(a, record.dt, periods[i], damping);
      const double sd = largest_magnitude(h.displacement);
      const double sv = largest_magnitude(h.velocity);
      const double sa = largest_magnitude(h.absolute_acceleration) / base::standard_gravity;
      if (substeps(periods[i], record.dt) == 1) {
        EXPECT_EQ(sd, spectrum[i].sd) << periods[i];
        EXPECT_EQ(sv, spectrum[i].sv) << periods[i];
        EXPECT_EQ(sa, spectrum[i].sa) << periods[i];
      } else {
        EXPECT_LE(sd, spectrum[i].sd) << periods[i];
        EXPECT_GT(sd, 0.9 * spectrum[i].sd) << periods[i];
      }
    }
  }
}

TEST(Inputs, AcceptsWhatTheReadersAndParsersAccept) {
  const std::vector<double> a = {0, 1.5, -2};
  EXPECT_TRUE(
      check_request(a, 0.01, std::vector<double>{0.01, 10}, std::vector<double>{0, 0.99}).ok());
  EXPECT_TRUE(check_record(std::vector<double>{1, 1}, 1e-6).ok());  // two samples are a record
}

TEST(Inputs, RefusesWithWhatIsWrong) {
  const std::vector<double> a = {0, 1.5, -2, 4};
  const std::vector<double> periods = {0.1, 1}, dampings = {0.05};
  const std::vector<double> nan_sample = {0, 1, 2, NAN};
  const struct {
    std::vector<double> acceleration;
    double dt;
    std::vector<double> periods, dampings;
    const char* what;
  } rows[] = {
      {a, 0, periods, dampings, "the interval must be a positive number of seconds, not 0"},
      {a, -0.01, periods, dampings, "the interval must be a positive number of seconds, not -0.01"},
      {a, INFINITY, periods, dampings,
       "the interval must be a positive number of seconds, not inf"},
      {{1}, 0.01, periods, dampings, "a record has two samples or more, not 1"},
      {nan_sample, 0.01, periods, dampings, "the sample at index 3 is not finite"},
      {a, 0.01, {1, 0}, dampings, "periods must be positive"},
      {a, 0.01, {NAN}, dampings, "periods must be positive"},
      {a, 0.01, {INFINITY}, dampings, "periods must be finite"},
      // the bound on steps per interval, as sdofspec refuses a record
      {a,
       1,
       {1e-7},
       dampings,
       "the period 1e-07 s would take more than 1000000 steps per "
       "interval of 1 s"},
      {a, 0.01, periods, {1}, "damping ratios are fractions from 0 up to (not) 1"},
      {a, 0.01, periods, {-0.01}, "damping ratios are fractions from 0 up to (not) 1"},
  };
  for (const auto& row : rows) {
    const base::status why = check_request(row.acceleration, row.dt, row.periods, row.dampings);
    EXPECT_EQ(why.what, row.what);
    EXPECT_FALSE(why.ok()) << row.what;
  }
}

}  // namespace
}  // namespace spectra
