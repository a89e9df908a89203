// Runs of bilinear oscillators in vector lanes, compiled once per instruction set (Highway) and
// chosen at run time. Each lane is one run and computes, operation for operation, what the
// scalar run (bilinear.cc) computes for it: the same multiplications and additions in the same
// order, no fused multiply-add (the build forbids contraction), the processor's max for the
// peak (whose rule the scalar run copies) and the same screens; a lane whose step may hold an
// event takes that step by the scalar run's own code.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "spectra/inelastic/lanes_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "kernels/batch.h"
#include "spectra/inelastic/bilinear.h"
#include "spectra/inelastic/steps.h"

HWY_BEFORE_NAMESPACE();
namespace spectra::inelastic {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

template <class D>
using V = hn::Vec<D>;
template <class D>
using M = hn::Mask<D>;

// The lanes' constants: the elastic spectra's recurrence, the yielding branch's, and what the
// screens take.
// clang-format off
enum constant {
  e11, e12, e21, e22, f11, f12, f21, f22,  // elastic: a11..a22, b11..b22
  y11, y12, y21, y22, z11, z12, z21, z22,  // yielding: a11..a22, b11..b22
  damping, w2, kappa, per_omega, root_kappa, constant_count
};
// clang-format on

template <class D>
struct group_constants {
  V<D> k[constant_count];
};

// x(m) = a12 dx + a11 x + b12 ddym + b11 ddyf, summed in this order, as response::step does.
template <class Vec>
HWY_INLINE Vec recur(Vec r12, Vec r11, Vec s12, Vec s11, Vec x, Vec dx, Vec end, Vec start) {
  return hn::Add(hn::Add(hn::Add(hn::Mul(r12, dx), hn::Mul(r11, x)), hn::Mul(s12, end)),
                 hn::Mul(s11, start));
}

// steps::may_reach, lane by lane.
template <class D>
HWY_INLINE M<D> may_reach(D d, V<D> h, V<D> g0, V<D> g0_slope, V<D> gh, V<D> gh_slope,
                          V<D> curvature) {
  const V<D> zero = hn::Zero(d);
  const V<D> from_start = hn::Add(g0, hn::Mul(hn::Max(zero, g0_slope), h));
  const V<D> from_end = hn::Add(gh, hn::Mul(hn::Max(zero, hn::Neg(gh_slope)), h));
  const V<D> slack = hn::Mul(hn::Mul(curvature, hn::Mul(h, h)), hn::Set(d, 0.50000005));
  return hn::Ge(hn::Add(hn::Min(from_start, from_end), slack), zero);
}

// steps::may_turn_beyond, lane by lane, for the active lanes (the bounds only when a lane is
// not plainly monotone).
template <class D>
HWY_INLINE M<D> may_turn_beyond(D d, M<D> active, const group_constants<D>& k, V<D> h, V<D> per_h,
                                V<D> x0, V<D> v0, V<D> x1, V<D> v1, V<D> pf, V<D> pm, V<D> up,
                                V<D> beta, V<D> uy, V<D> peak) {
  const V<D> zero = hn::Zero(d);
  const V<D> a0 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], v0), hn::Mul(k.k[w2], x0)), pf));
  const V<D> a1 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], v1), hn::Mul(k.k[w2], x1)), pm));
  const M<D> rising = hn::Gt(v0, zero);
  const M<D> same_sign =
      hn::Or(hn::And(rising, hn::Gt(v1, zero)), hn::And(hn::Lt(v0, zero), hn::Lt(v1, zero)));
  const M<D> slows_and_speeds =
      hn::Or(hn::And(rising, hn::And(hn::Lt(a0, zero), hn::Gt(a1, zero))),
             hn::AndNot(rising, hn::And(hn::Gt(a0, zero), hn::Lt(a1, zero))));
  const M<D> candidates = hn::AndNot(hn::AndNot(slows_and_speeds, same_sign), active);
  if (hn::AllFalse(d, candidates)) return candidates;
  const V<D> j0 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], a0), hn::Mul(k.k[w2], v0)),
                                  hn::Mul(hn::Sub(pm, pf), per_h)));
  const V<D> bound =
      hn::Mul(hn::Mul(hn::Add(hn::Abs(a0), hn::Mul(hn::Abs(j0), k.k[per_omega])), hn::Mul(h, h)),
              hn::Set(d, 0.50000005));
  const V<D> high = hn::Add(hn::Min(hn::Add(x0, hn::Mul(hn::Max(zero, v0), h)),
                                    hn::Add(x1, hn::Mul(hn::Max(zero, hn::Neg(v1)), h))),
                            bound);
  const V<D> low = hn::Sub(hn::Max(hn::Add(x0, hn::Mul(hn::Min(zero, v0), h)),
                                   hn::Sub(x1, hn::Mul(hn::Max(zero, v1), h))),
                           bound);
  const M<D> beyond = hn::Or(
      hn::Or(hn::Gt(hn::Sub(high, beta), uy), hn::Lt(hn::Sub(low, beta), hn::Neg(uy))),
      hn::Or(hn::Gt(hn::Abs(hn::Add(up, high)), peak), hn::Gt(hn::Abs(hn::Add(up, low)), peak)));
  return hn::And(candidates, beyond);
}

