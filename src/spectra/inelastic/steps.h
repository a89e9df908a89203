// The step of a bilinear oscillator's run: what a run carries from step to step, the cheap
// screens that tell a step without events from one that may hold some, and the step taken piece
// by piece between its events. Shared by the run of one oscillator and the runs in vector lanes;
// not for other callers.
#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "spectra/inelastic/bilinear.h"
#include "spectra/inelastic/motion.h"

namespace spectra::inelastic::steps {

// Everything a run carries from step to step.
struct carried {
  // Elastic branch: u = up + x, force w^2 x; the yield lines are x - beta = +-u_y.
  double x = 0, v = 0, up = 0, beta = 0;
  // Yielding branch (direction +-1): u = u_onset + d, force q_onset + kappa d.
  int direction = 0;
  double u_onset = 0, x_onset = 0, q_onset = 0, beta_onset = 0, d = 0;
  double committed = 0;  // hysteretic energy of the yielding excursions ended
  double peak = 0;
  std::size_t onsets = 0;
  double input = 0, damping = 0;  // the trace's energies
};

inline double hysteretic(const stepping& s, const carried& c) {
  if (c.direction == 0) return c.committed;
  return c.committed + (1 - s.alpha) * c.d * (c.q_onset + s.kappa * c.d / 2);
}

// g negative at both ends of a step h, with slopes g0', gh' and |g''| at most curvature on it:
// whether g may reach zero inside, by Taylor's bound from either end.
inline bool may_reach(double h, double g0, double g0_slope, double gh, double gh_slope,
                      double curvature) {
  const double from_start = g0 + std::max(0.0, g0_slope) * h;
  const double from_end = gh + std::max(0.0, -gh_slope) * h;
  return std::min(from_start, from_end) + curvature * (h * h) * 0.50000005 >= 0;
}

// Continuous observation, elastic branch: whether the deformation may, inside the step, pass a
// yield line or the peak so far. x'' is a free vibration (the input is linear), zero at most once
// in a step: the velocity then has at most one extremum. If it keeps its sign at both ends and
// does not slow down and speed up again, x is monotone and its extremes are at the ends. Else by
// bounds on x from either end: E = x'''^2 + w^2 x''^2 never grows, so |x''| <= |x''(0)| +
// |x'''(0)| / w over the step.
inline bool may_turn_beyond(const stepping& s, double x0, double v0, double x1, double v1,
                            double pf, double pm, double up, double beta, double uy, double peak) {
  const double h = s.step, w2 = s.omega2;
  const double a0 = -(s.c * v0 + w2 * x0 + pf);
  if ((v0 > 0 && v1 > 0) || (v0 < 0 && v1 < 0)) {
    const double a1 = -(s.c * v1 + w2 * x1 + pm);
    if (v0 > 0 ? !(a0 < 0 && a1 > 0) : !(a0 > 0 && a1 < 0)) return false;
  }
  const double j0 = -(s.c * a0 + w2 * v0 + (pm - pf) * s.per_step);
  const double bound = (std::fabs(a0) + std::fabs(j0) * s.per_omega) * (h * h) * 0.50000005;
  const double high = std::min(x0 + std::max(0.0, v0) * h, x1 + std::max(0.0, -v1) * h) + bound;
  const double low = std::max(x0 + std::min(0.0, v0) * h, x1 - std::max(0.0, v1) * h) - bound;
  return high - beta > uy || low - beta < -uy || std::fabs(up + high) > peak ||
         std::fabs(up + low) > peak;
}

// Yielding branch: whether the velocity may turn inside the step although it has the yielding
// direction at both ends. As above, only if it slows down and speeds up again; then by Taylor's
// bound with |v''| <= |v''(0)| + sqrt(kappa) |v'(0)|.
inline bool may_reverse(const stepping& s, int direction, double d0, double v0, double d1,
                        double v1, double qf, double qm) {
  const double k = s.kappa, sign = direction;
  const double a0 = -(s.c * v0 + k * d0 + qf);
  const double a1 = -(s.c * v1 + k * d1 + qm);
  if (!(sign * a0 < 0 && sign * a1 > 0)) return false;
  const double j0 = -(s.c * a0 + k * v0 + (qm - qf) * s.per_step);
  return may_reach(s.step, -sign * v0, -sign * a0, -sign * v1, -sign * a1,
                   std::fabs(j0) + s.root_kappa * std::fabs(a0));
}

// Elastic branch at a sample: whether nothing that remains of the record can make the
// oscillator yield or pass its peak. The free vibration from (x, v) stays within its amplitude,
// and the rest of the input adds at most the integral of |a_g| over w_d (the impulse response is
// at most 1 / w_d).
inline bool settled(const stepping& s, double x, double v, double remaining_input, double up,
                    double beta, double uy, double peak) {
  const double free = (v + s.elastic.hw * x) * s.per_wd;
  const double reach = (std::sqrt(x * x + free * free) + remaining_input * s.per_wd) * (1 + 1e-9);
  return reach + std::fabs(beta) <= uy && std::fabs(up) + reach <= peak;
}

// One step taken piece by piece between its events, each piece on the closed form of its
// branch: the slow path of a run.
class step_with_events {
 public:
  step_with_events(const stepping& s, double uy, observation mode, trace* t, carried& c)
      : s_(s), uy_(uy), mode_(mode), trace_(t), c_(c) {}

  // pf, pm: the ground acceleration at the step's ends; end_y, end_v: the step's end as the
  // full-step recurrence gives it, taken when the step turns out to hold no event; clock: the
  // steps before this one.
  void operator()(double pf, double pm, double end_y, double end_v, double clock);

 private:
  std::optional<std::pair<double, int>> elastic_event(const taylor_motion& m, double xe);
  bool may_turn(const taylor_motion& m) const;

  const stepping& s_;
  const double uy_;
  const observation mode_;
  trace* trace_;
  carried& c_;
};

// The trace's point after a step.
void record(const stepping& s, const carried& c, double time, trace& t);

// The first sample a run from an elastic history starts from: the last before the one whose
// peak passes u_y (the oscillator is elastic up to there); 0 when it never yields.
inline std::size_t start_of(const elastic_history& h, double uy) {
  const auto past = std::upper_bound(h.peak.begin(), h.peak.end(), uy);
  return past == h.peak.end() ? 0 : static_cast<std::size_t>(past - h.peak.begin());
}

}  // namespace spectra::inelastic::steps
