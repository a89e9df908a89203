#include "kernels/step_extrema.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace kernels {
namespace {

// exp(-hw t) (p cos(wd t) + q sin(wd t)), the homogeneous part and its derivatives.
struct damped_sine {
  double p, q;
};

// The derivative of a damped sine is another: d/dt of the above.
damped_sine derivative(const step_motion& m, damped_sine s) {
  return {-(m.hw * s.p) + m.wd * s.q, -(m.hw * s.q) - m.wd * s.p};
}

double value(const step_motion& m, damped_sine s, double t) {
  const double theta = m.wd * t;
  return std::exp(-(m.hw * t)) * (s.p * std::cos(theta) + s.q * std::sin(theta));
}

// A response as k0 + k1 t + a damped sine, with the derivative k1 + the next one.
struct response_form {
  double k0, k1;
  damped_sine oscillating;
};

response_form form_of(const step_motion& m, ordinate o) {
  const damped_sine h0{m.c, m.d};
  const damped_sine h1 = derivative(m, h0);
  switch (o) {
    case ordinate::displacement:
      return {m.alpha, m.beta, h0};
    case ordinate::velocity:
      return {m.beta, 0, h1};
    case ordinate::acceleration:
      break;
  }
  // x'' + a: the linear part of x'' is zero, so this is a(t) plus the second derivative of the
  // damped sine.
  return {m.a0, m.slope, derivative(m, h1)};
}

// The root of g, monotonic on [u, v], where g(u) and g(v) have opposite signs: Newton's method
// kept inside the bracket (bisection where it would leave it), from where the chord crosses.
// g_and_slope(t) gives g(t) and g'(t) together.
template <class G>
double root_between(const G& g_and_slope, double u, double gu, double v, double gv) {
  double t = u + (v - u) * (gu / (gu - gv));
  if (!(t > u && t < v)) t = u + (v - u) / 2;
  for (int i = 0; i < 100; ++i) {
    const auto [gt, slope] = g_and_slope(t);
    if (gt == 0) return t;
    if ((gt < 0) == (gu < 0)) {
      u = t;
      gu = gt;
    } else {
      v = t;
    }
    double next = t - gt / slope;
    if (!(next > u && next < v)) next = u + (v - u) / 2;
    if (std::fabs(next - t) <= 2 * std::numeric_limits<double>::epsilon() * std::fabs(t) ||
        v - u <= 4 * std::numeric_limits<double>::epsilon() * std::fabs(t)) {
      return next;
    }
    t = next;
  }
  return t;
}

}  // namespace

step_motion motion_in_step(const response::recurrence& r, response::oscillator_state start,
                           double a0, double a1, double step) {
  step_motion m{.hw = r.hw, .wd = r.wd, .w2 = r.w2, .a0 = a0, .slope = (a1 - a0) / step};
  // x'' + 2hw x' + w^2 x = -(a0 + slope t): the linear part alpha + beta t, then the damped
  // sine that starts from the state.
  m.beta = -m.slope / r.w2;
  m.alpha = -(a0 + (r.hw + r.hw) * m.beta) / r.w2;
  m.c = start.x - m.alpha;
  m.d = (start.dx - m.beta + r.hw * m.c) / r.wd;
  return m;
}

bound_constants constants_of(const response::recurrence& r, double dt) {
  return {.w = std::sqrt(r.w2),
          .two_hw = r.hw + r.hw,
          .minus_inverse_w2 = -1 / r.w2,
          .inverse_wd = 1 / r.wd,
          .inverse_dt = 1 / dt,
          .dt = dt,
          .eighth_dt2 = dt * dt / 8,
          .dt4_384 = dt * dt * (dt * dt) / 384};
}

// The bounds: on the size of each response, its closed form's line and damped sine each no
// larger than its bound, the sine's amplitude (at most |c| + |d|) times w for x' and w^2 for
// x'' + a; on its second derivative, from x'' = (x'' + a) - a, x''' = -(2hw x'' + w^2 x') - a'
// and (x'' + a)'' = -(2hw x''' + w^2 x''); on its fourth, that of its damped sine, at most w^4,
// w^5 and w^6 times the amplitude. The closed form's parts are taken here with reciprocals:
// the margin covers that.
step_bounds bounds_in_step(const response::recurrence& r, const bound_constants& k,
                           response::oscillator_state s, response::oscillator_state next, double a0,
                           double a1) {
  const double slope = (a1 - a0) * k.inverse_dt;
  const double beta = slope * k.minus_inverse_w2;
  const double alpha = (a0 + k.two_hw * beta) * k.minus_inverse_w2;
  const double c = s.x - alpha;
  const double amplitude = std::fabs(c) + std::fabs((s.dx - beta + r.hw * c) * k.inverse_wd);
  const double largest_a = std::max(std::fabs(a0), std::fabs(a1));
  const double end_x = alpha + beta * k.dt;
  step_bounds b{.ends = {},
                .line = {{alpha, end_x}, {beta, beta}, {a0, a1}},
                .sine = {amplitude, k.w * amplitude, r.w2 * amplitude},
                .size = {std::max(std::fabs(alpha), std::fabs(end_x)) + amplitude,
                         std::fabs(beta) + k.w * amplitude, largest_a + r.w2 * amplitude},
                .curvature = {},
                .fourth = {r.w2 * r.w2 * amplitude, r.w2 * r.w2 * k.w * amplitude,
                           r.w2 * r.w2 * r.w2 * amplitude}};
  const double m_x = b.size[2] + largest_a;
  const double m_dx = k.two_hw * m_x + r.w2 * b.size[1] + std::fabs(slope);
  b.curvature[0] = m_x;
  b.curvature[1] = m_dx;
  b.curvature[2] = k.two_hw * m_dx + r.w2 * m_x;
  const double acceleration[2] = {-(k.two_hw * s.dx) - r.w2 * s.x,
                                  -(k.two_hw * next.dx) - r.w2 * next.x};
  const double relative[2] = {acceleration[0] - a0, acceleration[1] - a1};
  const double ends[3][4] = {
      {s.x, next.x, s.dx, next.dx},
      {s.dx, next.dx, relative[0], relative[1]},
      {acceleration[0], acceleration[1], -(k.two_hw * relative[0]) - r.w2 * s.dx,
       -(k.two_hw * relative[1]) - r.w2 * next.dx}};
  std::copy(&ends[0][0], &ends[0][0] + 12, &b.ends[0][0]);
  return b;
}