// steps::may_reverse, lane by lane, for the active lanes (the bound only when a lane's velocity
// slows and speeds up again).
template <class D>
HWY_INLINE M<D> may_reverse(D d, M<D> active, const group_constants<D>& k, V<D> h, V<D> per_h,
                            V<D> sign, V<D> d0, V<D> v0, V<D> d1, V<D> v1, V<D> qf, V<D> qm) {
  const V<D> zero = hn::Zero(d);
  const V<D> a0 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], v0), hn::Mul(k.k[kappa], d0)), qf));
  const V<D> a1 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], v1), hn::Mul(k.k[kappa], d1)), qm));
  const M<D> slows_and_speeds =
      hn::And(active, hn::And(hn::Lt(hn::Mul(sign, a0), zero), hn::Gt(hn::Mul(sign, a1), zero)));
  if (hn::AllFalse(d, slows_and_speeds)) return slows_and_speeds;
  const V<D> j0 = hn::Neg(hn::Add(hn::Add(hn::Mul(k.k[damping], a0), hn::Mul(k.k[kappa], v0)),
                                  hn::Mul(hn::Sub(qm, qf), per_h)));
  const V<D> against = hn::Neg(sign);
  return hn::And(
      slows_and_speeds,
      may_reach(d, h, hn::Mul(against, v0), hn::Mul(against, a0), hn::Mul(against, v1),
                hn::Mul(against, a1), hn::Add(hn::Abs(j0), hn::Mul(k.k[root_kappa], hn::Abs(a0)))));
}

// The lanes' state between the steps that the vectors carry; the rest is in each lane's
// steps::carried, which the scalar step keeps.
struct lane_state {
  static constexpr std::size_t most = HWY_MAX_BYTES / sizeof(double);
  HWY_ALIGN double y[most];     // x on the elastic branch, d on a yielding one
  HWY_ALIGN double v[most];     // velocity
  HWY_ALIGN double peak[most];  // u_m so far
  HWY_ALIGN double base[most];  // u = base + y: up, or u_onset
  HWY_ALIGN double beta[most];
  HWY_ALIGN double q[most];    // the force at the onset of yielding
  HWY_ALIGN double dir[most];  // 0 elastic, +1 or -1 yielding
  HWY_ALIGN double uy[most];
  HWY_ALIGN double done[most];  // all ones: finished (or padding)
};

// The vectors' copy of a lane, from its carried state.
void put(lane_state& l, std::size_t lane, const steps::carried& c) {
  l.y[lane] = c.direction == 0 ? c.x : c.d;
  l.v[lane] = c.v;
  l.peak[lane] = c.peak;
  l.base[lane] = c.direction == 0 ? c.up : c.u_onset;
  l.beta[lane] = c.beta;
  l.q[lane] = c.q_onset;
  l.dir[lane] = c.direction;
}

// What the vectors hold of a lane, into its carried state.
void take(const lane_state& l, std::size_t lane, steps::carried& c) {
  if (c.direction == 0) {
    c.x = l.y[lane];
  } else {
    c.d = l.y[lane];
  }
  c.v = l.v[lane];
  c.peak = l.peak[lane];
}

bool is_set(const double* flags, std::size_t lane) {
  return flags[lane] != 0;
}

