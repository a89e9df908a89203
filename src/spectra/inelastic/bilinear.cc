#include "spectra/inelastic/bilinear.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "spectra/batch.h"
#include "spectra/inelastic/motion.h"
#include "spectra/spectrum.h"

namespace spectra::inelastic {
namespace {

// A step holds a few events at most (an onset and a reversal); more would be a tangency met
// again and again by rounding, and the rest of the step is then run on the branch it is on.
constexpr int events_per_step = 16;

// Gauss-Legendre on [0, 1], five nodes: the energy integrals of the trace.
constexpr double gauss_fraction[5] = {0.046910077030668004, 0.23076534494715845, 0.5,
                                      0.76923465505284155, 0.95308992296933200};
constexpr double gauss_weight[5] = {0.11846344252809454, 0.23931433524968324, 0.28444444444444444,
                                    0.23931433524968324, 0.11846344252809454};

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

double hysteretic(const stepping& s, const carried& c) {
  if (c.direction == 0) return c.committed;
  return c.committed + (1 - s.alpha) * c.d * (c.q_onset + s.kappa * c.d / 2);
}

// g negative at both ends of a step h, with slopes g0', gh' and |g''| at most curvature on it:
// whether g may reach zero inside, by Taylor's bound from either end.
bool may_reach(double h, double g0, double g0_slope, double gh, double gh_slope, double curvature) {
  const double from_start = g0 + std::max(0.0, g0_slope) * h;
  const double from_end = gh + std::max(0.0, -gh_slope) * h;
  return std::min(from_start, from_end) + curvature * (h * h) / 2 * 1.0000001 >= 0;
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
  const double j0 = -(s.c * a0 + w2 * v0 + (pm - pf) / h);
  const double bound = (std::fabs(a0) + std::fabs(j0) / s.omega) * (h * h) / 2 * 1.0000001;
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
  const double j0 = -(s.c * a0 + k * v0 + (qm - qf) / s.step);
  return may_reach(s.step, -sign * v0, -sign * a0, -sign * v1, -sign * a1,
                   std::fabs(j0) + s.root_kappa * std::fabs(a0));
}

// Elastic branch at a sample: whether nothing that remains of the record can make the
// oscillator yield or pass its peak. The free vibration from (x, v) stays within its amplitude,
// and the rest of the input adds at most the integral of |a_g| over w_d (the impulse response is
// at most 1 / w_d).
bool settled(const stepping& s, double x, double v, double remaining_input, double up, double beta,
             double uy, double peak) {
  const double wd = s.elastic.wd;
  const double free = (v + s.elastic.hw * x) / wd;
  const double reach = (std::sqrt(x * x + free * free) + remaining_input / wd) * (1 + 1e-9);
  return reach + std::fabs(beta) <= uy && std::fabs(up) + reach <= peak;
}

// The trace's input and damping energies over [0, length] of a piece (Gauss, five nodes).
void integrate(const stepping& s, carried& c, const taylor_motion& m, double ground0, double slope,
               double length) {
  double in = 0, damped = 0;
  for (int q = 0; q < 5; ++q) {
    const double t = gauss_fraction[q] * length;
    const double v = m.derivative(1, t);
    in = in + gauss_weight[q] * ((ground0 + slope * t) * v);
    damped = damped + gauss_weight[q] * (v * v);
  }
  c.input = c.input - length * in;
  c.damping = c.damping + s.c * (length * damped);
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
  void operator()(double pf, double pm, double end_y, double end_v, double clock) {
    const double h = s_.step;
    const double slope = (pm - pf) / h;
    double tau = 0;
    for (int count = 0;; ++count) {
      const bool whole = tau == 0;
      const double left = whole ? h : h - tau;
      const double p0 = whole ? pf : pf + (pm - pf) * (tau / h);
      const bool allow = count < events_per_step;
      double at = 0;
      if (c_.direction == 0) {
        const taylor_motion m = taylor(s_.c, s_.omega2, c_.x, c_.v, p0, slope, left);
        const double xe = whole ? end_y : m.derivative(0, left);
        const double ve = whole ? end_v : m.derivative(1, left);
        const std::optional<std::pair<double, int>> onset =
            allow ? elastic_event(m, xe) : std::nullopt;
        if (!onset) {
          if (trace_) integrate(s_, c_, m, p0, slope, left);
          c_.x = xe;
          c_.v = ve;
          c_.peak = spectra::peak(c_.peak, std::fabs(c_.up + c_.x));
          return;
        }
        at = onset->first;
        const int line = onset->second;
        if (trace_) integrate(s_, c_, m, p0, slope, at);
        c_.x = c_.beta + line * uy_;
        c_.v = m.derivative(1, at);
        c_.peak = spectra::peak(c_.peak, std::fabs(c_.up + c_.x));
        const double p = at == left ? pm : p0 + slope * at;
        const double outward = line * -(s_.c * c_.v + s_.omega2 * c_.x + p);
        if (line * c_.v > 0 || (line * c_.v == 0 && outward > 0)) {
          c_.direction = line;
          c_.u_onset = c_.up + c_.x;
          c_.x_onset = c_.x;
          c_.q_onset = s_.omega2 * c_.x;
          c_.beta_onset = c_.beta;
          c_.d = 0;
          ++c_.onsets;
          if (trace_) trace_->onsets.push_back((clock + (tau + at) / h) * h);
        }
      } else {
        const taylor_motion m = taylor(s_.c, s_.kappa, c_.d, c_.v, p0 + c_.q_onset, slope, left);
        const std::optional<double> reversal =
            allow ? first_crossing(m, 1, -c_.direction, 0) : std::nullopt;
        if (!reversal) {
          if (trace_) integrate(s_, c_, m, p0, slope, left);
          c_.d = whole ? end_y : m.derivative(0, left);
          c_.v = whole ? end_v : m.derivative(1, left);
          c_.peak = spectra::peak(c_.peak, std::fabs(c_.u_onset + c_.d));
          return;
        }
        at = *reversal;
        if (trace_) integrate(s_, c_, m, p0, slope, at);
        const double d = m.derivative(0, at);
        const double u = c_.u_onset + d;
        c_.peak = spectra::peak(c_.peak, std::fabs(u));
        c_.committed = c_.committed + (1 - s_.alpha) * d * (c_.q_onset + s_.kappa * d / 2);
        c_.x = c_.x_onset + s_.alpha * d;
        c_.beta = c_.beta_onset + s_.alpha * d;
        c_.up = u - c_.x;
        c_.v = 0;
        c_.d = 0;
        c_.direction = 0;
        if (trace_) trace_->reversals.push_back((clock + (tau + at) / h) * h);
      }
      if (at == left) return;
      tau = tau + at;
      if (!(tau < h)) return;
    }
  }

 private:
  // The first instant of an elastic piece at which the force reaches a yield line, and the line,
  // when the piece (at_steps: its end; continuous: its end or an extremum) is past one. The
  // extrema before that instant count towards the peak.
  std::optional<std::pair<double, int>> elastic_event(const taylor_motion& m, double xe) {
    double first_past = m.length;
    int past = xe - c_.beta > uy_ ? 1 : xe - c_.beta < -uy_ ? -1 : 0;
    double zeros[2], extrema[2];
    int count = 0;
    if (mode_ == observation::continuous) {
      count = velocity_zeros(m, zeros);
      for (int i = count - 1; i >= 0; --i) {
        extrema[i] = m.derivative(0, zeros[i]);
        if (extrema[i] - c_.beta > uy_ || extrema[i] - c_.beta < -uy_) {
          first_past = zeros[i];
          past = extrema[i] - c_.beta > uy_ ? 1 : -1;
        }
      }
    }
    std::optional<std::pair<double, int>> event;
    if (past != 0) {
      // The line not passed may still be reached first only if the motion turns inside.
      const bool both = mode_ == observation::continuous ? count > 0 : may_turn(m);
      const std::optional<double> up =
          past > 0 || both ? first_crossing(m, 0, 1, uy_ + c_.beta) : std::nullopt;
      const std::optional<double> down =
          past < 0 || both ? first_crossing(m, 0, -1, uy_ - c_.beta) : std::nullopt;
      if (up && (!down || *up <= *down)) {
        event = std::pair{*up, 1};
      } else if (down) {
        event = std::pair{*down, -1};
      } else {
        event = std::pair{first_past, past};  // rounding puts the crossing where it is found past
      }
    }
    for (int i = 0; i < count; ++i) {
      if (!event || zeros[i] < event->first) {
        c_.peak = spectra::peak(c_.peak, std::fabs(c_.up + extrema[i]));
      }
    }
    return event;
  }

  // Whether the velocity of an elastic piece may change sign inside it.
  bool may_turn(const taylor_motion& m) const {
    const double v0 = m.derivative(1, 0), v1 = m.derivative(1, m.length);
    if (!((v0 > 0 && v1 > 0) || (v0 < 0 && v1 < 0))) return true;
    const double a0 = m.derivative(2, 0), j0 = m.derivative(3, 0);
    const double sign = v0 > 0 ? 1 : -1;
    return may_reach(m.length, -sign * v0, -sign * a0, -sign * v1,
                     -sign * m.derivative(2, m.length), std::sqrt(j0 * j0 + s_.omega2 * (a0 * a0)));
  }

  const stepping& s_;
  const double uy_;
  const observation mode_;
  trace* trace_;
  carried& c_;
};

void record(const stepping& s, const carried& c, double time, trace& t) {
  const double q = c.direction == 0 ? s.omega2 * c.x : c.q_onset + s.kappa * c.d;
  t.points.push_back({.time = time,
                      .branch = c.direction,
                      .deformation = c.direction == 0 ? c.up + c.x : c.u_onset + c.d,
                      .velocity = c.v,
                      .force = q,
                      .input = c.input,
                      .kinetic = c.v * c.v / 2,
                      .strain = q * q / (2 * s.omega2),
                      .damping = c.damping,
                      .hysteretic = hysteretic(s, c)});
}

}  // namespace

stepping make_stepping(const bilinear_oscillator& o, double dt) {
  stepping s;
  s.substeps = substeps(o.period, dt);
  s.step = dt / s.substeps;
  s.elastic = response::nigam_jennings(o.damping, circular_frequency(o.period), s.step);
  s.omega2 = s.elastic.w2;
  s.omega = std::sqrt(s.omega2);
  s.c = s.elastic.hw + s.elastic.hw;
  s.alpha = o.alpha;
  s.kappa = o.alpha * s.omega2;
  s.root_kappa = std::sqrt(s.kappa);
  // The full step of the yielding branch from its four unit cases.
  const double h = s.step;
  const auto end = [&](double y0, double v0, double p_start, double p_end, double& y, double& v) {
    const taylor_motion m = taylor(s.c, s.kappa, y0, v0, p_start, (p_end - p_start) / h, h);
    y = m.derivative(0, h);
    v = m.derivative(1, h);
  };
  branch_step& b = s.yielding;
  end(1, 0, 0, 0, b.a11, b.a21);
  end(0, 1, 0, 0, b.a12, b.a22);
  end(0, 0, 1, 0, b.b11, b.b21);
  end(0, 0, 0, 1, b.b12, b.b22);
  return s;
}

namespace {

// The run, which either starts from an elastic history or records one.
run_result run_from(const stepping& s, std::span<const double> acceleration,
                    double yield_deformation, observation mode, trace* t,
                    const elastic_history* from, elastic_history* recording) {
  const std::size_t n = acceleration.size();
  const int k = s.substeps;
  const double uy = yield_deformation;
  const bool continuous = mode == observation::continuous;
  carried c;
  std::size_t first = 1;
  const std::vector<double>* remaining = nullptr;
  if (from && !from->peak.empty()) {
    // Up to the sample before the one whose peak passes u_y, the oscillator is the elastic one.
    const auto past = std::upper_bound(from->peak.begin(), from->peak.end(), uy);
    if (past == from->peak.end()) return {.peak_deformation = from->peak.back()};
    first = static_cast<std::size_t>(past - from->peak.begin());
    c.x = from->x[first - 1];
    c.v = from->v[first - 1];
    c.peak = from->peak[first - 1];
    remaining = &from->remaining;
  }
  if (recording) {
    recording->x.assign(1, 0);
    recording->v.assign(1, 0);
    recording->peak.assign(1, 0);
    recording->remaining.assign(n, 0);
    for (std::size_t m = n; m-- > 1;) {
      recording->remaining[m - 1] =
          recording->remaining[m] +
          (std::fabs(acceleration[m - 1]) + std::fabs(acceleration[m])) / 2 * (s.step * k);
    }
    remaining = &recording->remaining;
  }
  step_with_events slow(s, uy, mode, t, c);
  // The hot loop keeps the state it touches in locals, written back around the slow path.
  const response::recurrence e = s.elastic;
  const branch_step y = s.yielding;
  double x = c.x, v = c.v, peak = c.peak;
  const auto store = [&] {
    c.peak = peak;
    if (c.direction == 0) {
      c.x = x;
    } else {
      c.d = x;
    }
    c.v = v;
  };
  const auto load = [&] {
    peak = c.peak;
    x = c.direction == 0 ? c.x : c.d;
    v = c.v;
  };
  // The fractions of the interval at the sub-steps, as interpolate() takes them.
  double fraction[64];
  for (int j = 0; j <= k && j < 64; ++j) fraction[j] = static_cast<double>(j) / k;
  double clock = static_cast<double>((first - 1) * static_cast<std::size_t>(k));
  for (std::size_t m = first; m < n; ++m) {
    const double a0 = acceleration[m - 1], a1 = acceleration[m];
    double pm = a0;
    for (int j = 1; j <= k; ++j) {
      const double pf = pm;
      pm = j == k ? a1 : k < 64 ? a0 + (a1 - a0) * fraction[j] : interpolate(a0, a1, j, k);
      if (c.direction == 0) {
        const response::oscillator_state next = response::step(e, {x, v}, pf, pm);
        const double z = next.x - c.beta;
        if (!(z > uy || z < -uy) && !t &&
            (!continuous ||
             !may_turn_beyond(s, x, v, next.x, next.dx, pf, pm, c.up, c.beta, uy, peak))) {
          x = next.x;
          v = next.dx;
          peak = spectra::peak(peak, std::fabs(c.up + x));
          continue;
        }
        store();
        slow(pf, pm, next.x, next.dx, clock + j - 1);
        load();
      } else {
        const double qf = pf + c.q_onset, qm = pm + c.q_onset;
        const double d1 = y.a12 * v + y.a11 * x + y.b12 * qm + y.b11 * qf;
        const double v1 = y.a22 * v + y.a21 * x + y.b22 * qm + y.b21 * qf;
        if (c.direction * v1 > 0 && !t && !may_reverse(s, c.direction, x, v, d1, v1, qf, qm)) {
          x = d1;
          v = v1;
          peak = spectra::peak(peak, std::fabs(c.u_onset + x));
          continue;
        }
        store();
        slow(pf, pm, d1, v1, clock + j - 1);
        load();
      }
      if (t) record(s, c, (clock + j) * s.step, *t);
    }
    clock += k;
    if (recording) {
      recording->x.push_back(x);
      recording->v.push_back(v);
      recording->peak.push_back(peak);
    }
    if (remaining && m % 32 == 0 && c.direction == 0 &&
        settled(s, x, v, (*remaining)[m], c.up, c.beta, uy, peak)) {
      break;
    }
  }
  store();
  return {
      .peak_deformation = c.peak, .hysteretic_energy = hysteretic(s, c), .yield_onsets = c.onsets};
}

}  // namespace

run_result run(const stepping& s, std::span<const double> acceleration, double yield_deformation,
               observation mode, trace* t, const elastic_history* from) {
  return run_from(s, acceleration, yield_deformation, mode, t, t ? nullptr : from, nullptr);
}

run_result run_elastic(const stepping& s, std::span<const double> acceleration, observation mode,
                       elastic_history& history) {
  return run_from(s, acceleration, std::numeric_limits<double>::infinity(), mode, nullptr, nullptr,
                  &history);
}

}  // namespace spectra::inelastic
