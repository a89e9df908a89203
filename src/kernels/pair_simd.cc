// The pair kernel in vector lanes (pair.h): each lane one oscillator driven by both components,
// computing what the scalar twin computes for it, operation for operation; the rotated peaks
// are those of the twin's every angle at every point, exactly: a point is looked at only if it
// can raise the peak at some angle.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/pair_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "kernels/lanes-inl.h"
#include "kernels/pair.h"
#include "kernels/rotd_angles.h"

#ifndef SDOF_KERNELS_PAIR_ONCE
#define SDOF_KERNELS_PAIR_ONCE
namespace kernels {

inline constexpr int rotated_ordinates = 3;  // displacement, velocity, acceleration

// The peaks at every angle of one rotated ordinate of one oscillator, and what prunes the points
// looked at: the smallest peak of each block of eight angles, and of all.
// Directions (x, y) fall into sectors by q = x / (|x| + y) once turned into the upper half plane
// (q runs from 1 at 0 degrees through 0 at 90 to -1 at 180; beyond_limits): no angle is
// computed.
inline constexpr int sectors = 32;

// For a direction in sector s and the angles of block b, 1 / the largest |cos| between them: a
// point of radius r in that sector projects on any angle of the block at most r / weight.
struct sector_weights {
  alignas(64) double of[sectors][padded_angles];
};
const sector_weights& weights_of_sectors();

// A window's points lie in the octagon |x| <= A, |y| <= B, |x + y| <= C, |x - y| <= D. Writing
// the direction (c, s) of each angle as a combination of the two normals of the octagon about
// it, (c, s) = a (1, 0) + b (1, 1) between 0 and 45 degrees and so on, bounds every point's
// projection on it by |a| A + |b| C: of[k][angle] is the weight of the k-th of A, B, C, D.
struct octagon_weights {
  alignas(64) double of[4][padded_angles];
};
const octagon_weights& weights_of_octagon();

struct rotation {
  alignas(64) double peak[padded_angles];
  alignas(64) double block_low[padded_blocks];
  // The squared radius under which a point of each sector cannot raise any peak.
  alignas(64) double limit[sectors];
  double floor;
  bool stale;  // a fold raised some peak by more than stale_rise since the limits were taken
};

// A point whose squared radius is at most this cannot raise any peak: its projection on any
// angle, rounded, stays under the smallest peak (the margin is far above the rounding of the
// radius and of the projections, a few units of 2^-53). Where the square overflows, the points
// whose squares overflow are looked at; where it nears the underflow and rounding is no longer
// relative, every point is.
inline double threshold_of(double floor) {
  const double square = floor * floor;
  if (!(square >= 1e-280)) return -1;
  return std::min(square, std::numeric_limits<double>::max()) * (1 - 1e-11);
}

inline void start_rotation(rotation& r) {
  std::fill(r.peak, r.peak + angles, 0.0);
  std::fill(r.peak + angles, r.peak + padded_angles, HUGE_VAL);  // never the lowest of a block
  std::fill(r.block_low, r.block_low + angle_blocks, 0.0);
  std::fill(r.block_low + angle_blocks, r.block_low + padded_blocks, HUGE_VAL);
  std::fill(r.limit, r.limit + sectors, threshold_of(0));  // no peak yet: every point may raise one
  r.floor = 0;
  r.stale = false;
}

// The points of one rotation that passed its limits while a window ran, folded together when it
// ends (or when the queue is full): each angle's peak is the largest of its values, whatever
// their order, and the blocks' lows and the floor are brought up to date once.
inline constexpr std::size_t waiting_capacity = 64;
struct waiting {
  alignas(64) double x[waiting_capacity];
  alignas(64) double y[waiting_capacity];
  alignas(64) double r2[waiting_capacity];
  std::size_t count = 0;
};

// The sector limits lag the peaks until one fold of a queue raises some peak by more than this
// part: they stay sound (the peaks only rise). Taken after every window they cost more than
// the points they kept out; taken when the rises since they were last taken add up to this
// part, they are taken more often and the kernel is slower.
inline constexpr double stale_rise = 0.2;

}  // namespace kernels
#endif

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

template <class D>
std::uint64_t bits_of(D d, hn::Mask<D> m) {
  HWY_ALIGN uint8_t bytes[8] = {};
  hn::StoreMaskBits(d, m, bytes);
  return bytes[0];
}

