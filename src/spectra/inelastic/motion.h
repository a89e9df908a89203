// The motion of a yielding oscillator on one branch of its force-deformation law, over a stretch
// of time in which the ground acceleration is linear, and the instants at which it reaches a
// level: where yielding begins and where it ends. Pure.
#pragma once

#include <optional>

namespace spectra::inelastic {

struct value_and_slope {
  double value, slope;
};

// y'' + c y' + kappa y = -(p0 + p1 t) from y(0) = y0, y'(0) = v0, for 0 <= t <= length: the
// equation of every branch (kappa = w^2 elastic, alpha w^2 yielding, 0 elastic-perfectly
// plastic). Its solution is an entire function of t whose closed form depends on the branch
// (damped sine, t e^-ct, sinh, 1 - e^-ct); the Taylor series at the start is the same function
// for every case, and summed to rounding it stays exact where those closed forms cancel (kappa
// t^2 small, kappa = 0, c^2 = 4 kappa).
struct taylor_motion {
  static constexpr int capacity = 48;
  double c[capacity];  // y = sum c[n] t^n
  int terms = 0;
  double length = 0;
  double damping = 0, kappa = 0;  // c and kappa of the equation
  double at_end[4];               // y and its first three derivatives at length

  // The derivative of the given order (0 to 4) at t.
  double derivative(int order, double t) const;
  // That derivative and the next, in one pass (order 0 to 3).
  value_and_slope derivatives(int order, double t) const;
};

// The series summed until two successive terms are below 2^-56 of the leading ones over the
// whole length. The stretch must be short against the branch's time scale: length (c +
// sqrt(kappa)) at most about 4 (the callers' steps are at most a tenth of a period).
taylor_motion taylor(double c, double kappa, double y0, double v0, double p0, double p1,
                     double length);

// The first instant t in [0, length] at which sign * y^(order)(t) reaches level from below, or
// none. Relies on the branch equation: the second derivative of sign * y^(order) - level is a
// free vibration of the branch (for order 0 and 1), which changes sign at most once over a
// stretch shorter than half its period, so the function has at most three monotone pieces;
// they are found in order and the crossing is bracketed in the first piece that reaches the
// level, then pinned by Newton's method safeguarded by bisection to within 2^-50 of length (four
// units in the last place of the stretch, fewer of the time of the step).
std::optional<double> first_crossing(const taylor_motion& m, int order, double sign, double level);

// The instants in (0, length) at which y' is zero (the extrema of y), at most two, in order;
// the count of them.
int velocity_zeros(const taylor_motion& m, double zeros[2]);

}  // namespace spectra::inelastic
