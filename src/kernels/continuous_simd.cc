// The first pass of the continuous peaks (continuous.h) in vector lanes, each lane computing the
// states the scalar recurrence computes, operation for operation, so that the second pass can
// run any window again from its start and meet the same states. The oscillators come shortest
// period first.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/continuous_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>

#include "kernels/continuous.h"
#include "kernels/lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The constants of the bounds (step_extrema.h's bound_constants) of one vector of oscillators.
template <class D>
struct vector_bounds {
  V<D> hw, two_hw, w, w2, wd2, inverse_wd, minus_inverse_w2, eighth_dt2, dt;
  vector_bounds(D d, const lanes& c, std::size_t lane, double step) {
    const auto row = [&](bound_factor f) {
      return hn::LoadU(d, c.of(static_cast<int>(hw2) + static_cast<int>(f), lane));
    };
    hw = row(hw_row);
    two_hw = row(two_hw_row);
    w = row(w_row);
    w2 = row(w_squared_row);
    const V<D> wd = row(wd_row);
    wd2 = hn::Mul(wd, wd);
    inverse_wd = hn::Div(hn::Set(d, 1.0), wd);
    minus_inverse_w2 = hn::Div(hn::Set(d, -1.0), w2);
    dt = hn::Set(d, step);
    eighth_dt2 = hn::Set(d, step * step / 8);
  }
};

// Bounds on |x|, |x'| and |x'' + a| over an interval from bounds on their size (size_*) and
// their values at the ends of its steps (at_*): each within M dt^2 / 8 of the line between its
// values at a step's ends, M the bound on its second derivative (step_extrema.cc).
template <class D>
HWY_INLINE void curvature_bounds(const vector_bounds<D>& k, V<D> size_x, V<D> size_dx, V<D> size_a,
                                 V<D> at_x, V<D> at_dx, V<D> at_a, V<D> largest_a,
                                 V<D> largest_slope, V<D>& bx, V<D>& bdx, V<D>& ba) {
  const V<D> m_x = hn::Add(size_a, largest_a);
  const V<D> m_dx = hn::Add(hn::Add(hn::Mul(k.two_hw, m_x), hn::Mul(k.w2, size_dx)), largest_slope);
  const V<D> m_a = hn::Add(hn::Mul(k.two_hw, m_dx), hn::Mul(k.w2, m_x));
  bx = hn::Min(size_x, hn::Add(at_x, hn::Mul(m_x, k.eighth_dt2)));
  bdx = hn::Min(size_dx, hn::Add(at_dx, hn::Mul(m_dx, k.eighth_dt2)));
  ba = hn::Min(size_a, hn::Add(at_a, hn::Mul(m_a, k.eighth_dt2)));
}