// Folds the waiting points into the blocks of eight angles that each can raise: those where its
// projection on the block's centre plus its radius times block_half_width reaches the block's
// smallest peak as it stood before the first of them (the lows only rise: the test stays
// sound). Each angle is computed as the scalar twin computes it, and takes a value only if it
// exceeds it, as the twin's maximum does. Then the lows of the blocks raised, and the floor.
HWY_NOINLINE void FoldPoints(const angle_table& t, waiting& w, rotation& r) {
  const hn::CappedTag<double, angle_block> d;
  // First the blocks that some point opens, then each of them, its angles kept in registers
  // while the points are folded in.
  std::uint32_t any = 0;
  for (std::size_t i = 0; i < w.count; ++i) {
    const auto vx = hn::Set(d, w.x[i]), vy = hn::Set(d, w.y[i]);
    // The radius from the squares, or where they may have underflowed from |x| + |y|; and room
    // for the rounding of projections near the underflow.
    const double radius = w.r2[i] >= 1e-280 ? std::sqrt(w.r2[i] * (1 + 1e-12))
                                            : std::fabs(w.x[i]) + std::fabs(w.y[i]);
    const auto slack = hn::Set(d, radius * block_half_width + 1e-300);
    std::uint32_t bits = 0;
    for (std::size_t b0 = 0; b0 < padded_blocks; b0 += hn::Lanes(d)) {
      const auto centre = hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.centre_c + b0)),
                                          hn::Mul(vy, hn::Load(d, t.centre_s + b0))));
      const auto open = hn::Not(hn::Lt(hn::Add(centre, slack), hn::Load(d, r.block_low + b0)));
      bits |= static_cast<std::uint32_t>(bits_of(d, open)) << b0;
    }
    any |= bits;
  }
  any &= (std::uint32_t{1} << angle_blocks) - 1;
  std::uint32_t raised = 0;  // the blocks whose peaks rose
  bool big_rise = false;     // and whether any rose by more than stale_rise
  for (std::uint32_t blocks = any; blocks != 0; blocks &= blocks - 1) {
    const std::size_t b = static_cast<std::size_t>(__builtin_ctz(blocks));
    for (std::size_t a = b * angle_block; a < (b + 1) * angle_block; a += hn::Lanes(d)) {
      const auto c = hn::Load(d, t.c + a), sine = hn::Load(d, t.s + a);
      const auto old = hn::Load(d, r.peak + a);
      // A point that does not open the block stays below its low, and so below every peak of
      // it: all are folded, without a branch, in two chains that do not wait for each other.
      const auto along = [&](std::size_t i) HWY_ATTR {
        return hn::Abs(hn::Add(hn::Mul(hn::Set(d, w.x[i]), c), hn::Mul(hn::Set(d, w.y[i]), sine)));
      };
      auto even = old, odd = old;
      std::size_t i = 0;
      for (; i + 2 <= w.count; i += 2) {
        const auto e = along(i), o = along(i + 1);
        even = hn::IfThenElse(hn::Gt(e, even), e, even);
        odd = hn::IfThenElse(hn::Gt(o, odd), o, odd);
      }
      if (i < w.count) {
        const auto e = along(i);
        even = hn::IfThenElse(hn::Gt(e, even), e, even);
      }
      const auto peak = hn::IfThenElse(hn::Gt(odd, even), odd, even);
      hn::Store(peak, d, r.peak + a);
      raised |= static_cast<std::uint32_t>(!hn::AllFalse(d, hn::Gt(peak, old))) << b;
      big_rise |= !hn::AllFalse(d, hn::Gt(peak, hn::Mul(old, hn::Set(d, 1 + stale_rise))));
    }
  }
  w.count = 0;
  if (raised == 0) return;
  for (std::uint32_t bits = raised; bits != 0; bits &= bits - 1) {
    const std::size_t b = static_cast<std::size_t>(__builtin_ctz(bits));
    auto low = hn::Load(d, r.peak + b * angle_block);
    for (std::size_t a = b * angle_block + hn::Lanes(d); a < (b + 1) * angle_block;
         a += hn::Lanes(d)) {
      low = hn::Min(low, hn::Load(d, r.peak + a));
    }
    r.block_low[b] = hn::GetLane(hn::MinOfLanes(d, low));
  }
  auto low = hn::Load(d, r.block_low);
  for (std::size_t b = hn::Lanes(d); b < padded_blocks; b += hn::Lanes(d)) {
    low = hn::Min(low, hn::Load(d, r.block_low + b));
  }
  r.floor = hn::GetLane(hn::MinOfLanes(d, low));
  r.stale = r.stale || big_rise;
}

// The limits of the sectors from the peaks (still bounds later: the peaks only rise).
HWY_NOINLINE void UpdateLimits(rotation& r) {
  const hn::CappedTag<double, angle_block> d;
  const sector_weights& w = weights_of_sectors();
  for (int s = 0; s < sectors; ++s) {
    auto low = hn::Set(d, HUGE_VAL);
    for (std::size_t a = 0; a < padded_angles; a += hn::Lanes(d)) {
      low = hn::Min(low, hn::Mul(hn::Load(d, r.peak + a), hn::Load(d, w.of[s] + a)));
    }
    const double limit = hn::GetLane(hn::MinOfLanes(d, low));
    r.limit[s] = threshold_of(limit);
  }
  r.stale = false;
}

// Whether a point of the octagon (A, B, C, D: octagon_weights) may raise some peak of r: its
// bound on some angle's projection, with room for the rounding of the octagon's sides and of
// the projections (a few units of 2^-53 of A + B, which bounds every point's radius), reaches
// the angle's peak.
HWY_NOINLINE bool OctagonReaches(const octagon_weights& w, const double* sides, const rotation& r) {
  const hn::CappedTag<double, angle_block> d;
  const auto a = hn::Set(d, sides[0]), b = hn::Set(d, sides[1]);
  const auto c = hn::Set(d, sides[2]), e = hn::Set(d, sides[3]);
  const auto slack = hn::Set(d, (sides[0] + sides[1]) * 1e-12 + 1e-300);
  for (std::size_t i = 0; i < padded_angles; i += hn::Lanes(d)) {
    const auto bound = hn::Add(
        hn::Add(
            hn::Add(hn::Mul(a, hn::Load(d, w.of[0] + i)), hn::Mul(b, hn::Load(d, w.of[1] + i))),
            hn::Add(hn::Mul(c, hn::Load(d, w.of[2] + i)), hn::Mul(e, hn::Load(d, w.of[3] + i)))),
        slack);
    if (!hn::AllTrue(d, hn::Lt(bound, hn::Load(d, r.peak + i)))) return true;
  }
  return false;
}

template <class D>
using Vec = hn::Vec<D>;

// What a vector of oscillators holds beside its registers: the rotations of each lane, the
// points waiting to be folded into them, and the squared radius a point must pass to be looked
// at.
template <std::size_t N>
struct group_state {
  rotation of[rotated_ordinates][N];
  waiting queue[rotated_ordinates][N];
  alignas(64) double threshold[rotated_ordinates][N];

  void fold_waiting(const angle_table& t, int q, std::size_t l) {
    FoldPoints(t, queue[q][l], of[q][l]);
    threshold[q][l] = threshold_of(of[q][l].floor);
  }
  // Folds what waits and, if a fold raised some peak far enough, takes the limits again.
  void catch_up(const angle_table& t, int q, std::size_t l) {
    if (queue[q][l].count != 0) fold_waiting(t, q, l);
    if (of[q][l].stale) UpdateLimits(of[q][l]);
  }
  // Whether the queue was full and folded (which may raise the threshold).
  bool wait(const angle_table& t, int q, std::size_t l, double x, double y, double r2) {
    waiting& w = queue[q][l];
    w.x[w.count] = x;
    w.y[w.count] = y;
    w.r2[w.count] = r2;
    if (++w.count < waiting_capacity) return false;
    fold_waiting(t, q, l);
    return true;
  }
};

