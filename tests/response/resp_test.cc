#include "response/resp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "textio/fields.h"

namespace response {
namespace {

constexpr double two_pi = 2 * std::numbers::pi;
constexpr double sentinel = -777.0;

std::string six_digits(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

// The energy lines as the program renders them: five F9.4 fields.
class energy_lines final : public energy_sink {
 public:
  void line(double time, double ek, double ep, double ed, double et) override {
    char text[64];
    char* end = text;
    for (double v : {time, ek, ep, ed, et}) {
      if (end != text) *end++ = ',';
      end = textio::format_fixed<9, 4>(end, v);
    }
    lines.emplace_back(text, end);
  }
  std::vector<std::string> lines;
};

class Resp : public ::testing::Test {
 protected:
  // Runs the solver; returns its energy lines.
  std::vector<std::string> run(double h, double w, double dt, int nn) {
    energy_lines energy;
    resp(h, w, dt, nn, *ddy, *dy, *acc, *vel, *dis, peaks, energy);
    return energy.lines;
  }

  std::unique_ptr<series> ddy = std::make_unique<series>(), dy = std::make_unique<series>(),
                          acc = std::make_unique<series>(), vel = std::make_unique<series>(),
                          dis = std::make_unique<series>();
  response_peaks peaks{sentinel, sentinel, sentinel, sentinel};
};

TEST(NigamJennings, ReferenceCoefficients) {
  const recurrence r = nigam_jennings(0.05, two_pi, 0.01);
  EXPECT_EQ(six_digits(r.w2), "39.4784");
  EXPECT_EQ(six_digits(r.hw), "0.314159");
  EXPECT_EQ(six_digits(r.wd), "6.27533");
  EXPECT_EQ(six_digits(r.e), "0.996863");
  EXPECT_EQ(six_digits(r.a11), "0.998031");
  EXPECT_EQ(six_digits(r.a12), six_digits(9.96209e-3));
  EXPECT_EQ(six_digits(r.a21), "-0.393288");
  EXPECT_EQ(six_digits(r.a22), "0.991771");
  EXPECT_EQ(six_digits(r.b11), six_digits(-3.32418e-5));
  EXPECT_EQ(six_digits(r.b12), six_digits(-1.66372e-5));
  EXPECT_EQ(six_digits(r.b21), six_digits(-4.97419e-3));
  EXPECT_EQ(six_digits(r.b22), six_digits(-4.98790e-3));
}

TEST_F(Resp, WorkedCaseOfThreeSamples) {
  (*ddy)(2) = 100;
  (*ddy)(3) = 50;
  (*dy)(2) = 0.5;
  (*dy)(3) = 1.25;
  const auto lines = run(0.05, two_pi, 0.01, 3);
  EXPECT_EQ((*acc)(1), 0.0);
  EXPECT_EQ(six_digits((*acc)(2)), "0.37908");
  EXPECT_EQ(six_digits((*acc)(3)), "1.20544");
  EXPECT_EQ(six_digits((*vel)(2)), "-0.49879");
  EXPECT_EQ(six_digits((*vel)(3)), "-1.24085");
  EXPECT_EQ(six_digits((*dis)(2)), six_digits(-1.66372e-3));
  EXPECT_EQ(six_digits((*dis)(3)), six_digits(-1.07855e-2));
  EXPECT_EQ(six_digits(peaks.sa), "1.20544");
  EXPECT_EQ(six_digits(peaks.sv), "1.24085");
  EXPECT_EQ(six_digits(peaks.asv), six_digits(9.15424e-3));
  EXPECT_EQ(six_digits(peaks.sd), six_digits(1.07855e-2));
  // (0.01, 0.124396, 5.46377e-5, 7.81603e-4, 0.249395), (0.02, 0.769849, 2.29620e-3, ...)
  EXPECT_EQ(lines, (std::vector<std::string>{"   0.0000,   0.0000,   0.0000,   0.0000,   0.0000",
                                             "   0.0100,   0.1244,   0.0001,   0.0008,   0.2494",
                                             "   0.0200,   0.7698,   0.0023,   0.0064,   0.8090"}));
}

TEST_F(Resp, RecordOfZeros) {
  const auto lines = run(0.05, two_pi, 0.01, 200);
  ASSERT_EQ(lines.size(), 200u);
  char expected[64];
  for (int m = 1; m <= 200; ++m) {
    std::snprintf(expected, sizeof expected, "%9.4f,   0.0000,   0.0000,   0.0000,   0.0000",
                  (m - 1) * 0.01);
    ASSERT_EQ(lines[static_cast<std::size_t>(m - 1)], expected);
    ASSERT_EQ((*acc)(m), 0.0);
    ASSERT_EQ((*vel)(m), 0.0);
    ASSERT_EQ((*dis)(m), 0.0);
  }
  EXPECT_EQ(peaks.sa, 0.0);
  EXPECT_EQ(peaks.sd, 0.0);
}

TEST_F(Resp, ConstantAccelerationSettlesAtTheStaticDisplacement) {
  const double a = 100, w = two_pi;
  const int nn = 20000;
  for (int m = 1; m <= nn; ++m) (*ddy)(m) = a;
  run(0.05, w, 0.01, nn);
  EXPECT_NEAR((*dis)(nn), -a / (w * w), 1e-12);
  EXPECT_NEAR((*vel)(nn), 0.0, 1e-12);
  EXPECT_NEAR((*acc)(nn), a, 1e-10);
}

TEST_F(Resp, UndampedOscillatorDissipatesNothing) {
  const double w = 3.7;
  for (int m = 1; m <= 500; ++m) (*ddy)(m) = 50 * std::sin(0.3 * m) + (m % 7);
  const auto lines = run(0.0, w, 0.02, 500);
  for (const std::string& line : lines) ASSERT_EQ(line.substr(30, 9), "   0.0000") << line;
  for (int m = 2; m <= 500; ++m) ASSERT_EQ((*acc)(m), -(w * w * (*dis)(m))) << m;
}

// x'' + 2hw x' + w^2 x = -r t from rest, in closed form.
TEST_F(Resp, LinearRampAgreesWithTheClosedFormForAnyInterval) {
  const double h = 0.05, w = two_pi, r = 10;
  const double hw = h * w, wd = w * std::sqrt(1 - h * h);
  const double a = -2 * h * r / (w * w * w);
  const double b = (r / (w * w) + hw * a) / wd;
  for (double dt : {0.01, 0.37, 3.7}) {  // 3.7 s is much longer than the 1 s period
    SCOPED_TRACE(dt);
    const int nn = 60;
    for (int m = 1; m <= nn; ++m) (*ddy)(m) = r * (m - 1) * dt;
    run(h, w, dt, nn);
    for (int m = 1; m <= nn; ++m) {
      const double t = (m - 1) * dt, decay = std::exp(-hw * t);
      const double c = std::cos(wd * t), s = std::sin(wd * t);
      const double x = -r * t / (w * w) - a + decay * (a * c + b * s);
      const double v = -r / (w * w) + decay * ((-hw * a + wd * b) * c + (-hw * b - wd * a) * s);
      ASSERT_NEAR((*dis)(m), x, 1e-11 * (1 + std::fabs(x))) << m;
      ASSERT_NEAR((*vel)(m), v, 1e-11 * (1 + std::fabs(v))) << m;
    }
  }
}

TEST_F(Resp, ShortRecords) {
  for (int nn : {0, 1, 2}) {
    SCOPED_TRACE(nn);
    (*ddy)(1) = 5;
    (*ddy)(2) = 7;
    (*acc)(3) = sentinel;
    peaks = {sentinel, sentinel, sentinel, sentinel};
    const auto lines = run(0.05, two_pi, 0.01, nn);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(std::max(nn, 1)));
    EXPECT_EQ(lines[0], "   0.0000,   0.0000,   0.0000,   0.0000,   0.0000");
    EXPECT_EQ((*vel)(1), -(5 * 0.01));
    EXPECT_EQ((*acc)(1), 0.1 * two_pi * 5 * 0.01);
    EXPECT_EQ((*dis)(1), 0.0);
    EXPECT_EQ((*acc)(3), sentinel);  // beyond nn: untouched
    if (nn < 2) {
      EXPECT_EQ(peaks.sa, 0.0);
      EXPECT_EQ(peaks.sv, 0.0);
      EXPECT_EQ(peaks.asv, 0.0);
      EXPECT_EQ(peaks.sd, 0.0);
    } else {
      EXPECT_EQ(lines[1].substr(0, 9), "   0.0100");
      EXPECT_EQ(peaks.sv, std::fabs((*vel)(2)));  // sample 1 does not enter the peaks
    }
  }
}

TEST_F(Resp, PeakOfANegativeExcursionIsItsSize) {
  for (int m = 2; m <= 40; ++m) (*ddy)(m) = m <= 10 ? 300.0 : 0.0;
  run(0.05, two_pi, 0.01, 40);
  double lowest = 0, highest = 0;
  for (int m = 2; m <= 40; ++m) {
    lowest = std::min(lowest, (*dis)(m));
    highest = std::max(highest, (*dis)(m));
  }
  ASSERT_LT(lowest, -highest);
  EXPECT_EQ(peaks.sd, -lowest);
}

// An impossible oscillator: finite first sample, not-a-numbers afterwards, lines as usual.
TEST_F(Resp, NotANumbersPropagate) {
  const struct {
    const char* name;
    double h, w, dt;
  } cases[] = {{"h = 1", 1.0, two_pi, 0.01},
               {"h = -1", -1.0, two_pi, 0.01},
               {"h > 1", 1.5, two_pi, 0.01},
               {"w = 0", 0.05, 0.0, 0.01},
               {"dt = 0", 0.05, two_pi, 0.0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int m = 1; m <= 4; ++m) (*ddy)(m) = m;
    const auto lines = run(c.h, c.w, c.dt, 4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "   0.0000,   0.0000,   0.0000,   0.0000,   0.0000");
    EXPECT_TRUE(std::isfinite((*acc)(1)) && std::isfinite((*vel)(1)) && (*dis)(1) == 0);
    for (int m = 2; m <= 4; ++m) {
      EXPECT_TRUE(std::isnan((*acc)(m)) && std::isnan((*vel)(m)) && std::isnan((*dis)(m)));
      EXPECT_EQ(lines[static_cast<std::size_t>(m - 1)].substr(9),
                ",      nan,      nan,      nan,      nan");
    }
    if (c.dt == 0) {
      EXPECT_EQ(lines[3].substr(0, 9), "   0.0000");
    }
    EXPECT_TRUE(std::isnan(peaks.sa) && std::isnan(peaks.sv) && std::isnan(peaks.asv) &&
                std::isnan(peaks.sd));
  }
}

// The elastic response spectrum of the El Centro 1940 NS record with 2% damping, as published
// (Chopra, Dynamics of Structures): 6.78 cm, 15.16 cm and 18.97 cm at 0.5 s, 1 s and 2 s.
TEST_F(Resp, ElCentroPeakDisplacementsAsPublished) {
  std::ifstream record(std::string(TEST_DATA_DIR) + "/elcentro1940-ns-textbook.csv");
  std::string line;
  std::getline(record, line);
  int nn = 0;
  std::vector<double> times;
  while (std::getline(record, line)) {
    double t, a, b, c;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &t, &a, &b, &c), 4);
    times.push_back(t);
    (*ddy)(++nn) = a;
  }
  const double dt = times[1] - times[0];
  const struct {
    double period, displacement;
  } published[] = {{0.5, 6.78}, {1.0, 15.16}, {2.0, 18.97}};
  for (const auto& p : published) {
    run(0.02, 6.28318530718 / p.period, dt, nn);
    EXPECT_NEAR(peaks.sd, p.displacement, 0.006 * p.displacement) << p.period;
  }
}

}  // namespace
}  // namespace response
