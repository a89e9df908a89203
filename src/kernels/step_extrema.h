// The oscillator inside one step of a ground motion linear between samples, in closed form, and
// the peaks of its response between the samples: where the sampled peaks miss the top of a
// cycle, these find it.
#pragma once

#include "response/oscillator.h"

namespace kernels {

// x(t) = alpha + beta t + exp(-hw t) (c cos(wd t) + d sin(wd t)) for 0 <= t <= the step, from the
// state at its start under the input a(t) = a0 + slope t.
struct step_motion {
  double hw, wd, w2;
  double a0, slope;
  double alpha, beta;
  double c, d;
};
step_motion motion_in_step(const response::recurrence& r, response::oscillator_state start,
                           double a0, double a1, double step);

// The three responses whose peaks make a spectrum.
enum class ordinate { displacement, velocity, acceleration };
inline constexpr ordinate ordinates[3] = {ordinate::displacement, ordinate::velocity,
                                          ordinate::acceleration};

// The largest |response| at the extrema strictly inside (0, step), 0 where there are none.
// Between the zeros of the response's second derivative (a damped sinusoid, whose zeros are
// known exactly) the derivative is monotonic, so each of those intervals holds at most one
// extremum, found where the derivative changes sign, to a few units in the last place.
double interior_peak(const step_motion& m, ordinate o, double step);

// The closed form of a step taken apart for bounds: the oscillator's constants.
struct bound_constants {
  double w, two_hw, minus_inverse_w2, inverse_wd, inverse_dt, dt, eighth_dt2, dt4_384;
};
bound_constants constants_of(const response::recurrence& r, double dt);

// What bounds each response (x, x', x'' + a) over one step, from the states at its ends and the
// input: its values and slopes at the ends (f(0), f(dt), f'(0), f'(dt)); its closed form's line
// at the ends and a bound on its damped sine, whose sum bounds its size; and bounds on its
// second derivative and its fourth. Values and lines are linear in the motion, and the other
// bounds are sums of sizes: the bounds of u1 cos t + u2 sin t follow from those of u1 and u2.
struct step_bounds {
  double ends[3][4];
  double line[3][2];
  double sine[3];
  double size[3];
  double curvature[3];
  double fourth[3];
};
step_bounds bounds_in_step(const response::recurrence& r, const bound_constants& k,
                           response::oscillator_state start, response::oscillator_state end,
                           double a0, double a1);

// A bound on |f| over a step from its ends, size and curvature bounded as above: the smaller of
// its size and the larger end plus curvature dt^2 / 8 (without the margin).
double plain_bound(const double ends[4], double size, double curvature, const bound_constants& k);

// A bound on |f| over a step whose ends, size, curvature and fourth derivative are bounded as
// above, times the margin; first the plain one, and where it passes limit, Hermite's cubic
// through the ends.
double bound_in_step(const double ends[4], double size, double curvature, double fourth,
                     const bound_constants& k, double limit);

// A bound is taken as this much larger, far above the rounding of the bound and of the closed
// form (a few units of 2^-53).
inline constexpr double bound_margin = 1 + 1e-9;

}  // namespace kernels