// Queues the points of the lanes in bits for their rotations (lane l's for oscillator
// oscillator_of[l] of the group, or l); whether some queue was folded.
template <std::size_t N>
HWY_NOINLINE bool QueueLanes(const angle_table& t, group_state<N>& s, int q, const double* u1,
                             const double* u2, const double* r2, std::uint64_t bits,
                             const std::int64_t* oscillator_of = nullptr) {
  bool folded = false;
  for (; bits != 0; bits &= bits - 1) {
    const std::size_t l = static_cast<std::size_t>(__builtin_ctzll(bits));
    const std::size_t o = oscillator_of ? static_cast<std::size_t>(oscillator_of[l]) : l;
    folded |= s.wait(t, q, o, u1[l], u2[l], r2[l]);
  }
  return folded;
}

// The lanes of m whose point (x, y) lies beyond the limit of its sector (rotation::limit of
// each lane, lanes stride doubles apart from limits): the others cannot raise any peak.
template <class D>
HWY_INLINE hn::Mask<D> beyond_limits(D d, Vec<D> x, Vec<D> y, Vec<D> r2, hn::Mask<D> m,
                                     const double* limits, const std::int64_t* lane_offsets) {
  const hn::RebindToSigned<D> di;
  const Vec<D> zero = hn::Zero(d);
  const auto flip = hn::Or(hn::Lt(y, zero), hn::And(hn::Eq(y, zero), hn::Lt(x, zero)));
  const Vec<D> xs = hn::IfThenElse(flip, hn::Neg(x), x);
  const Vec<D> q = hn::Div(xs, hn::Add(hn::Abs(xs), hn::Abs(y)));
  const auto valid = hn::And(hn::Ge(q, hn::Set(d, -1.0)), hn::Le(q, hn::Set(d, 1.0)));
  const Vec<D> f =
      hn::IfThenElseZero(valid, hn::Mul(hn::Sub(hn::Set(d, 1.0), q), hn::Set(d, sectors / 2)));
  const auto index =
      hn::Add(hn::Min(hn::ConvertTo(di, f), hn::Set(di, sectors - 1)), hn::LoadU(di, lane_offsets));
  const Vec<D> limit = hn::GatherIndex(d, limits, index);
  return hn::AndNot(hn::And(valid, hn::Le(r2, limit)), m);
}

// Whether no later sample can raise any rotated peak of the vector: for any angle t the rotated
// motion is the response to the rotated input, and its energy W (see settled) is that of the
// rotated state, W^2 = cos^2 B11 + 2 cos sin B12 + sin^2 B22 with B the energy's bilinear form
// of the two components' states (at most sqrt(W1^2 + W2^2), cos^2 + sin^2 being 1 to within
// the margin); its input is at most |cos t| |a1| + |sin t| |a2| <= |a1| + |a2|. First against
// each rotation's smallest peak, then, for the lanes where that fails, angle by angle: a motion
// along one direction has almost no energy across it, where the peaks are smallest.
template <std::size_t N, class D>
bool rotations_settled(D d, const lanes& c, std::size_t first, std::size_t live,
                       const group_state<N>& s, Vec<D> x1, Vec<D> dx1, Vec<D> x2, Vec<D> dx2,
                       const input_ahead& ahead1, const input_ahead& ahead2) {
  const double* rows = c.of(hw2, first);
  const auto row = [&](bound_factor i) {
    return hn::LoadU(d, rows + static_cast<std::size_t>(i) * c.padded);
  };
  const Vec<D> two_hw = row(two_hw_row), w_squared = row(w_squared_row), wd = row(wd_row);
  // The energy's bilinear form, B(s, s) the energy of s.
  const auto form = [&](Vec<D> x, Vec<D> dx, Vec<D> y, Vec<D> dy) {
    return hn::Add(hn::Add(hn::Mul(dx, dy), hn::Mul(hn::Mul(two_hw, hn::Set(d, 0.5)),
                                                    hn::Add(hn::Mul(x, dy), hn::Mul(y, dx)))),
                   hn::Mul(w_squared, hn::Mul(x, y)));
  };
  const Vec<D> b11 = form(x1, dx1, x1, dx1), b22 = form(x2, dx2, x2, dx2);
  // The size of the terms of each component's energy, which bounds the rounding of the form: the
  // energy itself may be far smaller, down to (1 - h) times it.
  const auto terms = [&](Vec<D> x, Vec<D> dx) {
    return hn::Add(hn::Add(hn::Mul(dx, dx), hn::Abs(hn::Mul(two_hw, hn::Mul(x, dx)))),
                   hn::Mul(w_squared, hn::Mul(x, x)));
  };
  HWY_ALIGN double floor[rotated_ordinates][hn::MaxLanes(d)];
  for (int q = 0; q < rotated_ordinates; ++q) {
    for (std::size_t l = 0; l < N; ++l) floor[q][l] = s.of[q][l].floor;
  }
  const auto oscillators = hn::FirstN(d, live);
  const auto tiny = hn::Not(hn::Gt(hn::Load(d, floor[0]), hn::Set(d, least_settling_peak)));
  if (!hn::AllFalse(d, hn::And(tiny, oscillators))) return false;
  const input_ahead both{.integral = ahead1.integral + ahead2.integral,
                         .largest = ahead1.largest + ahead2.largest};
  const auto below =
      hn::Or(hn::Not(oscillators),
             below_peaks<true>(d, rows, c.padded, hn::Add(b11, b22), both, hn::Load(d, floor[0]),
                               hn::Load(d, floor[1]), hn::Load(d, floor[2])));
  if (hn::AllTrue(d, below)) return true;

  HWY_ALIGN double e11[N], e12[N], e22[N], size[N], inverse_hw[N], wd_of[N];
  HWY_ALIGN double scale[rotated_ordinates][N];
  hn::Store(hn::Add(terms(x1, dx1), terms(x2, dx2)), d, size);
  hn::Store(b11, d, e11);
  hn::Store(form(x1, dx1, x2, dx2), d, e12);
  hn::Store(b22, d, e22);
  hn::Store(row(inverse_hw_row), d, inverse_hw);
  hn::Store(wd, d, wd_of);
  hn::Store(hn::Set(d, 1.0), d, scale[0]);
  hn::Store(row(w_row), d, scale[1]);
  hn::Store(w_squared, d, scale[2]);
  const hn::CappedTag<double, angle_block> da;
  const angle_table& t = unit_vectors();
  const auto i1 = hn::Set(da, ahead1.integral), i2 = hn::Set(da, ahead2.integral);
  const auto l1 = hn::Set(da, ahead1.largest), l2 = hn::Set(da, ahead2.largest);
  for (std::uint64_t bits = bits_of(d, hn::Not(below)); bits != 0; bits &= bits - 1) {
    const std::size_t l = static_cast<std::size_t>(__builtin_ctzll(bits));
    const auto f11 = hn::Set(da, e11[l]), f12 = hn::Set(da, 2 * e12[l]), f22 = hn::Set(da, e22[l]);
    // The rounding of the form, which may cancel: a few units of 2^-53 of the size of its
    // terms (B12's are at most the sum of B11's and B22's).
    const auto rounding = hn::Set(da, size[l] * 1e-12);
    const auto ihw = hn::Set(da, inverse_hw[l]), frequency = hn::Set(da, wd_of[l]);
    double factor[rotated_ordinates];
    for (int q = 0; q < rotated_ordinates; ++q) factor[q] = scale[q][l] * (1 + 1e-6);
    const double* peak[rotated_ordinates] = {s.of[0][l].peak, s.of[1][l].peak, s.of[2][l].peak};
    for (std::size_t a = 0; a < padded_angles; a += hn::Lanes(da)) {
      const auto cosine = hn::Load(da, t.c + a), sine = hn::Load(da, t.s + a);
      const auto energy_squared = hn::Add(hn::Add(hn::Add(hn::Mul(hn::Mul(cosine, cosine), f11),
                                                          hn::Mul(hn::Mul(cosine, sine), f12)),
                                                  hn::Mul(hn::Mul(sine, sine), f22)),
                                          rounding);
      // Not a number (squares that overflowed) stays one, and so never below a peak.
      const auto energy_here = hn::Sqrt(
          hn::IfThenElse(hn::Lt(energy_squared, hn::Zero(da)), hn::Zero(da), energy_squared));
      const auto cos_abs = hn::Abs(cosine), sin_abs = hn::Abs(sine);
      const auto forced_here =
          hn::Min(hn::Add(hn::Mul(cos_abs, i1), hn::Mul(sin_abs, i2)),
                  hn::Mul(hn::Add(hn::Mul(cos_abs, l1), hn::Mul(sin_abs, l2)), ihw));
      const auto reach = hn::Add(energy_here, forced_here);
      for (int q = 0; q < rotated_ordinates; ++q) {
        const auto mine = hn::Mul(reach, hn::Set(da, factor[q]));
        if (!hn::AllTrue(da, hn::Lt(mine, hn::Mul(frequency, hn::Load(da, peak[q] + a))))) {
          return false;
        }
      }
    }
  }
  return true;
}

