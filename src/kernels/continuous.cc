// The second pass of the continuous peaks, and their definition for tests.
#include "kernels/continuous.h"

#include <algorithm>
#include <cmath>

#include "kernels/step_extrema.h"

namespace kernels {

shortest_first sort_shortest_first(std::span<const oscillator_coefficients> oscillators) {
  shortest_first s{.order = std::vector<std::size_t>(oscillators.size()), .oscillators = {}};
  for (std::size_t i = 0; i < s.order.size(); ++i) s.order[i] = i;
  std::stable_sort(s.order.begin(), s.order.end(), [&](std::size_t a, std::size_t b) {
    return oscillators[a].step.w2 > oscillators[b].step.w2;
  });
  for (std::size_t i : s.order) s.oscillators.push_back(oscillators[i]);
  return s;
}

namespace {

// The steps from..to (samples) run again from the state at from: where a step's bound passes a
// peak, the extrema inside it raise the peak.
void look_inside(std::span<const double> ddy, const response::recurrence& r,
                 const bound_constants& k, response::oscillator_state s, std::size_t from,
                 std::size_t to, const bool wanted[3], peak_response& p) {
  for (std::size_t m = from + 1; m <= to; ++m) {
    const double a0 = ddy[m - 1], a1 = ddy[m];
    const response::oscillator_state next = response::step(r, s, a0, a1);
    const step_bounds b = bounds_in_step(r, k, s, next, a0, a1);
    bool motion_known = false;
    step_motion motion{};
    for (int o = 0; o < 3; ++o) {
      double& peak = peak_of(p, ordinates[o]);
      if (!wanted[o] ||
          !(bound_in_step(b.ends[o], b.size[o], b.curvature[o], b.fourth[o], k, peak) > peak)) {
        continue;
      }
      if (!motion_known) motion = motion_in_step(r, s, a0, a1, k.dt);
      motion_known = true;
      peak = std::max(peak, interior_peak(motion, ordinates[o], k.dt));
    }
    s = next;
  }
}

}  // namespace

void refine_peaks(std::span<const double> ddy, double dt, const first_pass& pass, std::size_t i,
                  const response::recurrence& r, peak_response& p) {
  const bound_constants k = constants_of(r, dt);
  const std::size_t end = p.settled_at == 0 ? ddy.size() - 1 : p.settled_at;
  for (std::size_t w = 0; w * continuous_window < end; ++w) {
    const double b[3] = {pass.at(w, bound_x, i), pass.at(w, bound_dx, i), pass.at(w, bound_a, i)};
    bool wanted[3], any = false;
    for (int o = 0; o < 3; ++o) {
      wanted[o] = b[o] * bound_margin > peak_of(p, ordinates[o]);
      any = any || wanted[o];
    }
    if (!any) continue;
    const std::size_t from = w * continuous_window;
    look_inside(ddy, r, k, {pass.at(w, start_x, i), pass.at(w, start_dx, i)}, from,
                std::min(end, from + continuous_window), wanted, p);
  }
}

void run_continuous(std::span<const double> ddy, double dt,
                    std::span<const oscillator_coefficients> oscillators,
                    std::span<peak_response> peaks) {
  const shortest_first sorted = sort_shortest_first(oscillators);
  std::vector<peak_response> found(sorted.oscillators.size());
  const first_pass pass = run_first_pass(ddy, dt, sorted.oscillators, found, true);
  for (std::size_t i = 0; i < found.size(); ++i) {
    refine_peaks(ddy, dt, pass, i, sorted.oscillators[i].step, found[i]);
  }
  for (std::size_t j = 0; j < found.size(); ++j) peaks[sorted.order[j]] = found[j];
}

void run_continuous_scalar(std::span<const double> ddy, double dt,
                           std::span<const oscillator_coefficients> oscillators,
                           std::span<peak_response> peaks) {
  for (std::size_t i = 0; i < oscillators.size(); ++i) {
    const response::recurrence& r = oscillators[i].step;
    peak_response& p = peaks[i] = {};
    response::oscillator_state s;
    for (std::size_t m = 1; m < ddy.size(); ++m) {
      const response::oscillator_state next = response::step(r, s, ddy[m - 1], ddy[m]);
      const step_motion motion = motion_in_step(r, s, ddy[m - 1], ddy[m], dt);
      const double at_end[3] = {std::fabs(next.x), std::fabs(next.dx),
                                std::fabs(response::absolute_acceleration(r, next))};
      for (int o = 0; o < 3; ++o) {
        double& peak = peak_of(p, ordinates[o]);
        peak = std::max({peak, at_end[o], interior_peak(motion, ordinates[o], dt)});
      }
      s = next;
    }
  }
}

}  // namespace kernels