template <class D>
void run_group(D d, std::span<const double> a, observation mode, lane_run* runs,
               std::size_t count) {
  const std::size_t lanes = hn::Lanes(d), n = a.size();
  const stepping& first_stepping = *runs[0].s;
  const int k = first_stepping.substeps;
  const double h = first_stepping.step;
  const bool continuous = mode == observation::continuous;
  HWY_ALIGN double table[constant_count][lane_state::most];
  lane_state l;
  steps::carried carried[lane_state::most];
  std::size_t start = n;
  const double all_ones = std::bit_cast<double>(~std::uint64_t{0});
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    lane_run& r = runs[std::min(lane, count - 1)];
    const stepping& s = *r.s;
    const double values[constant_count] = {s.elastic.a11,
                                           s.elastic.a12,
                                           s.elastic.a21,
                                           s.elastic.a22,
                                           s.elastic.b11,
                                           s.elastic.b12,
                                           s.elastic.b21,
                                           s.elastic.b22,
                                           s.yielding.a11,
                                           s.yielding.a12,
                                           s.yielding.a21,
                                           s.yielding.a22,
                                           s.yielding.b11,
                                           s.yielding.b12,
                                           s.yielding.b21,
                                           s.yielding.b22,
                                           s.c,
                                           s.omega2,
                                           s.kappa,
                                           s.per_omega,
                                           s.root_kappa};
    for (int i = 0; i < constant_count; ++i) table[i][lane] = values[i];
    l.uy[lane] = r.yield_deformation;
    l.done[lane] = lane < count ? 0 : all_ones;
    if (lane >= count) continue;
    const std::size_t first =
        r.from && !r.from->peak.empty() ? steps::start_of(*r.from, r.yield_deformation) : 1;
    if (first == 0) {
      r.result = {.peak_deformation = r.from->peak.back(), .settled_at = r.from->peak.size() - 1};
      l.done[lane] = all_ones;
    } else {
      start = std::min(start, first);
    }
  }
  if (start == n) return;
  for (std::size_t lane = 0; lane < lanes; ++lane) {
    const lane_run& r = runs[std::min(lane, count - 1)];
    steps::carried& c = carried[lane];
    c = {};
    if (r.from && !r.from->peak.empty()) {
      c.x = r.from->x[start - 1];
      c.v = r.from->v[start - 1];
      c.peak = r.from->peak[start - 1];
    }
    put(l, lane, c);
  }
  group_constants<D> kv;
  for (int i = 0; i < constant_count; ++i) kv.k[i] = hn::Load(d, table[i]);
  const V<D> hv = hn::Set(d, h), per_hv = hn::Set(d, first_stepping.per_step);
  const V<D> zero = hn::Zero(d);
  V<D> y, v, peak, base, beta, q, dir, uy, done;
  const auto load = [&] {
    y = hn::Load(d, l.y);
    v = hn::Load(d, l.v);
    peak = hn::Load(d, l.peak);
    base = hn::Load(d, l.base);
    beta = hn::Load(d, l.beta);
    q = hn::Load(d, l.q);
    dir = hn::Load(d, l.dir);
    uy = hn::Load(d, l.uy);
    done = hn::Load(d, l.done);
  };
  load();
  double fraction[64];
  for (int j = 0; j <= k && j < 64; ++j) fraction[j] = static_cast<double>(j) / k;
  for (std::size_t m = start; m < n; ++m) {
    const double a0 = a[m - 1], a1 = a[m];
    double pm = a0;
    for (int j = 1; j <= k; ++j) {
      const double pf = pm;
      pm = j == k ? a1 : k < 64 ? a0 + (a1 - a0) * fraction[j] : kernels::interpolate(a0, a1, j, k);
      const V<D> vf = hn::Set(d, pf), vm = hn::Set(d, pm);
      const V<D> xe = recur(kv.k[e12], kv.k[e11], kv.k[f12], kv.k[f11], y, v, vm, vf);
      const V<D> ve = recur(kv.k[e22], kv.k[e21], kv.k[f22], kv.k[f21], y, v, vm, vf);
      const M<D> live = hn::Not(hn::MaskFromVec(done));
      const M<D> elastic = hn::Eq(dir, zero);
      const V<D> z = hn::Sub(xe, beta);
      M<D> event = hn::And(hn::And(elastic, live), hn::Or(hn::Gt(z, uy), hn::Lt(z, hn::Neg(uy))));
      if (continuous) {
        event = hn::Or(event, may_turn_beyond(d, hn::AndNot(event, hn::And(elastic, live)), kv, hv,
                                              per_hv, y, v, xe, ve, vf, vm, base, beta, uy, peak));
      }
      V<D> y1 = xe, v1 = ve;
      const M<D> yielding = hn::AndNot(elastic, live);
      if (!hn::AllFalse(d, yielding)) {
        const V<D> qf = hn::Add(vf, q), qm = hn::Add(vm, q);
        const V<D> xy = recur(kv.k[y12], kv.k[y11], kv.k[z12], kv.k[z11], y, v, qm, qf);
        const V<D> vy = recur(kv.k[y22], kv.k[y21], kv.k[z22], kv.k[z21], y, v, qm, qf);
        const M<D> turning = hn::AndNot(hn::Gt(hn::Mul(dir, vy), zero), yielding);
        event = hn::Or(event, hn::Or(turning, may_reverse(d, hn::AndNot(turning, yielding), kv, hv,
                                                          per_hv, dir, y, v, xy, vy, qf, qm)));
        y1 = hn::IfThenElse(elastic, xe, xy);
        v1 = hn::IfThenElse(elastic, ve, vy);
      }
      const V<D> peak1 = hn::Max(peak, hn::Abs(hn::Add(base, y1)));
      if (hn::AllFalse(d, event)) {
        y = y1;
        v = v1;
        peak = peak1;
        continue;
      }
      // The lanes with a possible event take the step by the scalar code, from their state
      // before it; the others take the recurrence's.
      HWY_ALIGN double ends_y[lane_state::most], ends_v[lane_state::most];
      HWY_ALIGN double flags[lane_state::most];
      hn::Store(y1, d, ends_y);
      hn::Store(v1, d, ends_v);
      hn::Store(hn::VecFromMask(d, event), d, flags);
      hn::Store(y, d, l.y);
      hn::Store(v, d, l.v);
      hn::Store(peak, d, l.peak);
      HWY_ALIGN double new_peak[lane_state::most];
      hn::Store(peak1, d, new_peak);
      for (std::size_t lane = 0; lane < lanes; ++lane) {
        if (!is_set(flags, lane)) {
          l.y[lane] = ends_y[lane];
          l.v[lane] = ends_v[lane];
          l.peak[lane] = new_peak[lane];
          continue;
        }
        const lane_run& r = runs[lane];
        steps::carried& c = carried[lane];
        take(l, lane, c);
        steps::step_with_events step(*r.s, r.yield_deformation, mode, nullptr, c);
        step(pf, pm, ends_y[lane], ends_v[lane], 0);
        put(l, lane, c);
      }
      load();
    }
    if (m % 32 == 0) {
      hn::Store(y, d, l.y);
      hn::Store(v, d, l.v);
      hn::Store(peak, d, l.peak);
      bool all_done = true;
      for (std::size_t lane = 0; lane < lanes; ++lane) {
        if (is_set(l.done, lane)) continue;
        const lane_run& r = runs[lane];
        const steps::carried& c = carried[lane];
        if (l.dir[lane] == 0 && r.from && !r.from->remaining.empty() &&
            steps::settled(*r.s, l.y[lane], l.v[lane], r.from->remaining[m], c.up, c.beta,
                           r.yield_deformation, l.peak[lane])) {
          l.done[lane] = all_ones;
          runs[lane].result = {.peak_deformation = l.peak[lane],
                               .hysteretic_energy = c.committed,
                               .yield_onsets = c.onsets,
                               .settled_at = m};
          continue;
        }
        all_done = false;
      }
      if (all_done) return;
      done = hn::Load(d, l.done);
    }
  }
  hn::Store(y, d, l.y);
  hn::Store(v, d, l.v);
  hn::Store(peak, d, l.peak);
  for (std::size_t lane = 0; lane < std::min(lanes, count); ++lane) {
    if (is_set(l.done, lane)) continue;
    steps::carried& c = carried[lane];
    take(l, lane, c);
    runs[lane].result = {.peak_deformation = c.peak,
                         .hysteretic_energy = steps::hysteretic(*runs[lane].s, c),
                         .yield_onsets = c.onsets,
                         .settled_at = n - 1};
  }
}

void RunLanes(std::span<const double> acceleration, observation mode, lane_run* runs,
              std::size_t count) {
  const hn::ScalableTag<double> d;
  const std::size_t lanes = hn::Lanes(d);
  for (std::size_t first = 0; first < count; first += lanes) {
    run_group(d, acceleration, mode, runs + first, std::min(lanes, count - first));
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace spectra::inelastic
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace spectra::inelastic {

void run_in_lanes(std::span<const double> acceleration, observation mode,
                  std::span<lane_run> runs) {
  static const auto run = KERNELS_CHOOSE(RunLanes);
  run(acceleration, mode, runs.data(), runs.size());
}

}  // namespace spectra::inelastic
#endif
