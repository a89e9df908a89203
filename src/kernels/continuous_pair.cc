// The continuous peaks of a horizontal pair and of its rotations (continuous.h).
#include <algorithm>
#include <array>
#include <cmath>

#include "kernels/continuous.h"

namespace kernels {
namespace {

std::array<double, angles>& rotated(pair_response& p, ordinate o) {
  return o == ordinate::displacement ? p.sd : o == ordinate::velocity ? p.sv : p.sa;
}

// The motion of u1 c + u2 s in a step: the closed form is linear in the state and the input.
step_motion rotate(const step_motion& m1, const step_motion& m2, double c, double s) {
  return {.hw = m1.hw,
          .wd = m1.wd,
          .w2 = m1.w2,
          .a0 = m1.a0 * c + m2.a0 * s,
          .slope = m1.slope * c + m2.slope * s,
          .alpha = m1.alpha * c + m2.alpha * s,
          .beta = m1.beta * c + m2.beta * s,
          .c = m1.c * c + m2.c * s,
          .d = m1.d * c + m2.d * s};
}

// The peaks of one response at the angles, and the smallest in each block of eight and in all.
struct angle_peaks_in_blocks {
  std::array<double, angles>* peaks;
  double low[angle_blocks];
  double floor;
  void update(std::size_t block) {
    const std::size_t last = std::min<std::size_t>(angles, (block + 1) * angle_block);
    low[block] = *std::min_element(peaks->begin() + block * angle_block, peaks->begin() + last);
    floor = *std::min_element(low, low + angle_blocks);
  }
};

// A bound on |x c + y s| over the angles of a block whose centre is (cc, cs), r = |(x, y)|.
double over_block(double cc, double cs, double x, double y, double r) {
  return std::fabs(cc * x + cs * y) + block_half_width * r;
}

// For each block, the largest |cos| and |sin| of its angles (at most those of its centre plus
// the half width): |u1 cos + u2 sin| <= reach_c b1 + reach_s b2 where |u1| <= b1, |u2| <= b2.
struct block_reach {
  double c[angle_blocks], s[angle_blocks];
};
const block_reach& reach_of_blocks() {
  static const block_reach reach = [] {
    const angle_table& t = unit_vectors();
    block_reach r;
    for (std::size_t b = 0; b < angle_blocks; ++b) {
      r.c[b] = std::fabs(t.centre_c[b]) + block_half_width;
      r.s[b] = std::fabs(t.centre_s[b]) + block_half_width;
    }
    return r;
  }();
  return reach;
}

// Both components over the steps from..to from their states at from: at each step, for each
// wanted response, the blocks of angles and then the angles whose bounds pass their peaks get
// the extrema of the rotated closed form.
void look_at_angles(std::span<const double> u1, std::span<const double> u2,
                    const response::recurrence& r, const bound_constants& k,
                    response::oscillator_state s1, response::oscillator_state s2, std::size_t from,
                    std::size_t to, const bool wanted[3], angle_peaks_in_blocks blocks[3]) {
  const angle_table& t = unit_vectors();
  for (std::size_t m = from + 1; m <= to; ++m) {
    const response::oscillator_state next1 = response::step(r, s1, u1[m - 1], u1[m]);
    const response::oscillator_state next2 = response::step(r, s2, u2[m - 1], u2[m]);
    const step_bounds b1 = bounds_in_step(r, k, s1, next1, u1[m - 1], u1[m]);
    const step_bounds b2 = bounds_in_step(r, k, s2, next2, u2[m - 1], u2[m]);
    bool motions_known = false;
    step_motion m1{}, m2{};
    for (int o = 0; o < 3; ++o) {
      if (!wanted[o]) continue;
      angle_peaks_in_blocks& q = blocks[o];
      const double plain1 = plain_bound(b1.ends[o], b1.size[o], b1.curvature[o], k) * bound_margin;
      const double plain2 = plain_bound(b2.ends[o], b2.size[o], b2.curvature[o], k) * bound_margin;
      if (!(std::sqrt(plain1 * plain1 + plain2 * plain2) > q.floor)) continue;
      const block_reach& reach = reach_of_blocks();
      const double* e1 = b1.ends[o];
      const double* e2 = b2.ends[o];
      const double* l1 = b1.line[o];
      const double* l2 = b2.line[o];
      const double sine = std::sqrt(b1.sine[o] * b1.sine[o] + b2.sine[o] * b2.sine[o]);
      const double curvature =
          std::sqrt(b1.curvature[o] * b1.curvature[o] + b2.curvature[o] * b2.curvature[o]) *
          k.eighth_dt2;
      // The radii of the lines' and values' ends, once a step passes a block's reach.
      double radius[4];
      bool radii_known = false;
      for (std::size_t block = 0; block < angle_blocks; ++block) {
        if (!(reach.c[block] * plain1 + reach.s[block] * plain2 > q.low[block])) continue;
        if (!radii_known) {
          const double* ends[4][2] = {
              {&l1[0], &l2[0]}, {&l1[1], &l2[1]}, {&e1[0], &e2[0]}, {&e1[1], &e2[1]}};
          for (int i = 0; i < 4; ++i) {
            const double x = *ends[i][0], y = *ends[i][1];
            radius[i] = std::sqrt(x * x + y * y);
          }
          radii_known = true;
        }
        const double cc = t.centre_c[block], cs = t.centre_s[block];
        const double line = std::max(over_block(cc, cs, l1[0], l2[0], radius[0]),
                                     over_block(cc, cs, l1[1], l2[1], radius[1]));
        const double ends = std::max(over_block(cc, cs, e1[0], e2[0], radius[2]),
                                     over_block(cc, cs, e1[1], e2[1], radius[3]));
        if (!(std::min(line + sine, ends + curvature) * bound_margin > q.low[block])) continue;
        bool raised = false;
        const std::size_t last = std::min<std::size_t>(angles, (block + 1) * angle_block);
        // The cheap bounds of the block's angles side by side (a loop the compiler puts in
        // vectors); the cubic only where they pass.
        const std::size_t first_angle = block * angle_block;
        double sizes[angle_block], cheap[angle_block];
        for (std::size_t i = 0; i < angle_block; ++i) {
          const double c = t.c[first_angle + i], s = t.s[first_angle + i];
          const double ac = std::fabs(c), as = std::fabs(s);
          const double line0 = std::fabs(l1[0] * c + l2[0] * s);
          const double line1 = std::fabs(l1[1] * c + l2[1] * s);
          const double end0 = std::fabs(e1[0] * c + e2[0] * s);
          const double end1 = std::fabs(e1[1] * c + e2[1] * s);
          sizes[i] = (line0 > line1 ? line0 : line1) + (ac * b1.sine[o] + as * b2.sine[o]);
          const double curved = (end0 > end1 ? end0 : end1) +
                                (ac * b1.curvature[o] + as * b2.curvature[o]) * k.eighth_dt2;
          cheap[i] = (sizes[i] < curved ? sizes[i] : curved) * bound_margin;
        }
        for (std::size_t a = first_angle; a < last; ++a) {
          double& peak = (*q.peaks)[a];
          if (!(cheap[a - first_angle] > peak)) continue;
          const double c = t.c[a], s = t.s[a], ac = std::fabs(c), as = std::fabs(s);
          const double rotated_ends[4] = {e1[0] * c + e2[0] * s, e1[1] * c + e2[1] * s,
                                          e1[2] * c + e2[2] * s, e1[3] * c + e2[3] * s};
          const double size = sizes[a - first_angle];
          const double bound =
              bound_in_step(rotated_ends, size, ac * b1.curvature[o] + as * b2.curvature[o],
                            ac * b1.fourth[o] + as * b2.fourth[o], k, peak);
          if (!(bound > peak)) continue;
          if (!motions_known) {
            m1 = motion_in_step(r, s1, u1[m - 1], u1[m], k.dt);
            m2 = motion_in_step(r, s2, u2[m - 1], u2[m], k.dt);
            motions_known = true;
          }
          const double v = interior_peak(rotate(m1, m2, c, s), ordinates[o], k.dt);
          if (v > peak) {
            peak = v;
            raised = true;
          }
        }
        if (raised) q.update(block);
      }
    }
    s1 = next1;
    s2 = next2;
  }
}

// The rotations of oscillator i, from their peaks at the samples: the windows where the radius
// of the components' bounds passes the smallest peak are looked at step by step.
void refine_rotations(std::span<const double> u1, std::span<const double> u2, double dt,
                      const first_pass& p1, const first_pass& p2, std::size_t i,
                      const response::recurrence& r, pair_response& p) {
  const bound_constants k = constants_of(r, dt);
  angle_peaks_in_blocks blocks[3];
  for (int o = 0; o < 3; ++o) {
    blocks[o].peaks = &rotated(p, ordinates[o]);
    for (std::size_t block = 0; block < angle_blocks; ++block) blocks[o].update(block);
  }
  const window_field bound_fields[3] = {bound_x, bound_dx, bound_a};
  const block_reach& reach = reach_of_blocks();
  const std::size_t end = u1.size() - 1;
  for (std::size_t w = 0; w * continuous_window < end; ++w) {
    bool wanted[3], any = false;
    for (int o = 0; o < 3; ++o) {
      const double b1 = p1.at(w, bound_fields[o], i) * bound_margin;
      const double b2 = p2.at(w, bound_fields[o], i) * bound_margin;
      wanted[o] = false;
      if (!(std::sqrt(b1 * b1 + b2 * b2) > blocks[o].floor)) continue;
      for (std::size_t block = 0; block < angle_blocks && !wanted[o]; ++block) {
        wanted[o] = reach.c[block] * b1 + reach.s[block] * b2 > blocks[o].low[block];
      }
      any = any || wanted[o];
    }
    if (!any) continue;
    const std::size_t from = w * continuous_window;
    look_at_angles(u1, u2, r, k, {p1.at(w, start_x, i), p1.at(w, start_dx, i)},
                   {p2.at(w, start_x, i), p2.at(w, start_dx, i)}, from,
                   std::min(end, from + continuous_window), wanted, blocks);
  }
}

}  // namespace

void run_continuous_pair(std::span<const double> first, std::span<const double> second, double dt,
                         std::span<const oscillator_coefficients> oscillators,
                         std::span<pair_response> out) {
  const std::size_t n = std::min(first.size(), second.size());
  if (n < 2) {
    for (pair_response& p : out) p = {};
    return;
  }
  first = first.first(n);
  second = second.first(n);
  const shortest_first sorted = sort_shortest_first(oscillators);
  const std::size_t count = sorted.oscillators.size();
  // The rotations' peaks at the samples: the pair kernel at one step per sample.
  const std::vector<int> one_step(count, 1);
  std::vector<pair_response> found(count);
  run_pair({.first = first,
            .second = second,
            .interval = dt,
            .oscillators = sorted.oscillators,
            .substeps_of = one_step},
           found);
  // Each component's first pass runs to the end: the rotations need every window.
  std::vector<peak_response> at1(count), at2(count);
  const first_pass p1 = run_first_pass(first, dt, sorted.oscillators, at1, false);
  const first_pass p2 = run_first_pass(second, dt, sorted.oscillators, at2, false);
  for (std::size_t i = 0; i < count; ++i) {
    const response::recurrence& r = sorted.oscillators[i].step;
    found[i].first = at1[i];
    found[i].second = at2[i];
    found[i].settled_at = 0;
    refine_peaks(first, dt, p1, i, r, found[i].first);
    refine_peaks(second, dt, p2, i, r, found[i].second);
    refine_rotations(first, second, dt, p1, p2, i, r, found[i]);
  }
  for (std::size_t j = 0; j < count; ++j) out[sorted.order[j]] = found[j];
}

void run_continuous_pair_scalar(std::span<const double> first, std::span<const double> second,
                                double dt, std::span<const oscillator_coefficients> oscillators,
                                std::span<pair_response> out) {
  const angle_table& t = unit_vectors();
  const std::size_t n = std::min(first.size(), second.size());
  for (std::size_t i = 0; i < oscillators.size(); ++i) {
    const response::recurrence& r = oscillators[i].step;
    pair_response& p = out[i] = {};
    response::oscillator_state s1, s2;
    for (std::size_t m = 1; m < n; ++m) {
      const response::oscillator_state next1 = response::step(r, s1, first[m - 1], first[m]);
      const response::oscillator_state next2 = response::step(r, s2, second[m - 1], second[m]);
      const step_motion m1 = motion_in_step(r, s1, first[m - 1], first[m], dt);
      const step_motion m2 = motion_in_step(r, s2, second[m - 1], second[m], dt);
      const double a1 = response::absolute_acceleration(r, next1);
      const double a2 = response::absolute_acceleration(r, next2);
      const double end1[3] = {next1.x, next1.dx, a1}, end2[3] = {next2.x, next2.dx, a2};
      for (int o = 0; o < 3; ++o) {
        double& q1 = peak_of(p.first, ordinates[o]);
        double& q2 = peak_of(p.second, ordinates[o]);
        q1 = std::max({q1, std::fabs(end1[o]), interior_peak(m1, ordinates[o], dt)});
        q2 = std::max({q2, std::fabs(end2[o]), interior_peak(m2, ordinates[o], dt)});
        std::array<double, angles>& peaks = rotated(p, ordinates[o]);
        for (int a = 0; a < angles; ++a) {
          peaks[a] = std::max({peaks[a], std::fabs(end1[o] * t.c[a] + end2[o] * t.s[a]),
                               interior_peak(rotate(m1, m2, t.c[a], t.s[a]), ordinates[o], dt)});
        }
      }
      s1 = next1;
      s2 = next2;
    }
  }
}

}  // namespace kernels