// G vectors of oscillators. Each window's bounds come, for longer periods, from W at its
// samples and its largest values; with closed_form (short periods, where that passes too many
// windows), from each step's closed form, the largest of its steps' bounds.
template <std::size_t G, bool closed_form>
void run_windows(std::span<const double> ddy, double dt, std::span<const window_input> input,
                 const lanes& c, std::size_t first, first_pass& out,
                 std::span<const input_ahead> to_come, peak_response* peaks, std::size_t count) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = V<decltype(d)>;
  const vector_coefficients<decltype(d)> k0(d, c, first);
  const vector_coefficients<decltype(d)> k1(d, c, first + (G > 1 ? N : 0));
  const vector_coefficients<decltype(d)> k2(d, c, first + (G > 2 ? 2 * N : 0));
  const vector_coefficients<decltype(d)>* const coefficients_of[3] = {&k0, &k1, &k2};
  const vector_bounds<decltype(d)> b0(d, c, first, dt);
  const vector_bounds<decltype(d)> b1(d, c, first + (G > 1 ? N : 0), dt);
  const vector_bounds<decltype(d)> b2(d, c, first + (G > 2 ? 2 * N : 0), dt);
  const vector_bounds<decltype(d)>* const constants_of[3] = {&b0, &b1, &b2};
  static_assert(G <= 3);
  Vec x[G], dx[G], sd[G], sv[G], sa[G];
  for (std::size_t g = 0; g < G; ++g) x[g] = dx[g] = sd[g] = sv[g] = sa[g] = hn::Zero(d);
  const auto row = [&](std::size_t w, window_field f, std::size_t g) {
    return out.of.data() + (w * fields + f) * out.padded + first + g * N;
  };
  const double inverse_dt = 1 / dt;
  const std::size_t n = ddy.size();
  std::size_t settled_at = 0;
  for (std::size_t w = 0; w < out.windows; ++w) {
    const std::size_t from = w * continuous_window;
    const std::size_t to = std::min(n - 1, from + continuous_window);
    Vec fx[G], fv[G], fa[G], bx[G], bdx[G], ba[G];
    for (std::size_t g = 0; g < G; ++g) {
      hn::StoreU(x[g], d, row(w, start_x, g));
      hn::StoreU(dx[g], d, row(w, start_dx, g));
      fx[g] = fv[g] = fa[g] = bx[g] = bdx[g] = ba[g] = hn::Zero(d);
      take_peaks<true>(*coefficients_of[g], x[g], dx[g], fx[g], fv[g], fa[g]);
    }
    for (std::size_t m = from + 1; m <= to; ++m) {
      const Vec ddyf = hn::Set(d, ddy[m - 1]);
      const Vec ddym = hn::Set(d, ddy[m]);
      const double slope = (ddy[m] - ddy[m - 1]) * inverse_dt;
      for (std::size_t g = 0; g < G; ++g) {
        const vector_coefficients<decltype(d)>& kg = *coefficients_of[g];
        if constexpr (closed_form) {
          // As motion_in_step and look_inside (continuous.cc), from the state at the step's start.
          const vector_bounds<decltype(d)>& q = *constants_of[g];
          const Vec beta = hn::Mul(hn::Set(d, slope), q.minus_inverse_w2);
          const Vec alpha = hn::Mul(hn::Add(ddyf, hn::Mul(q.two_hw, beta)), q.minus_inverse_w2);
          const Vec cc = hn::Sub(x[g], alpha);
          const Vec dd = hn::Mul(hn::Add(hn::Sub(dx[g], beta), hn::Mul(q.hw, cc)), q.inverse_wd);
          const Vec amplitude = hn::Sqrt(hn::Add(hn::Mul(cc, cc), hn::Mul(dd, dd)));
          const Vec largest_a = hn::Set(d, std::max(std::fabs(ddy[m - 1]), std::fabs(ddy[m])));
          const Vec size_x = hn::Add(
              hn::Max(hn::Abs(alpha), hn::Abs(hn::Add(alpha, hn::Mul(beta, q.dt)))), amplitude);
          const Vec size_dx = hn::Add(hn::Abs(beta), hn::Mul(q.w, amplitude));
          const Vec size_a = hn::Add(largest_a, hn::Mul(q.w2, amplitude));
          const Vec start_x = hn::Abs(x[g]), start_dx = hn::Abs(dx[g]);
          const Vec start_a = hn::Abs(hn::Add(hn::Mul(kg.k[hw2], dx[g]), hn::Mul(kg.k[w2], x[g])));
          advance(kg, x[g], dx[g], ddyf, ddym);
          const Vec end_x = hn::Abs(x[g]), end_dx = hn::Abs(dx[g]);
          const Vec end_a = hn::Abs(hn::Add(hn::Mul(kg.k[hw2], dx[g]), hn::Mul(kg.k[w2], x[g])));
          Vec sx, sdx, s_a;
          curvature_bounds(q, size_x, size_dx, size_a, hn::Max(start_x, end_x),
                           hn::Max(start_dx, end_dx), hn::Max(start_a, end_a), largest_a,
                           hn::Set(d, std::fabs(slope)), sx, sdx, s_a);
          bx[g] = hn::Max(bx[g], sx);
          bdx[g] = hn::Max(bdx[g], sdx);
          ba[g] = hn::Max(ba[g], s_a);
          fx[g] = hn::Max(fx[g], end_x);
          fv[g] = hn::Max(fv[g], end_dx);
          fa[g] = hn::Max(fa[g], end_a);
        } else {
          advance(kg, x[g], dx[g], ddyf, ddym);
          take_peaks<true>(kg, x[g], dx[g], fx[g], fv[g], fa[g]);
        }
      }
    }
    for (std::size_t g = 0; g < G; ++g) {
      if constexpr (!closed_form) {
        // W at the samples at most sqrt((|x'| + hw |x|)^2 + wd^2 x^2), and then over the steps.
        const vector_bounds<decltype(d)>& q = *constants_of[g];
        const Vec largest_a = hn::Set(d, input[w].largest_a);
        const Vec slow = hn::Add(fv[g], hn::Mul(q.hw, fx[g]));
        const Vec reach = hn::Mul(
            hn::Add(hn::Sqrt(hn::Add(hn::Mul(slow, slow), hn::Mul(q.wd2, hn::Mul(fx[g], fx[g])))),
                    hn::Mul(q.dt, largest_a)),
            q.inverse_wd);
        curvature_bounds(q, reach, hn::Mul(reach, q.w), hn::Mul(reach, q.w2), fx[g], fv[g], fa[g],
                         largest_a, hn::Set(d, input[w].largest_slope), bx[g], bdx[g], ba[g]);
      }
      hn::StoreU(bx[g], d, row(w, bound_x, g));
      hn::StoreU(bdx[g], d, row(w, bound_dx, g));
      hn::StoreU(ba[g], d, row(w, bound_a, g));
      sd[g] = hn::Max(sd[g], fx[g]);
      sv[g] = hn::Max(sv[g], fv[g]);
      sa[g] = hn::Max(sa[g], fa[g]);
    }
    // The bound of the early stop holds over continuous time, not only at the samples.
    if (to < n - 1 && settled_at_look<true, G>(d, to_come, to + 1, c, first, x, dx, sd, sv, sa)) {
      settled_at = to;
      break;
    }
  }
  for (std::size_t g = 0; g < G; ++g) {
    HWY_ALIGN double out_sd[hn::MaxLanes(d)], out_sv[hn::MaxLanes(d)], out_sa[hn::MaxLanes(d)];
    hn::Store(sd[g], d, out_sd);
    hn::Store(sv[g], d, out_sv);
    hn::Store(sa[g], d, out_sa);
    for (std::size_t l = 0; l < N && first + g * N + l < count; ++l) {
      peaks[first + g * N + l] = {
          .sd = out_sd[l], .sv = out_sv[l], .sa = out_sa[l], .settled_at = settled_at};
    }
  }
}

