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

struct value_and_slope {
  double value, slope;
};

// The instant in (lo, hi] at which f turns from negative to zero or above, f(lo) < 0 <= f(hi),
// to within tolerance: Newton's method while it stays in the bracket and converges, bisection
// otherwise. Returns the upper end of the final bracket, where f >= 0.
template <class F>
double pin(F f, double lo, double hi, double flo, double fhi, double tolerance) {
  double t = lo - flo * ((hi - lo) / (fhi - flo));  // the secant's guess
  double step = hi - lo, step_before = step;
  for (int i = 0; i < 200 && hi - lo > tolerance; ++i) {
    if (!(t > lo && t < hi)) t = lo + (hi - lo) / 2;
    if (!(t > lo && t < hi)) break;  // no double between the ends
    const value_and_slope ft = f(t);
    if (ft.value < 0) {
      lo = t;
    } else {
      hi = t;
    }
    const double newton = t - ft.value / ft.slope;
    if (!(newton > lo && newton < hi) ||
        std::fabs(2 * ft.value) > std::fabs(step_before * ft.slope)) {
      step_before = step;
      step = (hi - lo) / 2;
      t = lo + step;
      continue;
    }
    step_before = step;
    step = t - newton;
    t = newton;
    if (std::fabs(step) < tolerance) {
      // Newton has converged: bracket its point from both sides.
      const double below = t - tolerance, above = t + tolerance;
      if (below > lo) {
        if (f(below).value < 0) lo = below;
      }
      if (above < hi) {
        if (f(above).value >= 0) hi = above;
      }
      t = lo + (hi - lo) / 2;
    }
  }
  return hi;
}

// A zero of the derivative of the given order inside (lo, hi), where it changes sign.
double zero_between(const taylor_motion& m, int order, double lo, double hi, double tolerance) {
  const double sign = m.derivative(order, lo) < 0 ? 1 : -1;
  return pin(
      [&](double t) {
        return value_and_slope{sign * m.derivative(order, t), sign * m.derivative(order + 1, t)};
      },
      lo, hi, sign * m.derivative(order, lo), sign * m.derivative(order, hi), tolerance);
}

bool opposite(double a, double b) {
  return (a < 0 && b > 0) || (a > 0 && b < 0);
}

}  // namespace

double taylor_motion::derivative(int order, double t) const {
  const auto& factor = falling_factorials[static_cast<std::size_t>(order)];
  double sum = 0;
  for (int n = terms - 1; n >= order; --n) {
    sum = sum * t + c[n] * factor[static_cast<std::size_t>(n)];
  }
  return sum;
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
    m.c[n] = -(c * (nn - 1) * m.c[n - 1] + kappa * m.c[n - 2]) / (nn * (nn - 1));
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
  return m;
}

std::optional<double> first_crossing(const taylor_motion& m, int order, double sign, double level) {
  const double length = m.length;
  const double tolerance = length * 0x1p-50;
  const auto g = [&](int k, double t) {
    const double d = sign * m.derivative(order + k, t);
    return k == 0 ? d - level : d;
  };
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
    if (opposite(g(1, l), g(1, r)))
      knots[knot_count++] = zero_between(m, order + 1, l, r, tolerance);
  }
  knots[knot_count++] = length;
  double gl = g(0, 0);
  for (int i = 0; i + 1 < knot_count; ++i) {
    const double l = knots[i], r = knots[i + 1];
    const double gr = g(0, r);
    if (gr >= 0) {
      if (gl >= 0) return l;
      return pin(
          [&](double t) {
            return value_and_slope{g(0, t), g(1, t)};
          },
          l, r, gl, gr, tolerance);
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
