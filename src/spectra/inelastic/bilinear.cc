#include "spectra/inelastic/bilinear.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "kernels/batch.h"
#include "spectra/inelastic/motion.h"
#include "spectra/inelastic/steps.h"
#include "spectra/spectrum.h"

namespace spectra::inelastic {

stepping make_stepping(const bilinear_oscillator& o, double dt) {
  stepping s;
  s.substeps = substeps(o.period, dt);
  s.step = dt / s.substeps;
  s.per_step = 1 / s.step;
  s.elastic = response::nigam_jennings(o.damping, circular_frequency(o.period), s.step);
  s.omega2 = s.elastic.w2;
  s.omega = std::sqrt(s.omega2);
  s.per_omega = 1 / s.omega;
  s.per_wd = 1 / s.elastic.wd;
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

using steps::carried;

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
    first = steps::start_of(*from, uy);
    if (first == 0) {
      return {.peak_deformation = from->peak.back(), .settled_at = from->peak.size() - 1};
    }
    c.x = from->x[first - 1];
    c.v = from->v[first - 1];
    c.peak = from->peak[first - 1];
    remaining = &from->remaining;
  }
  if (recording) {
    for (std::vector<double>* h : {&recording->x, &recording->v, &recording->peak}) {
      h->reserve(n);
      h->assign(1, 0);
    }
    recording->remaining.assign(n, 0);
    for (std::size_t m = n; m-- > 1;) {
      recording->remaining[m - 1] =
          recording->remaining[m] +
          (std::fabs(acceleration[m - 1]) + std::fabs(acceleration[m])) / 2 * (s.step * k);
    }
    remaining = &recording->remaining;
  }
  steps::step_with_events slow(s, uy, mode, t, c);
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
  std::size_t last = n - 1;
  for (std::size_t m = first; m < n; ++m) {
    const double a0 = acceleration[m - 1], a1 = acceleration[m];
    double pm = a0;
    for (int j = 1; j <= k; ++j) {
      const double pf = pm;
      pm = j == k ? a1 : k < 64 ? a0 + (a1 - a0) * fraction[j] : kernels::interpolate(a0, a1, j, k);
      if (c.direction == 0) {
        const response::oscillator_state next = response::step(e, {x, v}, pf, pm);
        const double z = next.x - c.beta;
        if (!(z > uy || z < -uy) && !t &&
            (!continuous ||
             !steps::may_turn_beyond(s, x, v, next.x, next.dx, pf, pm, c.up, c.beta, uy, peak))) {
          x = next.x;
          v = next.dx;
          peak = kernels::peak(peak, std::fabs(c.up + x));
          continue;
        }
        store();
        slow(pf, pm, next.x, next.dx, clock + j - 1);
        load();
      } else {
        const double qf = pf + c.q_onset, qm = pm + c.q_onset;
        const double d1 = y.a12 * v + y.a11 * x + y.b12 * qm + y.b11 * qf;
        const double v1 = y.a22 * v + y.a21 * x + y.b22 * qm + y.b21 * qf;
        if (c.direction * v1 > 0 && !t &&
            !steps::may_reverse(s, c.direction, x, v, d1, v1, qf, qm)) {
          x = d1;
          v = v1;
          peak = kernels::peak(peak, std::fabs(c.u_onset + x));
          continue;
        }
        store();
        slow(pf, pm, d1, v1, clock + j - 1);
        load();
      }
      if (t) steps::record(s, c, (clock + j) * s.step, *t);
    }
    clock += k;
    if (recording) {
      recording->x.push_back(x);
      recording->v.push_back(v);
      recording->peak.push_back(peak);
    }
    if (remaining && m % 32 == 0 && c.direction == 0 &&
        steps::settled(s, x, v, (*remaining)[m], c.up, c.beta, uy, peak)) {
      last = m;
      break;
    }
  }
  store();
  return {.peak_deformation = c.peak,
          .hysteretic_energy = steps::hysteretic(s, c),
          .yield_onsets = c.onsets,
          .settled_at = last};
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