// A vector of oscillators from lane first, in two passes. The first runs both components to
// where their peaks settle, and keeps for every window of samples the state at its start, the
// largest squared radius of each rotated ordinate in it and a point at that radius (and, for
// slow oscillators, the octagon about its points). The second looks at the rotated points: it
// folds those farthest points first, then runs the windows again from their states, those of
// the largest radii first, so that the peaks are near their final values early and most
// windows need not be run again at all (none of their points reaches the smallest peak, or
// their octagon stays inside the peaks); then it goes on from where the first pass stopped
// until the rotated peaks settle too. With sub-steps (mixed), in round r of an interval the
// lanes with r steps or more take their r-th step and the others keep their state, as in
// run_mixed.
inline constexpr std::size_t window = 32;  // samples; a divisor of settle_check

template <bool mixed>
class pair_group {
 public:
  static constexpr std::size_t N = hn::MaxLanes(hn::ScalableTag<double>());
  using D = hn::ScalableTag<double>;
  using V = Vec<D>;
  using M = hn::Mask<D>;

  pair_group(const pair_batch& b, std::size_t first, const lanes& c) : b_(b), k_(d_, c, first) {
    const std::size_t count = b.oscillators.size();
    real_ = hn::FirstN(d_, count - first);
    HWY_ALIGN double steps_of[N];
    for (std::size_t l = 0; l < N; ++l) {
      const int k = b.substeps_of.empty() ? 1 : b.substeps_of[std::min(first + l, count - 1)];
      steps_of[l] = k;
      rounds_ = std::max(rounds_, k);
    }
    steps_ = hn::Load(d_, steps_of);
    if constexpr (mixed) {
      fraction_.resize(static_cast<std::size_t>(rounds_ + 1) * N);
      for (int r = 0; r <= rounds_; ++r) {
        for (std::size_t l = 0; l < N; ++l) fraction_at(r)[l] = r / steps_of[l];
      }
    }
  }

  // The same oscillators in another order: lane l runs the group's lane lane_of[l] (each lane
  // is then given its own stretch of the record: step).
  pair_group(const pair_group& g, const lanes& c, std::size_t first, const std::int64_t* lane_of)
      : b_(g.b_), k_(d_, c, offset(first, lane_of).data()), rounds_(g.rounds_) {
    real_ = hn::FirstN(d_, N);
    HWY_ALIGN double steps_of[N];
    hn::Store(g.steps_, d_, steps_of);
    HWY_ALIGN double mine[N];
    for (std::size_t l = 0; l < N; ++l) mine[l] = steps_of[lane_of[l]];
    steps_ = hn::Load(d_, mine);
    if constexpr (mixed) {
      fraction_.resize(g.fraction_.size());
      for (int r = 0; r <= rounds_; ++r) {
        for (std::size_t l = 0; l < N; ++l) fraction_at(r)[l] = r / mine[l];
      }
    }
  }

  // One interval, from sample m - 1 to m: visit(steps) after each (sub-)step, with the new state
  // in x1 ... dx2 and the absolute accelerations in acc1, acc2.
  template <class F>
  HWY_INLINE void interval(std::size_t m, F&& visit) {
    const double f1 = b_.first[m - 1], t1 = b_.first[m], f2 = b_.second[m - 1], t2 = b_.second[m];
    step(hn::Set(d_, f1), hn::Set(d_, t1), hn::Set(d_, f2), hn::Set(d_, t2), visit);
  }

