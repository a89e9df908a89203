#include "processing/baseline.h"

#include <cassert>
#include <cmath>
#include <cstdint>
#include <memory>

#include "processing/integrate.h"
#include "processing/vectors.h"

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

constexpr int terms = 5;

// q_j in powers of tau (integers: sum over s of C(j, s) C(j + 4, s) (tau - 1)^s tau^(j - s)).
constexpr std::int64_t jacobi[terms][terms] = {
    {1, 0, 0, 0, 0},
    {-5, 6, 0, 0, 0},
    {15, -42, 28, 0, 0},
    {-35, 168, -252, 120, 0},
    {70, -504, 1260, -1320, 495},
};

// The three-term recurrence q_j = (p_j tau + r_j) q_{j-1} - s_j q_{j-2}, from Jacobi's for
// alpha = 0, beta = 4: 2j (j + 4)(2j + 2) P_j = (2j + 3)((2j + 4)(2j + 2) x - 16) P_{j-1}
// - 2 (j - 1)(j + 3)(2j + 4) P_{j-2}, with x = 2 tau - 1. Stable where the powers cancel.
struct recurrence {
  double p, r, s;
};
constexpr recurrence step_to(int j) {
  const double d = 2.0 * j * (j + 4) * (2 * j + 2);
  const double x = (2.0 * j + 4) * (2 * j + 2);
  return {(2 * j + 3) * 2 * x / d, (2 * j + 3) * (-x - 16) / d,
          2.0 * (j - 1) * (j + 3) * (2 * j + 4) / d};
}
constexpr recurrence steps[terms] = {{}, step_to(1), step_to(2), step_to(3), step_to(4)};

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

