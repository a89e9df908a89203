#include "spectra/inelastic/steps.h"

#include "kernels/batch.h"

namespace spectra::inelastic::steps {
namespace {

// A step holds a few events at most (an onset and a reversal); more would be a tangency met
// again and again by rounding, and the rest of the step is then run on the branch it is on.
constexpr int events_per_step = 16;

// Gauss-Legendre on [0, 1], five nodes: the energy integrals of the trace.
constexpr double gauss_fraction[5] = {0.046910077030668004, 0.23076534494715845, 0.5,
                                      0.76923465505284155, 0.95308992296933200};
constexpr double gauss_weight[5] = {0.11846344252809454, 0.23931433524968324, 0.28444444444444444,
                                    0.23931433524968324, 0.11846344252809454};

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

}  // namespace

void step_with_events::operator()(double pf, double pm, double end_y, double end_v, double clock) {
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
        c_.peak = kernels::peak(c_.peak, std::fabs(c_.up + c_.x));
        return;
      }
      at = onset->first;
      const int line = onset->second;
      if (trace_) integrate(s_, c_, m, p0, slope, at);
      c_.x = c_.beta + line * uy_;
      c_.v = m.derivative(1, at);
      c_.peak = kernels::peak(c_.peak, std::fabs(c_.up + c_.x));
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
        c_.peak = kernels::peak(c_.peak, std::fabs(c_.u_onset + c_.d));
        return;
      }
      at = *reversal;
      if (trace_) integrate(s_, c_, m, p0, slope, at);
      const double d = m.derivative(0, at);
      const double u = c_.u_onset + d;
      c_.peak = kernels::peak(c_.peak, std::fabs(u));
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

// The first instant of an elastic piece at which the force reaches a yield line, and the line,
// when the piece (at_steps: its end; continuous: its end or an extremum) is past one. The
// extrema before that instant count towards the peak.
std::optional<std::pair<double, int>> step_with_events::elastic_event(const taylor_motion& m,
                                                                      double xe) {
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
      c_.peak = kernels::peak(c_.peak, std::fabs(c_.up + extrema[i]));
    }
  }
  return event;
}

// Whether the velocity of an elastic piece may change sign inside it.
bool step_with_events::may_turn(const taylor_motion& m) const {
  const double v0 = m.derivative(1, 0), v1 = m.derivative(1, m.length);
  if (!((v0 > 0 && v1 > 0) || (v0 < 0 && v1 < 0))) return true;
  const double a0 = m.derivative(2, 0), j0 = m.derivative(3, 0);
  const double sign = v0 > 0 ? 1 : -1;
  return may_reach(m.length, -sign * v0, -sign * a0, -sign * v1, -sign * m.derivative(2, m.length),
                   std::sqrt(j0 * j0 + s_.omega2 * (a0 * a0)));
}

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

}  // namespace spectra::inelastic::steps