  // One interval of each lane, its input going from from1 to to1 and from2 to to2.
  template <class F>
  HWY_INLINE void step(V from1, V to1, V from2, V to2, F&& visit) {
    if constexpr (!mixed) {
      advance(k_, x1, dx1, from1, to1);
      advance(k_, x2, dx2, from2, to2);
      accelerations();
      visit(real_);
    } else {
      const V rise1 = hn::Sub(to1, from1), rise2 = hn::Sub(to2, from2);
      for (int r = 1; r <= rounds_; ++r) {
        const V round = hn::Set(d_, r);
        const auto last = hn::Eq(steps_, round);
        const V before = hn::LoadU(d_, fraction_at(r - 1));
        const V after = hn::LoadU(d_, fraction_at(r));
        const V af1 = r == 1 ? from1 : hn::Add(from1, hn::Mul(rise1, before));
        const V am1 = hn::IfThenElse(last, to1, hn::Add(from1, hn::Mul(rise1, after)));
        const V af2 = r == 1 ? from2 : hn::Add(from2, hn::Mul(rise2, before));
        const V am2 = hn::IfThenElse(last, to2, hn::Add(from2, hn::Mul(rise2, after)));
        V nx1 = x1, ndx1 = dx1, nx2 = x2, ndx2 = dx2;
        advance(k_, nx1, ndx1, af1, am1);
        advance(k_, nx2, ndx2, af2, am2);
        const M steps = hn::Ge(steps_, round);
        x1 = hn::IfThenElse(steps, nx1, x1);
        dx1 = hn::IfThenElse(steps, ndx1, dx1);
        x2 = hn::IfThenElse(steps, nx2, x2);
        dx2 = hn::IfThenElse(steps, ndx2, dx2);
        accelerations();
        visit(hn::And(real_, steps));
      }
    }
  }

  M real() const { return real_; }

  D d_;
  V x1, dx1, x2, dx2, acc1, acc2;

 private:
  HWY_INLINE void accelerations() {
    acc1 = hn::Add(hn::Mul(k_.k[hw2], dx1), hn::Mul(k_.k[w2], x1));
    acc2 = hn::Add(hn::Mul(k_.k[hw2], dx2), hn::Mul(k_.k[w2], x2));
  }
  double* fraction_at(int r) { return fraction_.data() + static_cast<std::size_t>(r) * N; }
  static std::array<std::int64_t, N> offset(std::size_t first, const std::int64_t* lane_of) {
    std::array<std::int64_t, N> o;
    for (std::size_t l = 0; l < N; ++l) o[l] = static_cast<std::int64_t>(first) + lane_of[l];
    return o;
  }

  const pair_batch& b_;
  const vector_coefficients<D> k_;
  M real_;
  int rounds_ = 1;
  V steps_;
  std::vector<double> fraction_;
};

