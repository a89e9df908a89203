// The linear single-degree-of-freedom oscillator x'' + 2 h w x' + w^2 x = -a(t), advanced over
// one interval by the exact recurrence for a ground acceleration a that is linear between
// samples (Nigam and Jennings). Pure: any program that needs the oscillator uses this header.
// Every formula is evaluated in the written order, one IEEE operation at a time (the build
// forbids fused multiply-adds): the printed digits and the spectra depend on it.
#pragma once

#include <cmath>

namespace response {

// The recurrence over one interval: x(m) = a12 dx(m-1) + a11 x(m-1) + b12 ddy(m) + b11 ddy(m-1),
// dx(m) likewise with a22, a21, b22, b21. Depends on h, w and dt only.
struct recurrence {
  double w2, hw, wd, wdt, e;
  // free vibration: a11, a21 on the displacement, a12, a22 on the velocity
  double a11, a12, a21, a22;
  // load: b11, b21 on the acceleration at the start of the interval, b12, b22 at its end
  double b11, b12, b21, b22;
};

// h: damping factor; w: undamped circular frequency (rad/s); dt: interval (s). Validates
// nothing: |h| >= 1, w = 0 or dt = 0 give not-a-numbers.
inline recurrence nigam_jennings(double h, double w, double dt) {
  const double w2 = w * w;
  const double hw = h * w;
  const double wd = w * std::sqrt(1.0 - h * h);
  const double wdt = wd * dt;
  const double e = std::exp(-(hw * dt));
  const double cwdt = std::cos(wdt);
  const double swdt = std::sin(wdt);
  const double a11 = e * (hw * swdt / wd + cwdt);
  const double a12 = e * swdt / wd;
  const double a21 = -(e * w2 * swdt / wd);
  const double a22 = e * (cwdt - hw * swdt / wd);
  // Integrals of the decaying sine and cosine over the interval, plain and weighted.
  const double ss = -(hw * swdt) - wd * cwdt;
  const double cc = -(hw * cwdt) + wd * swdt;
  const double s1 = (e * ss + wd) / w2;
  const double c1 = (e * cc + hw) / w2;
  const double s2 = (e * dt * ss + hw * s1 + wd * c1) / w2;
  const double c2 = (e * dt * cc + hw * c1 - wd * s1) / w2;
  const double s3 = dt * s1 - s2;
  const double c3 = dt * c1 - c2;
  const double b11 = -(s2 / wdt);
  const double b12 = -(s3 / wdt);
  const double b21 = (hw * s2 - wd * c2) / wdt;
  const double b22 = (hw * s3 - wd * c3) / wdt;
  return {w2, hw, wd, wdt, e, a11, a12, a21, a22, b11, b12, b21, b22};
}

// Relative displacement and velocity of the oscillator.
struct oscillator_state {
  double x = 0;
  double dx = 0;
};

// The state at the end of an interval from the state at its start (xf, dxf) and the ground
// acceleration at its start (ddyf) and end (ddym). Both new values come from the old state.
inline oscillator_state step(const recurrence& r, oscillator_state s, double ddyf, double ddym) {
  return {r.a12 * s.dx + r.a11 * s.x + r.b12 * ddym + r.b11 * ddyf,
          r.a22 * s.dx + r.a21 * s.x + r.b22 * ddym + r.b21 * ddyf};
}

// The absolute acceleration x'' + a of a state: -2 h w x' - w^2 x.
inline double absolute_acceleration(const recurrence& r, oscillator_state s) {
  return -((r.hw + r.hw) * s.dx) - r.w2 * s.x;
}

}  // namespace response
