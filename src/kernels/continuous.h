// Peaks over continuous time: Sd, Sv and Sa as the largest |x|, |x'| and |x'' + a| of the exact
// response to a ground motion linear between samples, between the samples as well as at them.
// One step per sample, no sub-steps: a first pass in vector lanes takes the peaks at the samples
// and, for each window of samples, the state at its start and what bounds the response inside
// it; a second pass looks again, one oscillator at a time, only at the windows and then the
// steps where the response between two samples could rise above the peak, and there finds the
// extrema on the closed form (step_extrema.h).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "kernels/batch.h"
#include "kernels/pair.h"
#include "kernels/step_extrema.h"

namespace kernels {

// Samples per window of the first pass.
inline constexpr std::size_t continuous_window = 32;

// What the first pass keeps of each window, one row of lanes per field: the state at the
// window's start, and bounds on |x|, |x'| and |x'' + a| over its continuous time.
enum window_field { start_x, start_dx, bound_x, bound_dx, bound_a, fields };

// The input over a window: the largest |a| and |a'|.
struct window_input {
  double largest_a = 0;
  double largest_slope = 0;
};

// Periods whose steps are longer than this many radians of the oscillator take the closed
// forms' bounds in the first pass: for them the curvature bounds alone pass too many windows.
inline constexpr double short_step = 0.6;

struct first_pass {
  std::size_t padded = 0;   // lanes: the oscillator count rounded up to whole vectors
  std::size_t windows = 0;  // of the record (those past where a group settled hold zeros)
  std::vector<double> of;   // field f of window w, lane l: of[(w * fields + f) * padded + l]
  double at(std::size_t w, window_field f, std::size_t lane) const {
    return of[(w * fields + f) * padded + lane];
  }
};

// The first pass in vector lanes, oscillators shortest period first: the peaks at the samples
// (and settled_at, where may_stop) in peaks.
first_pass run_first_pass(std::span<const double> ddy, double dt,
                          std::span<const oscillator_coefficients> oscillators,
                          std::span<peak_response> peaks, bool may_stop);

// The second pass for oscillator i of the first: the peaks over continuous time, from those at
// the samples.
void refine_peaks(std::span<const double> ddy, double dt, const first_pass& pass, std::size_t i,
                  const response::recurrence& r, peak_response& p);

// The peak of a response of p.
inline double& peak_of(peak_response& p, ordinate o) {
  return o == ordinate::displacement ? p.sd : o == ordinate::velocity ? p.sv : p.sa;
}

// The oscillators shortest period first (order[j]: where oscillator j came from).
struct shortest_first {
  std::vector<std::size_t> order;
  std::vector<oscillator_coefficients> oscillators;
};
shortest_first sort_shortest_first(std::span<const oscillator_coefficients> oscillators);

// The peaks over continuous time of each oscillator (coefficients of one step of dt).
void run_continuous(std::span<const double> ddy, double dt,
                    std::span<const oscillator_coefficients> oscillators,
                    std::span<peak_response> peaks);

// The definition, for tests: every step's extrema looked for, no bound, one oscillator after
// the other.
void run_continuous_scalar(std::span<const double> ddy, double dt,
                           std::span<const oscillator_coefficients> oscillators,
                           std::span<peak_response> peaks);

// A horizontal pair (pair.h): each component's peaks and, at each angle, the peaks of the
// rotated responses over continuous time. The rotations' peaks at the samples come from the
// pair kernel at one step per sample; then, in the windows and steps where the radius of the
// two components' bounds passes the smallest peak of the angles, each angle's bound (|cos| and
// |sin| times the components' bounds, summed), and where that passes its peak, the extrema of
// the rotated closed form.
void run_continuous_pair(std::span<const double> first, std::span<const double> second, double dt,
                         std::span<const oscillator_coefficients> oscillators,
                         std::span<pair_response> out);

// Its definition, for tests: every angle's extrema in every step.
void run_continuous_pair_scalar(std::span<const double> first, std::span<const double> second,
                                double dt, std::span<const oscillator_coefficients> oscillators,
                                std::span<pair_response> out);

}  // namespace kernels