template <bool mixed, bool bounded_by_octagons>
void run_pair_group(const pair_batch& b, const lanes& c, std::size_t first, pair_response* out,
                    std::span<const input_ahead> ahead1, std::span<const input_ahead> ahead2) {
  using group = pair_group<mixed>;
  constexpr std::size_t N = group::N;
  using V = typename group::V;
  group p(b, first, c);
  const auto d = p.d_;
  const angle_table& t = unit_vectors();
  const std::size_t count = b.oscillators.size();
  // The lanes of oscillators; those after them copy the last and are never folded (real_), so
  // they must not open windows or hold back the end.
  const std::size_t live = std::min(N, count - first);
  const std::size_t n = std::min(b.first.size(), b.second.size());
  const std::size_t windows = n > 1 ? (n - 2) / window + 1 : 0;
  const bool may_stop = !ahead1.empty() && !ahead2.empty();

  // What the first pass keeps of each window: the state at its start, the largest squared
  // radius of each rotated ordinate, a point at that radius and the octagon of its points
  // (A, B, C, D of octagon_weights; only where the group is bounded by octagons). Written before
  // it is read: not cleared first.
  struct window_record {
    HWY_ALIGN double state[4][N];
    HWY_ALIGN double largest[rotated_ordinates][N];
    HWY_ALIGN double far[rotated_ordinates][2][N];
    HWY_ALIGN double octagon[rotated_ordinates][4][N];
  };
  const auto records = std::make_unique_for_overwrite<window_record[]>(windows);
  std::span<window_record> kept(records.get(), windows);

  p.x1 = p.dx1 = p.x2 = p.dx2 = hn::Zero(d);
  V sd1 = p.x1, sv1 = sd1, sa1 = sd1, sd2 = sd1, sv2 = sd1, sa2 = sd1;
  const auto save_state = [&](window_record& w) {
    hn::Store(p.x1, d, w.state[0]);
    hn::Store(p.dx1, d, w.state[1]);
    hn::Store(p.x2, d, w.state[2]);
    hn::Store(p.dx2, d, w.state[3]);
  };
  // The first pass.
  std::size_t stop = n;  // the sample the first pass stopped at
  {
    // Of each rotated ordinate in the window: the largest squared radius, a point at it, and
    // the octagon (the largest |u|, |v|, |u + v|, |u - v|; the first two are the components'
    // peaks in the window, kept in every group).
    V largest[rotated_ordinates], far[rotated_ordinates][2], octagon[rotated_ordinates][4];
    const auto widest = [&](int q, V u, V v) HWY_ATTR {
      const V r2 = hn::Add(hn::Mul(u, u), hn::Mul(v, v));
      const auto beyond = hn::Gt(r2, largest[q]);
      largest[q] = hn::Max(largest[q], r2);
      far[q][0] = hn::IfThenElse(beyond, u, far[q][0]);
      far[q][1] = hn::IfThenElse(beyond, v, far[q][1]);
      V* o = octagon[q];
      o[0] = hn::Max(o[0], hn::Abs(u));
      o[1] = hn::Max(o[1], hn::Abs(v));
      if constexpr (bounded_by_octagons) {
        o[2] = hn::Max(o[2], hn::Abs(hn::Add(u, v)));
        o[3] = hn::Max(o[3], hn::Abs(hn::Sub(u, v)));
      }
    };
    const auto visit = [&](auto) HWY_ATTR {
      widest(0, p.x1, p.x2);
      widest(1, p.dx1, p.dx2);
      widest(2, p.acc1, p.acc2);
    };
    for (std::size_t w = 0; w < windows; ++w) {
      const std::size_t from = w * window + 1, to = std::min(n, from + window);
      save_state(kept[w]);
      for (int q = 0; q < rotated_ordinates; ++q) {
        largest[q] = far[q][0] = far[q][1] = hn::Zero(d);
        for (V& side : octagon[q]) side = hn::Zero(d);
      }
      for (std::size_t m = from; m < to; ++m) p.interval(m, visit);
      for (int q = 0; q < rotated_ordinates; ++q) {
        hn::Store(largest[q], d, kept[w].largest[q]);
        hn::Store(far[q][0], d, kept[w].far[q][0]);
        hn::Store(far[q][1], d, kept[w].far[q][1]);
        if constexpr (bounded_by_octagons) {
          for (int k = 0; k < 4; ++k) hn::Store(octagon[q][k], d, kept[w].octagon[q][k]);
        }
      }
      sd1 = hn::Max(sd1, octagon[0][0]);
      sd2 = hn::Max(sd2, octagon[0][1]);
      sv1 = hn::Max(sv1, octagon[1][0]);
      sv2 = hn::Max(sv2, octagon[1][1]);
      sa1 = hn::Max(sa1, octagon[2][0]);
      sa2 = hn::Max(sa2, octagon[2][1]);
      if (!time_to_look(may_stop, to) || to == n) continue;
      const input_ahead &a1 = ahead1[(to - 1) / settle_check],
                        &a2 = ahead2[(to - 1) / settle_check];
      const double* rows = c.of(hw2, first);
      if (settled<true>(d, rows, c.padded, p.x1, p.dx1, sd1, sv1, sa1, a1) &&
          settled<true>(d, rows, c.padded, p.x2, p.dx2, sd2, sv2, sa2, a2)) {
        stop = to;
        kept = kept.first(w + 1);
        break;
      }
    }
  }
  HWY_ALIGN double peaks[6][N];
  hn::Store(sd1, d, peaks[0]);
  hn::Store(sv1, d, peaks[1]);
  hn::Store(sa1, d, peaks[2]);
  hn::Store(sd2, d, peaks[3]);
  hn::Store(sv2, d, peaks[4]);
  hn::Store(sa2, d, peaks[5]);
  const V end_x1 = p.x1, end_dx1 = p.dx1, end_x2 = p.x2, end_dx2 = p.dx2;

  // The second pass.
  auto s = std::make_unique<group_state<N>>();
  for (auto& ordinate : s->of) {
    for (rotation& r : ordinate) start_rotation(r);
  }
  for (auto& q : s->threshold) std::fill(q, q + N, threshold_of(0));
  // Lane l's limits are sizeof(rotation) / sizeof(double) * l doubles from lane 0's.
  HWY_ALIGN std::int64_t lane_offsets[N];
  for (std::size_t l = 0; l < N; ++l) {
    lane_offsets[l] = static_cast<std::int64_t>(l * (sizeof(rotation) / sizeof(double)));
  }
  static_assert(sizeof(rotation) % sizeof(double) == 0);
  // What looks at the points of each step, of the lanes open for each ordinate (in a window run
  // again, those whose window can reach a peak). Lane l is oscillator oscillator_of[l] of the
  // group (or l), with its threshold in threshold[q][l] and its limits offsets[l] doubles from
  // lane 0's.
  using M = typename group::M;
  struct view {
    double* threshold[rotated_ordinates];
    const std::int64_t* offsets;
    const std::int64_t* oscillator_of;
  };
  const view own{{s->threshold[0], s->threshold[1], s->threshold[2]}, lane_offsets, nullptr};
  const auto folding = [&](const M* open, const view& v, const group& g) {
    return [&, open](auto lanes_of) HWY_ATTR {
      const V along[3][2] = {{g.x1, g.x2}, {g.dx1, g.dx2}, {g.acc1, g.acc2}};
      V r2[3];
      M over[3];
      auto passes = hn::FirstN(d, 0);
      for (int q = 0; q < rotated_ordinates; ++q) {
        r2[q] = hn::Add(hn::Mul(along[q][0], along[q][0]), hn::Mul(along[q][1], along[q][1]));
        over[q] = hn::And(hn::Gt(r2[q], hn::Load(d, v.threshold[q])), hn::And(lanes_of, open[q]));
        passes = hn::Or(passes, over[q]);
      }
      if (HWY_LIKELY(hn::AllFalse(d, passes))) return;
      for (int q = 0; q < rotated_ordinates; ++q) {
        auto mq = over[q];
        if (hn::AllFalse(d, mq)) continue;
        mq = beyond_limits(d, along[q][0], along[q][1], r2[q], mq, s->of[q][0].limit, v.offsets);
        const std::uint64_t bits = bits_of(d, mq);
        if (bits == 0) continue;
        HWY_ALIGN double u1[N], u2[N], r2q[N];
        hn::Store(along[q][0], d, u1);
        hn::Store(along[q][1], d, u2);
        hn::Store(r2[q], d, r2q);
        if (QueueLanes<N>(t, *s, q, u1, u2, r2q, bits, v.oscillator_of) &&
            v.oscillator_of != nullptr) {
          // The lanes' copies of the thresholds, which the fold may have raised.
          for (std::size_t l = 0; l < N; ++l) {
            v.threshold[q][l] = s->threshold[q][static_cast<std::size_t>(v.oscillator_of[l])];
          }
        }
      }
    };
  };
  const M every[rotated_ordinates] = {p.real(), p.real(), p.real()};
  const auto refresh = [&] {
    for (int q = 0; q < rotated_ordinates; ++q) {
      for (std::size_t l = 0; l < N; ++l) s->catch_up(t, q, l);
    }
  };
  // First the farthest point of every window, of every lane: points of the motion all round the
  // figure it draws, which leave few of the points run again below to raise a peak. Those
  // within 20% of the farthest of all come first, so that the limits keep most others out.
  // The lanes side by side: each lane meets its windows in the same order as alone.
  const M oscillators = hn::FirstN(d, live);
  for (int q = 0; q < rotated_ordinates; ++q) {
    V farthest = hn::Zero(d);
    for (const window_record& w : kept) {
      const V r2 = hn::Load(d, w.largest[q]);
      farthest = hn::IfThenElse(hn::Gt(r2, farthest), r2, farthest);
    }
    const V cut = hn::Mul(farthest, hn::Set(d, 0.64));
    for (const bool outer : {true, false}) {
      for (const window_record& w : kept) {
        const V r2 = hn::Load(d, w.largest[q]);
        const M beyond_cut = hn::Gt(r2, cut);
        M m = hn::And(outer ? beyond_cut : hn::Not(beyond_cut), oscillators);
        m = hn::And(m, hn::Gt(r2, hn::Load(d, s->threshold[q])));
        if (hn::AllFalse(d, m)) continue;
        m = beyond_limits(d, hn::Load(d, w.far[q][0]), hn::Load(d, w.far[q][1]), r2, m,
                          s->of[q][0].limit, lane_offsets);
        const std::uint64_t bits = bits_of(d, m);
        if (bits != 0) QueueLanes<N>(t, *s, q, w.far[q][0], w.far[q][1], w.largest[q], bits);
      }
      for (std::size_t l = 0; l < live; ++l) s->catch_up(t, q, l);
    }
  }
  // The windows by their largest radius against the largest component peak of each lane.
  std::vector<std::pair<double, std::size_t>> order;
  for (std::size_t w = 0; w < kept.size(); ++w) {
    double score = 0;
    for (int q = 0; q < rotated_ordinates; ++q) {
      for (std::size_t l = 0; l < live; ++l) {
        const double largest = std::max(peaks[q][l], peaks[q + 3][l]);
        if (largest > 0) score = std::max(score, kept[w].largest[q][l] / (largest * largest));
      }
    }
    order.emplace_back(-score, w);
  }
  std::sort(order.begin(), order.end());
  // A window is run again for each lane whose radius passes its threshold and whose octagon
  // (where the group keeps them) reaches some peak: bit q of the result for ordinate q. For slow
  // motions, whose figures are long and thin, the radius alone keeps most windows.
  const octagon_weights& sides = weights_of_octagon();
  const auto reaching = [&](const window_record& k, std::size_t l) {
    unsigned open = 0;
    for (int q = 0; q < rotated_ordinates; ++q) {
      if (!(k.largest[q][l] > s->threshold[q][l])) continue;
      if constexpr (bounded_by_octagons) {
        const double octagon[4] = {k.octagon[q][0][l], k.octagon[q][1][l], k.octagon[q][2][l],
                                   k.octagon[q][3][l]};
        if (!OctagonReaches(sides, octagon, s->of[q][l])) continue;
      }
      open |= 1u << q;
    }
    return open;
  };
  // The windows are run again lane by lane: N tasks (a lane of the group and one of its windows)
  // side by side in the lanes of a vector, each with its oscillator's coefficients and its own
  // stretch of the record. Run for the whole group, a window had run all its lanes, and fewer
  // than half of them on average needed it.
  struct task {
    std::size_t lane, window;
    unsigned open;  // reaching
  };
  std::vector<task> tasks;
  std::size_t next = 0;  // the windows tested, in order
  // Where the task of each lane of the vector looks.
  HWY_ALIGN std::int64_t lane_of[N], offsets[N], start[N];
  HWY_ALIGN double threshold[rotated_ordinates][N];
  const view of_tasks{{threshold[0], threshold[1], threshold[2]}, offsets, lane_of};
  const hn::RebindToSigned<typename group::D> di;
  for (std::size_t taken = 0;; taken += N) {
    while (tasks.size() < taken + N && next < order.size()) {
      const std::size_t w = order[next++].second;
      for (std::size_t l = 0; l < live; ++l) {
        if (const unsigned open = reaching(kept[w], l)) tasks.push_back({l, w, open});
      }
    }
    if (taken >= tasks.size()) break;
    // Lanes without a task of their own repeat the first, looking at nothing.
    const std::size_t count_now = std::min(N, tasks.size() - taken);
    HWY_ALIGN double state[4][N], length[N], open[rotated_ordinates][N];
    for (std::size_t i = 0; i < N; ++i) {
      const task& k = tasks[taken + (i < count_now ? i : 0)];
      const std::size_t from = k.window * window + 1;
      lane_of[i] = static_cast<std::int64_t>(k.lane);
      offsets[i] = lane_offsets[k.lane];
      start[i] = static_cast<std::int64_t>(from);
      length[i] = static_cast<double>(std::min(n, from + window) - from);
      for (int j = 0; j < 4; ++j) state[j][i] = kept[k.window].state[j][k.lane];
      for (int q = 0; q < rotated_ordinates; ++q) {
        threshold[q][i] = s->threshold[q][k.lane];
        open[q][i] = i < count_now && (k.open >> q & 1) ? 1.0 : 0.0;
      }
    }
    group g(p, c, first, lane_of);
    g.x1 = hn::Load(d, state[0]);
    g.dx1 = hn::Load(d, state[1]);
    g.x2 = hn::Load(d, state[2]);
    g.dx2 = hn::Load(d, state[3]);
    const M open_lanes[rotated_ordinates] = {hn::Ne(hn::Load(d, open[0]), hn::Zero(d)),
                                             hn::Ne(hn::Load(d, open[1]), hn::Zero(d)),
                                             hn::Ne(hn::Load(d, open[2]), hn::Zero(d))};
    const auto look = folding(open_lanes, of_tasks, g);
    const V lengths = hn::Load(d, length);
    const auto one = hn::Set(di, 1), last = hn::Set(di, static_cast<std::int64_t>(n - 1));
    auto at = hn::Load(di, start);
    V from1 = hn::GatherIndex(d, b.first.data(), hn::Sub(at, one));
    V from2 = hn::GatherIndex(d, b.second.data(), hn::Sub(at, one));
    for (std::size_t j = 0; j < window; ++j, at = hn::Add(at, one)) {
      // The last window may be shorter: its lane goes on at the last sample, looking at nothing.
      const auto within = hn::Lt(hn::Set(d, static_cast<double>(j)), lengths);
      const V to1 = hn::GatherIndex(d, b.first.data(), hn::Min(at, last));
      const V to2 = hn::GatherIndex(d, b.second.data(), hn::Min(at, last));
      g.step(from1, to1, from2, to2,
             [&](auto lanes_of) HWY_ATTR { look(hn::And(lanes_of, within)); });
      from1 = to1;
      from2 = to2;
    }
    refresh();
  }
  // On from where the first pass stopped, until no later sample can raise a rotated peak.
  std::size_t settled_at = 0;
  p.x1 = end_x1;
  p.dx1 = end_dx1;
  p.x2 = end_x2;
  p.dx2 = end_dx2;
  for (std::size_t m = stop; m < n;) {
    if (rotations_settled<N>(d, c, first, live, *s, p.x1, p.dx1, p.x2, p.dx2,
                             ahead1[(m - 1) / settle_check], ahead2[(m - 1) / settle_check])) {
      settled_at = m - 1;
      break;
    }
    for (const std::size_t look = next_look(m, n); m < look; ++m)
      p.interval(m, folding(every, own, p));
    refresh();
  }

  for (std::size_t l = 0; l < N && first + l < count; ++l) {
    pair_response& r = out[first + l];
    r.first = {.sd = peaks[0][l], .sv = peaks[1][l], .sa = peaks[2][l], .settled_at = settled_at};
    r.second = {.sd = peaks[3][l], .sv = peaks[4][l], .sa = peaks[5][l], .settled_at = settled_at};
    std::copy(s->of[0][l].peak, s->of[0][l].peak + angles, r.sd.begin());
    std::copy(s->of[1][l].peak, s->of[1][l].peak + angles, r.sv.begin());
    std::copy(s->of[2][l].peak, s->of[2][l].peak + angles, r.sa.begin());
    r.settled_at = settled_at;
  }
}