// Oscillators shortest period first: the vectors with a step of more than short_step radians
// take the closed forms' bounds, one at a time (they need more registers), the rest two.
void RunFirstPass(std::span<const double> ddy, double dt, std::span<const window_input> input,
                  std::span<const oscillator_coefficients> oscillators,
                  std::span<const input_ahead> to_come, first_pass* out, peak_response* peaks) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  const lanes c = lay_out(oscillators, -1);
  const std::size_t count = oscillators.size();
  std::size_t first = 0;
  for (; first < count && std::sqrt(oscillators[first].step.w2) * dt > short_step; first += N)
    run_windows<1, true>(ddy, dt, input, c, first, *out, to_come, peaks, count);
  for (; first + 3 * N <= count; first += 3 * N)
    run_windows<3, false>(ddy, dt, input, c, first, *out, to_come, peaks, count);
  for (; first + 2 * N <= count; first += 2 * N)
    run_windows<2, false>(ddy, dt, input, c, first, *out, to_come, peaks, count);
  for (; first < count; first += N)
    run_windows<1, false>(ddy, dt, input, c, first, *out, to_come, peaks, count);
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace kernels {

first_pass run_first_pass(std::span<const double> ddy, double dt,
                          std::span<const oscillator_coefficients> oscillators,
                          std::span<peak_response> peaks, bool may_stop) {
  first_pass out;
  if (oscillators.empty() || ddy.size() < 2) {
    for (peak_response& p : peaks) p = {};
    return out;
  }
  out.padded = padded(oscillators.size());
  out.windows = (ddy.size() - 2) / continuous_window + 1;
  out.of.assign(out.windows * fields * out.padded, 0.0);
  bool stoppable = may_stop;
  for (const oscillator_coefficients& o : oscillators) stoppable = stoppable && o.step.hw >= 0;
  const std::vector<input_ahead> to_come =
      stoppable ? input_to_come(ddy, dt) : std::vector<input_ahead>{};
  static const auto run = KERNELS_CHOOSE(RunFirstPass);
  std::vector<window_input> input(out.windows);
  for (std::size_t w = 0; w < out.windows; ++w) {
    const std::size_t from = w * continuous_window;
    const std::size_t to = std::min(ddy.size() - 1, from + continuous_window);
    for (std::size_t m = from; m <= to; ++m) {
      input[w].largest_a = std::max(input[w].largest_a, std::fabs(ddy[m]));
      if (m > from) {
        input[w].largest_slope =
            std::max(input[w].largest_slope, std::fabs(ddy[m] - ddy[m - 1]) / dt);
      }
    }
  }
  run(ddy, dt, input, oscillators, to_come, &out, peaks.data());
  return out;
}

}  // namespace kernels
#endif
