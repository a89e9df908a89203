#include "spectra/inelastic/motion.h"

#include <array>
#include <cassert>
#include <cmath>

namespace spectra::inelastic {
namespace {

// n (n - 1) ... (n - order + 1): the factor a derivative of the given order puts on t^n.
constexpr auto falling_factorials = [] {
  std::array<std::array<double, taylor_motion::capacity>, 5> f{};
  for (int order = 0; order < 5; ++order) {
    for (int n = 0; n < taylor_motion::capacity; ++n) {
      double v = 1;
      for (int i = 0; i < order; ++i) v *= n - i;
      f[static_cast<std::size_t>(order)][static_cast<std::size_t>(n)] = v;
    }
  }
  return f;
}();

// 1 / (n (n - 1)), the factor of the series' recurrence.
constexpr auto recurrence_factors = [] {
  std::array<double, taylor_motion::capacity> f{};
  for (int n = 2; n < taylor_motion::capacity; ++n) {
    f[static_cast<std::size_t>(n)] = 1.0 / (n * (n - 1));
  }
  return f;
}();

// The instant in (lo, hi] at which f turns from negative to zero or above, f(lo) < 0 <= f(hi),
// to within tolerance: Newton's method while it stays in the bracket and its steps at least
// halve every other step, bisection otherwise; once Newton's step is below the tolerance, one
// probe on the far side of its point closes the bracket. Returns the upper end of the final
// bracket, where f >= 0.
template <class F>
double pin(F f, double lo, double hi, double flo, double fhi, double tolerance) {
  double t = lo - flo * ((hi - lo) / (fhi - flo));  // the secant's guess
  double step = hi - lo, step_before = step;
  for (int i = 0; i < 100 && hi - lo > tolerance; ++i) {
    if (!(t > lo && t < hi)) t = lo + (hi - lo) / 2;
    if (!(t > lo && t < hi)) break;  // no double between the ends
    const value_and_slope ft = f(t);
    if (ft.value < 0) {
      lo = t;
    } else {
      hi = t;
    }
    if (ft.value == 0) break;
    const double newton = t - ft.value / ft.slope;
    if (!(newton > lo && newton < hi) || std::fabs(newton - t) > step_before / 2) {
      step_before = step;
      step = (hi - lo) / 2;
      t = lo + step;
      continue;
    }
    step_before = step;
    step = std::fabs(newton - t);
    if (step <= tolerance) {
      const double probe = ft.value < 0 ? newton + tolerance : newton - tolerance;
      if (probe > lo && probe < hi) {
        if (f(probe).value < 0) {
          lo = probe;
        } else {
          hi = probe;
        }
      }
    }
    t = newton;
  }
  return hi;
}

// A zero of the derivative of the given order inside (lo, hi), where it changes sign.
double zero_between(const taylor_motion& m, int order, double lo, double hi, double tolerance) {
  const double sign = m.derivative(order, lo) < 0 ? 1 : -1;
  return pin(
      [&](double t) {
        const value_and_slope d = m.derivatives(order, t);
        return value_and_slope{sign * d.value, sign * d.slope};
      },
      lo, hi, sign * m.derivative(order, lo), sign * m.derivative(order, hi), tolerance);
}

bool opposite(double a, double b) {
  return (a < 0 && b > 0) || (a > 0 && b < 0);
}

}  // namespace

double taylor_motion::derivative(int order, double t) const {
  const auto& factor = falling_factorials[static_cast<std::size_t>(order)];
  if (t == 0) return c[order] * factor[static_cast<std::size_t>(order)];
  if (t == length && order < 4) return at_end[order];
  double sum = 0;
  for (int n = terms - 1; n >= order; --n) {
    sum = sum * t + c[n] * factor[static_cast<std::size_t>(n)];
  }
  return sum;
}

value_and_slope taylor_motion::derivatives(int order, double t) const {
  const auto& factor = falling_factorials[static_cast<std::size_t>(order)];
  const auto& next = falling_factorials[static_cast<std::size_t>(order) + 1];
  double value = 0, slope = 0;
  for (int n = terms - 1; n > order; --n) {
    value = value * t + c[n] * factor[static_cast<std::size_t>(n)];
    slope = slope * t + c[n] * next[static_cast<std::size_t>(n)];
  }
  value = value * t + c[order] * factor[static_cast<std::size_t>(order)];
  return {value, slope};
}

taylor_motion taylor(double c, double kappa, double y0, double v0, double p0, double p1,
                     double length) {
  taylor_motion m;
  m.length = length;
  m.c[0] = y0;
  m.c[1] = v0;
  m.c[2] = -(c * v0 + kappa * y0 + p0) / 2;
  m.c[3] = -(c * (2 * m.c[2]) + kappa * v0 + p1) / 6;
  // From the equation differentiated n - 2 times: n (n - 1) c[n] = -(c (n - 1) c[n-1] + kappa
  // c[n-2]).
  double power = length * length * length;
  const double lead = std::fabs(m.c[2]) * (length * length) + std::fabs(m.c[3]) * power;
  double previous = std::fabs(m.c[3]) * power;
  int n = 4;
  for (; n < taylor_motion::capacity; ++n) {
    const double nn = static_cast<double>(n);
    m.c[n] = -(c * (nn - 1) * m.c[n - 1] + kappa * m.c[n - 2]) *
             recurrence_factors[static_cast<std::size_t>(n)];
    power *= length;
    const double term = std::fabs(m.c[n]) * power;
    if (term + previous <= 0x1p-56 * lead) {
      ++n;
      break;
    }
    previous = term;
  }
  assert(n < taylor_motion::capacity && "a stretch too long for its branch");
  m.terms = n;
  m.damping = c;
  m.kappa = kappa;
  // y and its derivatives at the end in one pass: d[k] = sum c[i] C(i, k) length^(i - k).
  double d[4] = {0, 0, 0, 0};
  for (int i = n - 1; i >= 0; --i) {
    for (int k = 3; k > 0; --k) d[k] = d[k] * length + d[k - 1];
    d[0] = d[0] * length + m.c[i];
  }
  m.at_end[0] = d[0];
  m.at_end[1] = d[1];
  m.at_end[2] = 2 * d[2];
  m.at_end[3] = 6 * d[3];
  return m;
}

std::optional<double> first_crossing(const taylor_motion& m, int order, double sign, double level) {
  const double length = m.length;
  const double tolerance = length * 0x1p-50;
  const auto g = [&](int k, double t) {
    const double d = sign * m.derivative(order + k, t);
    return k == 0 ? d - level : d;
  };
  const auto crossing = [&](double l, double r, double gl, double gr) {
    return pin(
        [&](double t) {
          const value_and_slope d = m.derivatives(order, t);
          return value_and_slope{sign * d.value - level, sign * d.slope};
        },
        l, r, gl, gr, tolerance);
  };
  const double g_start = g(0, 0), g_end = g(0, length);
  // y'' is a free vibration of the branch, whose energy y'''^2 + kappa y''^2 never grows: a
  // bound on g'' (y'' or y''') over the stretch. Where g' is farther from zero than that bound
  // lets it come back, g is monotone.
  const double z = m.derivative(2, 0), z_slope = m.derivative(3, 0);
  const double energy = std::sqrt(z_slope * z_slope + m.kappa * (z * z));
  const double curvature = order == 0 ? std::fabs(z) + length * energy : energy;
  const double slope_start = g(1, 0), slope_end = g(1, length);
  if (!opposite(slope_start, slope_end) &&
      std::max(std::fabs(slope_start), std::fabs(slope_end)) > length * curvature * 1.0000001) {
    if (g_end < 0) return std::nullopt;
    return g_start >= 0 ? 0 : crossing(0, length, g_start, g_end);
  }
  // g'' changes sign at most once: g' is monotone on either side of that zero.
  double turns[3] = {0, length, length};
  int turn_count = 2;
  if (opposite(g(2, 0), g(2, length))) {
    turns[1] = zero_between(m, order + 2, 0, length, tolerance);
    turns[2] = length;
    turn_count = 3;
  }
  // Between the zeros of g', g is monotone.
  double knots[4];
  int knot_count = 0;
  knots[knot_count++] = 0;
  for (int i = 0; i + 1 < turn_count; ++i) {
    const double l = turns[i], r = turns[i + 1];
    if (opposite(g(1, l), g(1, r))) {
      knots[knot_count++] = zero_between(m, order + 1, l, r, tolerance);
    }
  }
  knots[knot_count++] = length;
  double gl = g_start;
  for (int i = 0; i + 1 < knot_count; ++i) {
    const double l = knots[i], r = knots[i + 1];
    const double gr = g(0, r);
    if (gr >= 0) {
      if (gl >= 0) return l;
      return crossing(l, r, gl, gr);
    }
    gl = gr;
  }
  return std::nullopt;
}

int velocity_zeros(const taylor_motion& m, double zeros[2]) {
  const double length = m.length;
  const double tolerance = length * 0x1p-50;
  double knots[3] = {0, length, length};
  int knot_count = 2;
  if (opposite(m.derivative(2, 0), m.derivative(2, length))) {
    knots[1] = zero_between(m, 2, 0, length, tolerance);
    knots[2] = length;
    knot_count = 3;
  }
  int count = 0;
  for (int i = 0; i + 1 < knot_count; ++i) {
    const double l = knots[i], r = knots[i + 1];
    if (opposite(m.derivative(1, l), m.derivative(1, r))) {
      zeros[count++] = zero_between(m, 1, l, r, tolerance);
    }
  }
  return count;
}

}  // namespace spectra::inelastic