// One vector of oscillators a group: the windows run again are those some lane of the group
// needs, and fewer lanes need fewer of them (two vectors a group were 15% slower).
void RunPair(const pair_batch& b, pair_response* out) {
  if (b.oscillators.empty()) return;
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  const lanes c = lay_out(b.oscillators, -1);
  const std::size_t count = b.oscillators.size();
  const std::size_t n = std::min(b.first.size(), b.second.size());
  std::vector<input_ahead> ahead1, ahead2;
  bool damped = n > 0;
  for (const oscillator_coefficients& o : b.oscillators) damped = damped && o.step.hw >= 0;
  if (damped) {
    ahead1 = input_to_come(b.first.first(n), b.interval);
    ahead2 = input_to_come(b.second.first(n), b.interval);
  }
  for (std::size_t first = 0; first < count; first += N) {
    // The octagons pay where a window holds a short arc of the motion: at most 2.25 radians of
    // the group's fastest oscillator (at 0.005 s between samples, periods from 0.45 s on).
    // Elsewhere they cost the first pass more than they save.
    double turn = 0;
    for (std::size_t l = first; l < std::min(count, first + N); ++l) {
      turn = std::max(turn, b.oscillators[l].step.wdt * window);
    }
    if (!b.substeps_of.empty() && b.substeps_of[first] > 1) {
      run_pair_group<true, false>(b, c, first, out, ahead1, ahead2);
    } else if (turn <= 2.25) {
      run_pair_group<false, true>(b, c, first, out, ahead1, ahead2);
    } else {
      run_pair_group<false, false>(b, c, first, out, ahead1, ahead2);
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <numbers>

#include "kernels/dispatch.h"

namespace kernels {

const sector_weights& weights_of_sectors() {
  static const sector_weights table = [] {
    sector_weights t;
    // The directions of a sector, widened by far more than the rounding of q.
    const auto direction = [](double q) { return std::atan2(1 - std::fabs(q), q); };
    const double degree = std::numbers::pi / 180;
    for (int s = 0; s < sectors; ++s) {
      const double from = direction(1 - 2.0 * s / sectors) - 1e-9;
      const double to = direction(1 - 2.0 * (s + 1) / sectors) + 1e-9;
      for (std::size_t a = 0; a < padded_angles; ++a) {
        if (a >= angles) {
          t.of[s][a] = HUGE_VAL;
          continue;
        }
        // The distance, modulo 180 degrees, from the angle to the nearest direction of the
        // sector.
        const double theta = static_cast<double>(a) * degree;
        double distance = 0;
        if (!(theta >= from && theta <= to)) {
          const auto apart = [&](double phi) {
            return std::fabs(std::remainder(theta - phi, std::numbers::pi));
          };
          distance = std::min(apart(from), apart(to));
        }
        t.of[s][a] = 1 / std::cos(distance);
      }
    }
    return t;
  }();
  return table;
}

const octagon_weights& weights_of_octagon() {
  static const octagon_weights table = [] {
    octagon_weights w{};
    const angle_table& t = unit_vectors();
    for (int a = 0; a < angles; ++a) {
      // (c, s) in the normals about it: (1, 0) and (1, 1) up to 45 degrees, (1, 1) and (0, 1)
      // up to 90, (0, 1) and (-1, 1) up to 135, (-1, 1) and (-1, 0) beyond.
      const double c = t.c[a], s = t.s[a];
      double* k[4] = {&w.of[0][a], &w.of[1][a], &w.of[2][a], &w.of[3][a]};
      if (a <= 45) {
        *k[0] = c - s, *k[2] = s;
      } else if (a <= 90) {
        *k[2] = c, *k[1] = s - c;
      } else if (a <= 135) {
        *k[1] = s + c, *k[3] = -c;
      } else {
        *k[3] = s, *k[0] = -c - s;
      }
      for (double* x : k) *x = std::fabs(*x) * (1 + 1e-15);
    }
    return w;
  }();
  return table;
}

void run_pair(const pair_batch& b, std::span<pair_response> out) {
  static const auto run = KERNELS_CHOOSE(RunPair);
  run(b, out.data());
}

}  // namespace kernels
#endif
