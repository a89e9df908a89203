#include "processing/baseline.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <memory>

#include "processing/baseline_passes.h"
#include "processing/integrate.h"

// The fit works in scaled time tau = i / (N - 1), from 0 to 1, on the basis tau^2 q_j(tau),
// j = 0..4, where q_j(tau) = P_j^(0,4)(2 tau - 1) are the Jacobi polynomials orthogonal on
// [0, 1] under the weight tau^4: the integral of tau^4 q_j q_k is 1 / (2j + 5) when j = k and 0
// otherwise. The basis spans the same polynomials as t^2 ... t^6, but where the monomials' normal
// equations are as ill-conditioned as a Hilbert matrix's (about 1e7 on [0, 1] for five terms),
// these are nearly diagonal: their matrix is (N - 1) / (2j + 5) on the diagonal plus terms of
// order 1. The matrix depends on N only and is summed exactly (Euler-Maclaurin, below); the
// right-hand side is one pass over the displacement.

namespace processing {
namespace {

using baseline_passes::terms;

// q_j in powers of tau (integers: sum over s of C(j, s) C(j + 4, s) (tau - 1)^s tau^(j - s)).
constexpr std::int64_t jacobi[terms][terms] = {
    {1, 0, 0, 0, 0},
    {-5, 6, 0, 0, 0},
    {15, -42, 28, 0, 0},
    {-35, 168, -252, 120, 0},
    {70, -504, 1260, -1320, 495},
};

// The sum over the N points tau_i = i / (N - 1) of tau^4 q_j q_k, a polynomial f of degree 12
// at most, exactly, by the Euler-Maclaurin formula, which ends for a polynomial:
//   sum = (N - 1) int_0^1 f + (f(0) + f(1)) / 2
//         + sum_k B_2k / (2k)! h^(2k-1) (f^(2k-1)(1) - f^(2k-1)(0)),   h = 1 / (N - 1).
// The integral is the orthogonality above; f's derivatives are exact in 64-bit integers
// (below 6e16).
double gram_entry(int j, int k, std::size_t n) {
  std::int64_t f[13] = {};
  for (int a = 0; a < terms; ++a) {
    for (int b = 0; b < terms; ++b) f[a + b + 4] += jacobi[j][a] * jacobi[k][b];
  }
  const auto derivative_at_one = [&](int m) {
    std::int64_t sum = 0;
    for (int p = m; p <= 12; ++p) {
      std::int64_t falling = 1;
      for (int q = 0; q < m; ++q) falling *= p - q;
      sum += f[p] * falling;
    }
    return sum;
  };
  const auto derivative_at_zero = [&](int m) {
    std::int64_t factorial = 1;
    for (int q = 2; q <= m; ++q) factorial *= q;
    return f[m] * factorial;
  };
  // B_2k / (2k)! for k = 1..6.
  constexpr double bernoulli[6] = {1.0 / 12,       -1.0 / 720,     1.0 / 30240,
                                   -1.0 / 1209600, 1.0 / 47900160, -691.0 / 1307674368000};
  const double h = 1.0 / static_cast<double>(n - 1);
  double correction = 0, h_power = h;
  for (int i = 0; i < 6; ++i) {
    const int m = 2 * i + 1;
    correction +=
        bernoulli[i] * h_power * static_cast<double>(derivative_at_one(m) - derivative_at_zero(m));
    h_power *= h * h;
  }
  const double ends = static_cast<double>(derivative_at_one(0)) / 2;  // f(0) = 0
  const double integral = j == k ? static_cast<double>(n - 1) / (2 * j + 5) : 0;
  return (correction + ends) + integral;
}

// Solves the symmetric positive definite system g x = b (Cholesky), in place in b.
void solve(double g[terms][terms], double b[terms]) {
  for (int j = 0; j < terms; ++j) {
    for (int k = 0; k < j; ++k) g[j][j] -= g[j][k] * g[j][k];
    g[j][j] = std::sqrt(g[j][j]);
    for (int i = j + 1; i < terms; ++i) {
      for (int k = 0; k < j; ++k) g[i][j] -= g[i][k] * g[j][k];
      g[i][j] /= g[j][j];
    }
  }
  for (int i = 0; i < terms; ++i) {
    for (int k = 0; k < i; ++k) b[i] -= g[i][k] * b[k];
    b[i] /= g[i][i];
  }
  for (int i = terms - 1; i >= 0; --i) {
    for (int k = i + 1; k < terms; ++k) b[i] -= g[k][i] * b[k];
    b[i] /= g[i][i];
  }
}

// The passes over the record, in vectors as far as they go and then by the scalar twin, or all
// by the twin.
void moments_of(const double* d, std::size_t n, double h, lanes_in lanes,
                double (&moments)[terms][4]) {
  const std::size_t done = lanes == lanes_in::vectors
                               ? baseline_passes::passes_in_vectors().moments(d, n, h, moments)
                               : 0;
  baseline_passes::add_moments(d, done, n, h, moments);
}

void subtract(double* a, std::size_t n, double h, const double (&coefficients)[terms],
              lanes_in lanes) {
  const std::size_t done =
      lanes == lanes_in::vectors
          ? baseline_passes::passes_in_vectors().subtract(a, n, h, coefficients)
          : 0;
  baseline_passes::subtract(a, done, n, h, coefficients);
}

// The fit in scaled time: the coefficients of tau^2 ... tau^6.
std::array<double, terms> fit_scaled(std::span<const double> d, lanes_in lanes) {
  const std::size_t n = d.size();
  assert(n >= 6);
  const double h = 1.0 / static_cast<double>(n - 1);
  double moments[terms][4] = {};
  moments_of(d.data(), n, h, lanes, moments);
  double g[terms][terms], b[terms];
  for (int j = 0; j < terms; ++j) {
    b[j] = (moments[j][0] + moments[j][1]) + (moments[j][2] + moments[j][3]);
    for (int k = 0; k <= j; ++k) g[j][k] = g[k][j] = gram_entry(j, k, n);
  }
  solve(g, b);
  std::array<double, terms> powers{};
  for (int a = 0; a < terms; ++a) {
    for (int j = 0; j < terms; ++j) powers[a] += b[j] * static_cast<double>(jacobi[j][a]);
  }
  return powers;
}

baseline_polynomial in_seconds(const std::array<double, terms>& scaled, double span) {
  baseline_polynomial p;
  double span_power = span * span;
  for (int k = 0; k < terms; ++k, span_power *= span) p.c[k] = scaled[k] / span_power;
  return p;
}

}  // namespace

namespace baseline_passes {

void add_moments(const double* d, std::size_t from, std::size_t n, double h,
                 double (&moments)[terms][4]) {
  for (std::size_t i = from; i < n; ++i) {
    const double tau = static_cast<double>(i) * h;
    const double u = tau * tau * d[i];
    double q[terms];
    q[1] = steps[1].p * tau + steps[1].r;
    q[2] = (steps[2].p * tau + steps[2].r) * q[1] - steps[2].s;
    for (int j = 3; j < terms; ++j) {
      q[j] = (steps[j].p * tau + steps[j].r) * q[j - 1] - steps[j].s * q[j - 2];
    }
    moments[0][i % 4] += u;
    for (int j = 1; j < terms; ++j) moments[j][i % 4] += q[j] * u;
  }
}

void subtract(double* a, std::size_t from, std::size_t n, double h,
              const double (&coefficients)[terms]) {
  for (std::size_t i = from; i < n; ++i) {
    const double tau = static_cast<double>(i) * h;
    double sum = tau * 0.0 + coefficients[terms - 1];
    for (int k = terms - 2; k >= 0; --k) sum = sum * tau + coefficients[k];
    a[i] -= sum;
  }
}

}  // namespace baseline_passes

double baseline_polynomial::at(double t) const {
  double sum = 0;
  for (int k = terms - 1; k >= 0; --k) sum = sum * t + c[k];
  return sum * t * t;
}

double baseline_polynomial::second_derivative(double t) const {
  double sum = 0;
  for (int k = terms - 1; k >= 0; --k) sum = sum * t + (k + 2) * (k + 1) * c[k];
  return sum;
}

baseline_polynomial fit_baseline(std::span<const double> displacement, double dt) {
  const double span = static_cast<double>(displacement.size() - 1) * dt;
  return in_seconds(fit_scaled(displacement, lanes_in::vectors), span);
}

baseline_polynomial remove_baseline(std::span<double> acceleration, double dt) {
  return detail::remove_baseline(acceleration, dt, lanes_in::vectors);
}

namespace detail {

baseline_polynomial remove_baseline(std::span<double> acceleration, double dt, lanes_in lanes,
                                    std::span<double> scratch) {
  const std::size_t n = acceleration.size();
  std::unique_ptr<double[]> own;
  if (scratch.size() < n) {
    own = std::make_unique_for_overwrite<double[]>(n);
    scratch = {own.get(), n};
  }
  const std::span<double> displacement = scratch.first(n);
  integrate(acceleration, dt, {}, displacement);
  const std::array<double, terms> scaled = fit_scaled(displacement, lanes);
  // The second derivative in t of sum g_k tau^(k+2) is sum (k+2)(k+1) g_k tau^k / span^2.
  const double span = static_cast<double>(n - 1) * dt;
  double curvature[terms];
  for (int k = 0; k < terms; ++k) curvature[k] = (k + 2) * (k + 1) * scaled[k] / (span * span);
  subtract(acceleration.data(), n, 1.0 / static_cast<double>(n - 1), curvature, lanes);
  return in_seconds(scaled, span);
}

}  // namespace detail

}  // namespace processing