namespace {

// The largest |f| over a step of dt from f and f' at its ends: the cubic that meets them
// (Hermite's) is within slack = max |f''''| dt^4 / 384 of f.
double hermite_bound(const double e[4], double dt, double slack) {
  const double f0 = e[0], f1 = e[1], d0 = e[2], d1 = e[3];
  const double a1 = dt * d0;
  const double a2 = 3 * (f1 - f0) - dt * (d0 + d0 + d1);
  const double a3 = 2 * (f0 - f1) + dt * (d0 + d1);
  const auto at = [&](double u) { return std::fabs(((a3 * u + a2) * u + a1) * u + f0); };
  double largest = std::max(std::fabs(f0), std::fabs(f1));
  // The cubic's turns in (0, 1): 3 a3 u^2 + 2 a2 u + a1 = 0.
  const double qa = 3 * a3, qb = 2 * a2;
  double turn[2] = {-1, -1};
  if (qa == 0) {
    if (qb != 0) turn[0] = -a1 / qb;
  } else if (const double disc = qb * qb - 4 * qa * a1; disc >= 0) {
    turn[0] = (-qb - std::sqrt(disc)) / (qa + qa);
    turn[1] = (-qb + std::sqrt(disc)) / (qa + qa);
  }
  for (double u : turn) {
    if (u > 0 && u < 1) largest = std::max(largest, at(u));
  }
  return largest + slack;
}

}  // namespace

double plain_bound(const double ends[4], double size, double curvature, const bound_constants& k) {
  const double near_ends = std::max(std::fabs(ends[0]), std::fabs(ends[1]));
  return std::min(size, near_ends + curvature * k.eighth_dt2);
}

double bound_in_step(const double ends[4], double size, double curvature, double fourth,
                     const bound_constants& k, double limit) {
  const double bound = plain_bound(ends, size, curvature, k) * bound_margin;
  if (!(bound > limit)) return bound;
  return std::min(bound, hermite_bound(ends, k.dt, fourth * k.dt4_384) * bound_margin);
}

double interior_peak(const step_motion& m, ordinate o, double step) {
  const response_form f = form_of(m, o);
  const damped_sine g_sine = derivative(m, f.oscillating);
  const damped_sine slope_sine = derivative(m, g_sine);
  const auto g = [&](double t) { return f.k1 + value(m, g_sine, t); };
  const auto g_and_slope = [&](double t) {
    const double theta = m.wd * t, decay = std::exp(-(m.hw * t));
    const double c = std::cos(theta), s = std::sin(theta);
    return std::pair{f.k1 + decay * (g_sine.p * c + g_sine.q * s),
                     decay * (slope_sine.p * c + slope_sine.q * s)};
  };
  const auto at = [&](double t) { return std::fabs(f.k0 + f.k1 * t + value(m, f.oscillating, t)); };
  if (slope_sine.p == 0 && slope_sine.q == 0) return 0;  // g constant: no extremum inside
  // The zeros of g' = exp(-hw t) R cos(wd t - phi): wd t = phi + pi/2 + n pi.
  const double pi = std::numbers::pi;
  double theta = std::atan2(slope_sine.q, slope_sine.p) + pi / 2;
  if (theta < 0) theta += pi;
  if (theta >= pi) theta -= pi;
  double peak = 0;
  double u = 0, gu = g(0);
  for (;; theta += pi) {
    const double zero = theta / m.wd;
    const double v = zero < step ? zero : step;
    const double gv = g(v);
    if ((gu < 0 && gv > 0) || (gu > 0 && gv < 0)) {
      peak = std::max(peak, at(root_between(g_and_slope, u, gu, v, gv)));
    } else if (gv == 0 && v < step) {
      peak = std::max(peak, at(v));
    }
    if (v == step) return peak;
    u = v;
    gu = gv;
  }
}

}  // namespace kernels