// The moments sum over i of tau_i^2 q_j(tau_i) d_i, j = 0..4, in four interleaved partial
// sums (sample i in sum i % 4): a vector of V at a time, then the samples left one by one.
template <class V>
[[gnu::always_inline]] inline void moments_of(const double* d, std::size_t n, double h,
                                              double (&moments)[terms][4]) {
  using vectors::load, vectors::store;
  constexpr std::size_t width = vectors::width<V>, group = 4 / width;
  V sums[terms][group] = {};
  V offset[group];
  for (std::size_t g = 0; g < group; ++g) {
    for (std::size_t l = 0; l < width; ++l) offset[g][l] = static_cast<double>(g * width + l);
  }
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const double first = static_cast<double>(i);
    for (std::size_t g = 0; g < group; ++g) {
      const V tau = (first + offset[g]) * h;
      const V u = tau * tau * load<V>(d + i + g * width);
      V q[terms];
      q[1] = steps[1].p * tau + steps[1].r;
      q[2] = (steps[2].p * tau + steps[2].r) * q[1] - steps[2].s;
      for (int j = 3; j < terms; ++j) {
        q[j] = (steps[j].p * tau + steps[j].r) * q[j - 1] - steps[j].s * q[j - 2];
      }
      sums[0][g] += u;
      for (int j = 1; j < terms; ++j) sums[j][g] += q[j] * u;
    }
  }
  for (int j = 0; j < terms; ++j) {
    for (std::size_t g = 0; g < group; ++g) store(&moments[j][g * width], sums[j][g]);
  }
  for (; i < n; ++i) {
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

// a_i -= the polynomial with these coefficients of tau^0 ... tau^4 at tau_i (Horner).
template <class V>
[[gnu::always_inline]] inline void subtract(double* a, std::size_t n, double h,
                                            const double (&coefficients)[terms]) {
  using vectors::load, vectors::store;
  constexpr std::size_t width = vectors::width<V>;
  V offset;
  for (std::size_t l = 0; l < width; ++l) offset[l] = static_cast<double>(l);
  std::size_t i = 0;
  for (; i + width <= n; i += width) {
    const V tau = (static_cast<double>(i) + offset) * h;
    V sum = tau * 0.0 + coefficients[terms - 1];
    for (int k = terms - 2; k >= 0; --k) sum = sum * tau + coefficients[k];
    store(a + i, load<V>(a + i) - sum);
  }
  for (; i < n; ++i) {
    const double tau = static_cast<double>(i) * h;
    double sum = tau * 0.0 + coefficients[terms - 1];
    for (int k = terms - 2; k >= 0; --k) sum = sum * tau + coefficients[k];
    a[i] -= sum;
  }
}

using moments_kernel = void (*)(const double*, std::size_t, double, double (&)[terms][4]);
using subtract_kernel = void (*)(double*, std::size_t, double, const double (&)[terms]);

void moments_baseline(const double* d, std::size_t n, double h, double (&m)[terms][4]) {
  moments_of<vectors::pair>(d, n, h, m);
}
void subtract_baseline(double* a, std::size_t n, double h, const double (&c)[terms]) {
  subtract<vectors::pair>(a, n, h, c);
}
#if defined(__x86_64__)
[[gnu::target("avx2")]] void moments_avx2(const double* d, std::size_t n, double h,
                                          double (&m)[terms][4]) {
  moments_of<vectors::quad>(d, n, h, m);
}
[[gnu::target("avx2")]] void subtract_avx2(double* a, std::size_t n, double h,
                                           const double (&c)[terms]) {
  subtract<vectors::quad>(a, n, h, c);
}
[[gnu::target("avx2,avx512f,avx512vl")]] void moments_avx512(const double* d, std::size_t n,
                                                             double h, double (&m)[terms][4]) {
  moments_of<vectors::quad>(d, n, h, m);
}
[[gnu::target("avx2,avx512f,avx512vl")]] void subtract_avx512(double* a, std::size_t n, double h,
                                                              const double (&c)[terms]) {
  subtract<vectors::quad>(a, n, h, c);
}
#endif

struct kernels {
  moments_kernel moments;
  subtract_kernel subtract;
};
kernels kernels_for(instruction_set set) {
#if defined(__x86_64__)
  if (set == instruction_set::avx512) return {moments_avx512, subtract_avx512};
  if (set == instruction_set::avx2) return {moments_avx2, subtract_avx2};
#endif
  (void)set;
  return {moments_baseline, subtract_baseline};
}

// The fit in scaled time: the coefficients of tau^2 ... tau^6.
std::array<double, terms> fit_scaled(std::span<const double> d, const kernels& run) {
  const std::size_t n = d.size();
  assert(n >= 6);
  const double h = 1.0 / static_cast<double>(n - 1);
  double moments[terms][4] = {};
  run.moments(d.data(), n, h, moments);
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
  return in_seconds(fit_scaled(displacement, kernels_for(best_instruction_set())), span);
}

baseline_polynomial remove_baseline(std::span<double> acceleration, double dt) {
  return detail::remove_baseline(acceleration, dt, best_instruction_set());
}

namespace detail {

baseline_polynomial remove_baseline(std::span<double> acceleration, double dt, instruction_set set,
                                    std::span<double> scratch) {
  const kernels run = kernels_for(set);
  const std::size_t n = acceleration.size();
  std::unique_ptr<double[]> own;
  if (scratch.size() < n) {
    own = std::make_unique_for_overwrite<double[]>(n);
    scratch = {own.get(), n};
  }
  const std::span<double> displacement = scratch.first(n);
  integrate(acceleration, dt, {}, displacement);
  const std::array<double, terms> scaled = fit_scaled(displacement, run);
  // The second derivative in t of sum g_k tau^(k+2) is sum (k+2)(k+1) g_k tau^k / span^2.
  const double span = static_cast<double>(n - 1) * dt;
  double curvature[terms];
  for (int k = 0; k < terms; ++k) curvature[k] = (k + 2) * (k + 1) * scaled[k] / (span * span);
  run.subtract(acceleration.data(), n, 1.0 / static_cast<double>(n - 1), curvature);
  return in_seconds(scaled, span);
}

}  // namespace detail

}  // namespace processing
