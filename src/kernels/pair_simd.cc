// The pair kernel in vector lanes (pair.h): each lane one oscillator driven by both components,
// computing what the scalar twin computes for it, operation for operation; the rotated peaks
// are those of the twin's every angle at every point, exactly: a point is looked at only if it
// can raise the peak at some angle.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/pair_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
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
// (q runs from 1 at 0 degrees through 0 at 90 to -1 at 180): no angle is computed.
inline constexpr int sectors = 32;
inline int sector_of(double x, double y) {
  if (y < 0 || (y == 0 && x < 0)) {
    x = -x;
    y = -y;
  }
  const double q = x / (std::fabs(x) + y);
  if (!(q >= -1 && q <= 1)) return -1;  // not a number, or infinite
  return std::min(static_cast<int>((1 - q) * (sectors / 2)), sectors - 1);
}

// For a direction in sector s and the angles of block b, 1 / the largest |cos| between them: a
// point of radius r in that sector projects on any angle of the block at most r / weight.
struct sector_weights {
  alignas(64) double of[sectors][padded_angles];
};
const sector_weights& weights_of_sectors();

struct rotation {
  alignas(64) double peak[padded_angles];
  alignas(64) double block_low[padded_blocks];
  // The squared radius under which a point of each sector cannot raise any peak.
  alignas(64) double limit[sectors];
  double floor;
  bool stale;  // the limits are below what the peaks allow
};

inline void start_rotation(rotation& r) {
  std::fill(r.peak, r.peak + angles, 0.0);
  std::fill(r.peak + angles, r.peak + padded_angles, HUGE_VAL);  // never the lowest of a block
  std::fill(r.block_low, r.block_low + angle_blocks, 0.0);
  std::fill(r.block_low + angle_blocks, r.block_low + padded_blocks, HUGE_VAL);
  std::fill(r.limit, r.limit + sectors, 0.0);
  r.floor = 0;
  r.stale = false;
}

// A point whose squared radius is at most this cannot raise any peak: its projection on any
// angle, rounded, stays under the smallest peak (the margin is far above the rounding of the
// radius and of the projections, a few units of 2^-53).
inline double threshold_of(double floor) {
  return floor * floor * (1 - 1e-11);
}

}  // namespace kernels
#endif

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Folds a point into the blocks of eight angles that it can raise: those where its projection
// on the block's centre plus its radius times block_half_width reaches the block's smallest
// peak. Each angle is computed as the scalar twin computes it. Keeps the block lows and the
// floor up to date.
HWY_NOINLINE void FoldIntoRotation(const angle_table& t, double x, double y, double r2,
                                   rotation& r) {
  const hn::CappedTag<double, angle_block> d;
  const auto vx = hn::Set(d, x), vy = hn::Set(d, y);
  const auto slack = hn::Set(d, std::sqrt(r2 * (1 + 1e-12)) * block_half_width);
  bool changed = false;
  for (std::size_t b0 = 0; b0 < padded_blocks; b0 += hn::Lanes(d)) {
    const auto centre = hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.centre_c + b0)),
                                        hn::Mul(vy, hn::Load(d, t.centre_s + b0))));
    const auto open = hn::Not(hn::Lt(hn::Add(centre, slack), hn::Load(d, r.block_low + b0)));
    if (hn::AllFalse(d, open)) continue;
    HWY_ALIGN uint8_t bits[8];
    hn::StoreMaskBits(d, open, bits);
    for (std::size_t k = 0; k < hn::Lanes(d); ++k) {
      const std::size_t b = b0 + k;
      if (b >= angle_blocks || !(bits[k / 8] & (1u << (k % 8)))) continue;
      bool raised = false;
      for (std::size_t a = b * angle_block; a < (b + 1) * angle_block; a += hn::Lanes(d)) {
        const auto along =
            hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.c + a)), hn::Mul(vy, hn::Load(d, t.s + a))));
        const auto old = hn::Load(d, r.peak + a);
        if (hn::AllFalse(d, hn::Gt(along, old))) continue;
        hn::Store(hn::Max(old, along), d, r.peak + a);
        raised = true;
      }
      if (!raised) continue;
      auto low = hn::Load(d, r.peak + b * angle_block);
      for (std::size_t a = b * angle_block + hn::Lanes(d); a < (b + 1) * angle_block;
           a += hn::Lanes(d)) {
        low = hn::Min(low, hn::Load(d, r.peak + a));
      }
      r.block_low[b] = hn::GetLane(hn::MinOfLanes(d, low));
      changed = true;
    }
  }
  if (changed) {
    auto low = hn::Load(d, r.block_low);
    for (std::size_t b = hn::Lanes(d); b < padded_blocks; b += hn::Lanes(d)) {
      low = hn::Min(low, hn::Load(d, r.block_low + b));
    }
    r.floor = hn::GetLane(hn::MinOfLanes(d, low));
    r.stale = true;
  }
}

// The limits of the sectors from the block lows (a valid bound: the lows only rise).
HWY_NOINLINE void UpdateLimits(rotation& r) {
  const hn::CappedTag<double, angle_block> d;
  const sector_weights& w = weights_of_sectors();
  for (int s = 0; s < sectors; ++s) {
    auto low = hn::Set(d, HUGE_VAL);
    for (std::size_t a = 0; a < padded_angles; a += hn::Lanes(d)) {
      low = hn::Min(low, hn::Mul(hn::Load(d, r.peak + a), hn::Load(d, w.of[s] + a)));
    }
    const double limit = hn::GetLane(hn::MinOfLanes(d, low));
    r.limit[s] = limit * limit * (1 - 1e-11);
  }
  r.stale = false;
}

template <class D>
using Vec = hn::Vec<D>;

// What a group of G vectors of oscillators holds beside its registers: the rotations of each
// lane, and the squared radius a point must pass to be looked at.
template <std::size_t G, std::size_t N>
struct group_state {
  rotation of[rotated_ordinates][G * N];
  alignas(64) double threshold[rotated_ordinates][G * N];
};

// Folds the points of the lanes in bits (lanes of vector g) into their rotations.
template <std::size_t G, std::size_t N>
HWY_NOINLINE void FoldLanes(const angle_table& t, group_state<G, N>& s, int q, std::size_t g,
                            const double* u1, const double* u2, const double* r2,
                            std::uint64_t bits) {
  for (; bits != 0; bits &= bits - 1) {
    const std::size_t l = static_cast<std::size_t>(__builtin_ctzll(bits));
    rotation& r = s.of[q][g * N + l];
    FoldIntoRotation(t, u1[l], u2[l], r2[l], r);
    s.threshold[q][g * N + l] = threshold_of(r.floor);
  }
}

template <class D>
std::uint64_t bits_of(D d, hn::Mask<D> m) {
  HWY_ALIGN uint8_t bytes[8] = {};
  hn::StoreMaskBits(d, m, bytes);
  return bytes[0];
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

// Whether no later sample can raise any rotated peak of the G vectors: for any angle the
// rotated motion is the response to the rotated input, and its energy W (see settled) is at
// most sqrt(W1^2 + W2^2), its input at most |a1| + |a2|.
template <std::size_t G, std::size_t N, class D>
bool rotations_settled(D d, const lanes& c, std::size_t first, const group_state<G, N>& s,
                       const Vec<D>* x1, const Vec<D>* dx1, const Vec<D>* x2, const Vec<D>* dx2,
                       const input_ahead& ahead1, const input_ahead& ahead2) {
  for (std::size_t g = 0; g < G; ++g) {
    const double* rows = c.of(hw2, first + g * N);
    const auto row = [&](bound_factor i) {
      return hn::LoadU(d, rows + static_cast<std::size_t>(i) * c.padded);
    };
    const Vec<D> two_hw = row(two_hw_row), w_squared = row(w_squared_row), wd = row(wd_row);
    const auto energy = [&](Vec<D> x, Vec<D> dx) {
      return hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(two_hw, hn::Mul(x, dx))),
                     hn::Mul(w_squared, hn::Mul(x, x)));
    };
    const Vec<D> forced =
        hn::Min(hn::Set(d, ahead1.integral + ahead2.integral),
                hn::Mul(hn::Set(d, ahead1.largest + ahead2.largest), row(inverse_hw_row)));
    const Vec<D> bound =
        hn::Mul(hn::Add(hn::Sqrt(hn::Add(energy(x1[g], dx1[g]), energy(x2[g], dx2[g]))), forced),
                hn::Set(d, 1 + 1e-6));
    HWY_ALIGN double floor[rotated_ordinates][hn::MaxLanes(d)];
    for (int q = 0; q < rotated_ordinates; ++q) {
      for (std::size_t l = 0; l < N; ++l) floor[q][l] = s.of[q][g * N + l].floor;
    }
    const auto below =
        hn::And(hn::Lt(bound, hn::Mul(wd, hn::Load(d, floor[0]))),
                hn::And(hn::Lt(hn::Mul(bound, row(w_row)), hn::Mul(wd, hn::Load(d, floor[1]))),
                        hn::Lt(hn::Mul(bound, w_squared), hn::Mul(wd, hn::Load(d, floor[2])))));
    if (!hn::AllTrue(d, below)) return false;
  }
  return true;
}

// G vectors of oscillators from lane first. With sub-steps (mixed), in round r of an interval
// the lanes with r steps or more take their r-th step and the others keep their state, as in
// run_mixed.
// G vectors of oscillators from lane first, in two passes. The first runs both components to
// where their peaks settle, and keeps for every window of samples the state at its start and the
// largest squared radius of each rotated ordinate in it. The second looks at the rotated points:
// it runs the windows again from their states, those of the largest radii first, so that the
// peaks are near their final values early and most windows need not be run again at all (none
// of their points reaches the smallest peak); then it goes on from where the first pass stopped
// until the rotated peaks settle too. With sub-steps (mixed), in round r of an interval the
// lanes with r steps or more take their r-th step and the others keep their state, as in
// run_mixed.
inline constexpr std::size_t window = 64;  // samples; a divisor of settle_check

template <std::size_t G, bool mixed>
class pair_group {
 public:
  static constexpr std::size_t N = hn::MaxLanes(hn::ScalableTag<double>());
  using D = hn::ScalableTag<double>;
  using V = Vec<D>;
  using M = hn::Mask<D>;

  pair_group(const pair_batch& b, const lanes& c, std::size_t first)
      : b_(b), c_(c), first_(first), k0_(d_, c, first), k1_(d_, c, first + (G > 1 ? N : 0)) {
    const std::size_t count = b.oscillators.size();
    for (std::size_t g = 0; g < G; ++g) {
      const std::size_t from = first + g * N;
      real_[g] = hn::FirstN(d_, from < count ? count - from : 0);
      rounds_of_[g] = 1;
      for (std::size_t l = 0; l < N; ++l) {
        const int k = b.substeps_of.empty() ? 1 : b.substeps_of[std::min(from + l, count - 1)];
        k_of_[g][l] = k;
        rounds_of_[g] = std::max(rounds_of_[g], k);
      }
      rounds_ = std::max(rounds_, rounds_of_[g]);
      k_[g] = hn::Load(d_, k_of_[g]);
    }
    if constexpr (mixed) {
      fraction_.resize(static_cast<std::size_t>(rounds_ + 1) * G * N);
      for (int r = 0; r <= rounds_; ++r) {
        for (std::size_t g = 0; g < G; ++g) {
          for (std::size_t l = 0; l < N; ++l) {
            fraction_at(r, g)[l] = static_cast<double>(r) / k_of_[g][l];
          }
        }
      }
    }
  }

  const vector_coefficients<D>& coefficients(std::size_t g) const { return g == 0 ? k0_ : k1_; }

  // One interval, from sample m - 1 to m: visit(g, steps) after each (sub-)step of vector g,
  // with the new state in x1 ... dx2 and the absolute accelerations in acc1, acc2.
  template <class F>
  HWY_INLINE void interval(std::size_t m, F&& visit) {
    const double f1 = b_.first[m - 1], t1 = b_.first[m], f2 = b_.second[m - 1], t2 = b_.second[m];
    if constexpr (!mixed) {
      const V af1 = hn::Set(d_, f1), am1 = hn::Set(d_, t1);
      const V af2 = hn::Set(d_, f2), am2 = hn::Set(d_, t2);
      for (std::size_t g = 0; g < G; ++g) {
        advance(coefficients(g), x1[g], dx1[g], af1, am1);
        advance(coefficients(g), x2[g], dx2[g], af2, am2);
        accelerations(g);
        visit(g, real_[g]);
      }
    } else {
      const V from1 = hn::Set(d_, f1), to1 = hn::Set(d_, t1), rise1 = hn::Set(d_, t1 - f1);
      const V from2 = hn::Set(d_, f2), to2 = hn::Set(d_, t2), rise2 = hn::Set(d_, t2 - f2);
      for (int r = 1; r <= rounds_; ++r) {
        const V round = hn::Set(d_, r);
        for (std::size_t g = 0; g < G; ++g) {
          if (r > rounds_of_[g]) continue;
          const auto last = hn::Eq(k_[g], round);
          const V before = hn::LoadU(d_, fraction_at(r - 1, g));
          const V after = hn::LoadU(d_, fraction_at(r, g));
          const V af1 = r == 1 ? from1 : hn::Add(from1, hn::Mul(rise1, before));
          const V am1 = hn::IfThenElse(last, to1, hn::Add(from1, hn::Mul(rise1, after)));
          const V af2 = r == 1 ? from2 : hn::Add(from2, hn::Mul(rise2, before));
          const V am2 = hn::IfThenElse(last, to2, hn::Add(from2, hn::Mul(rise2, after)));
          V nx1 = x1[g], ndx1 = dx1[g], nx2 = x2[g], ndx2 = dx2[g];
          advance(coefficients(g), nx1, ndx1, af1, am1);
          advance(coefficients(g), nx2, ndx2, af2, am2);
          const M steps = hn::Ge(k_[g], round);
          x1[g] = hn::IfThenElse(steps, nx1, x1[g]);
          dx1[g] = hn::IfThenElse(steps, ndx1, dx1[g]);
          x2[g] = hn::IfThenElse(steps, nx2, x2[g]);
          dx2[g] = hn::IfThenElse(steps, ndx2, dx2[g]);
          accelerations(g);
          visit(g, hn::And(real_[g], steps));
        }
      }
    }
  }

  D d_;
  V x1[G], dx1[G], x2[G], dx2[G], acc1[G], acc2[G];

 private:
  HWY_INLINE void accelerations(std::size_t g) {
    const vector_coefficients<D>& k = coefficients(g);
    acc1[g] = hn::Add(hn::Mul(k.k[hw2], dx1[g]), hn::Mul(k.k[w2], x1[g]));
    acc2[g] = hn::Add(hn::Mul(k.k[hw2], dx2[g]), hn::Mul(k.k[w2], x2[g]));
  }
  double* fraction_at(int r, std::size_t g) {
    return fraction_.data() + (static_cast<std::size_t>(r) * G + g) * N;
  }

  const pair_batch& b_;
  const lanes& c_;
  std::size_t first_;
  const vector_coefficients<D> k0_, k1_;
  M real_[G];
  int rounds_ = 1;
  int rounds_of_[G];
  HWY_ALIGN double k_of_[G][N];
  V k_[G];
  std::vector<double> fraction_;
};

template <std::size_t G, bool mixed>
void run_pair_group(const pair_batch& b, const lanes& c, std::size_t first, pair_response* out,
                    std::span<const input_ahead> ahead1, std::span<const input_ahead> ahead2) {
  using group = pair_group<G, mixed>;
  constexpr std::size_t N = group::N;
  using V = typename group::V;
  static_assert(G <= 2);
  group p(b, c, first);
  const auto d = p.d_;
  const angle_table& t = unit_vectors();
  const std::size_t count = b.oscillators.size();
  const std::size_t n = std::min(b.first.size(), b.second.size());
  const std::size_t windows = n > 1 ? (n - 2) / window + 1 : 0;
  const bool may_stop = !ahead1.empty() && !ahead2.empty();

  // What the first pass keeps of each window: the state at its start, the largest squared
  // radius of each rotated ordinate.
  struct window_record {
    HWY_ALIGN double state[4][G * N];
    HWY_ALIGN double largest[rotated_ordinates][G * N];
  };
  std::vector<window_record> kept(windows);

  V sd1[G], sv1[G], sa1[G], sd2[G], sv2[G], sa2[G];
  for (std::size_t g = 0; g < G; ++g) {
    p.x1[g] = p.dx1[g] = p.x2[g] = p.dx2[g] = hn::Zero(d);
    sd1[g] = sv1[g] = sa1[g] = sd2[g] = sv2[g] = sa2[g] = hn::Zero(d);
  }
  const auto save_state = [&](window_record& w) {
    for (std::size_t g = 0; g < G; ++g) {
      hn::StoreU(p.x1[g], d, w.state[0] + g * N);
      hn::StoreU(p.dx1[g], d, w.state[1] + g * N);
      hn::StoreU(p.x2[g], d, w.state[2] + g * N);
      hn::StoreU(p.dx2[g], d, w.state[3] + g * N);
    }
  };
  const auto load_state = [&](const window_record& w) {
    for (std::size_t g = 0; g < G; ++g) {
      p.x1[g] = hn::LoadU(d, w.state[0] + g * N);
      p.dx1[g] = hn::LoadU(d, w.state[1] + g * N);
      p.x2[g] = hn::LoadU(d, w.state[2] + g * N);
      p.dx2[g] = hn::LoadU(d, w.state[3] + g * N);
    }
  };

  // The first pass.
  std::size_t stop = n;  // the sample the first pass stopped at
  {
    V rd[G], rv[G], ra[G];
    const auto visit = [&](std::size_t g, auto) HWY_ATTR {
      sd1[g] = hn::Max(sd1[g], hn::Abs(p.x1[g]));
      sv1[g] = hn::Max(sv1[g], hn::Abs(p.dx1[g]));
      sa1[g] = hn::Max(sa1[g], hn::Abs(p.acc1[g]));
      sd2[g] = hn::Max(sd2[g], hn::Abs(p.x2[g]));
      sv2[g] = hn::Max(sv2[g], hn::Abs(p.dx2[g]));
      sa2[g] = hn::Max(sa2[g], hn::Abs(p.acc2[g]));
      rd[g] = hn::Max(rd[g], hn::Add(hn::Mul(p.x1[g], p.x1[g]), hn::Mul(p.x2[g], p.x2[g])));
      rv[g] = hn::Max(rv[g], hn::Add(hn::Mul(p.dx1[g], p.dx1[g]), hn::Mul(p.dx2[g], p.dx2[g])));
      ra[g] = hn::Max(ra[g], hn::Add(hn::Mul(p.acc1[g], p.acc1[g]), hn::Mul(p.acc2[g], p.acc2[g])));
    };
    for (std::size_t w = 0; w < windows; ++w) {
      const std::size_t from = w * window + 1, to = std::min(n, from + window);
      save_state(kept[w]);
      for (std::size_t g = 0; g < G; ++g) rd[g] = rv[g] = ra[g] = hn::Zero(d);
      for (std::size_t m = from; m < to; ++m) p.interval(m, visit);
      for (std::size_t g = 0; g < G; ++g) {
        hn::StoreU(rd[g], d, kept[w].largest[0] + g * N);
        hn::StoreU(rv[g], d, kept[w].largest[1] + g * N);
        hn::StoreU(ra[g], d, kept[w].largest[2] + g * N);
      }
      if (!time_to_look(may_stop, to) || to == n) continue;
      const input_ahead &a1 = ahead1[(to - 1) / settle_check],
                        &a2 = ahead2[(to - 1) / settle_check];
      bool quiet = true;
      for (std::size_t g = 0; quiet && g < G; ++g) {
        const double* rows = c.of(hw2, first + g * N);
        quiet = settled<true>(d, rows, c.padded, p.x1[g], p.dx1[g], sd1[g], sv1[g], sa1[g], a1) &&
                settled<true>(d, rows, c.padded, p.x2[g], p.dx2[g], sd2[g], sv2[g], sa2[g], a2);
      }
      if (quiet) {
        stop = to;
        kept.resize(w + 1);
        break;
      }
    }
  }
  HWY_ALIGN double peaks[6][G * N];
  for (std::size_t g = 0; g < G; ++g) {
    hn::StoreU(sd1[g], d, peaks[0] + g * N);
    hn::StoreU(sv1[g], d, peaks[1] + g * N);
    hn::StoreU(sa1[g], d, peaks[2] + g * N);
    hn::StoreU(sd2[g], d, peaks[3] + g * N);
    hn::StoreU(sv2[g], d, peaks[4] + g * N);
    hn::StoreU(sa2[g], d, peaks[5] + g * N);
  }
  V end_x1[G], end_dx1[G], end_x2[G], end_dx2[G];
  for (std::size_t g = 0; g < G; ++g) {
    end_x1[g] = p.x1[g];
    end_dx1[g] = p.dx1[g];
    end_x2[g] = p.x2[g];
    end_dx2[g] = p.dx2[g];
  }

  // The second pass.
  auto s = std::make_unique<group_state<G, N>>();
  for (auto& ordinate : s->of) {
    for (rotation& r : ordinate) start_rotation(r);
  }
  for (auto& q : s->threshold) std::fill(q, q + G * N, 0.0);
  // Lane l's limits are l * sizeof(rotation) bytes from lane 0's.
  HWY_ALIGN std::int64_t lane_offsets[N];
  for (std::size_t l = 0; l < N; ++l) {
    lane_offsets[l] = static_cast<std::int64_t>(l * (sizeof(rotation) / sizeof(double)));
  }
  static_assert(sizeof(rotation) % sizeof(double) == 0);
  // When set, the lanes of each ordinate whose points may be looked at (1) or not (0).
  const double(*allow)[G * N] = nullptr;
  const auto fold = [&](std::size_t g, auto lanes_of) HWY_ATTR {
    const V r2d = hn::Add(hn::Mul(p.x1[g], p.x1[g]), hn::Mul(p.x2[g], p.x2[g]));
    const V r2v = hn::Add(hn::Mul(p.dx1[g], p.dx1[g]), hn::Mul(p.dx2[g], p.dx2[g]));
    const V r2a = hn::Add(hn::Mul(p.acc1[g], p.acc1[g]), hn::Mul(p.acc2[g], p.acc2[g]));
    const auto md = hn::Gt(r2d, hn::LoadU(d, s->threshold[0] + g * N));
    const auto mv = hn::Gt(r2v, hn::LoadU(d, s->threshold[1] + g * N));
    const auto ma = hn::Gt(r2a, hn::LoadU(d, s->threshold[2] + g * N));
    const auto any = hn::And(hn::Or(md, hn::Or(mv, ma)), lanes_of);
    if (HWY_LIKELY(hn::AllFalse(d, any))) return;
    HWY_ALIGN double u[6][N], r2[3][N];
    hn::Store(p.x1[g], d, u[0]);
    hn::Store(p.x2[g], d, u[1]);
    hn::Store(p.dx1[g], d, u[2]);
    hn::Store(p.dx2[g], d, u[3]);
    hn::Store(p.acc1[g], d, u[4]);
    hn::Store(p.acc2[g], d, u[5]);
    hn::Store(r2d, d, r2[0]);
    hn::Store(r2v, d, r2[1]);
    hn::Store(r2a, d, r2[2]);
    const decltype(md) m[3] = {hn::And(md, lanes_of), hn::And(mv, lanes_of), hn::And(ma, lanes_of)};
    const V* along[3][2] = {{&p.x1[g], &p.x2[g]}, {&p.dx1[g], &p.dx2[g]}, {&p.acc1[g], &p.acc2[g]}};
    const V r2v_[3] = {r2d, r2v, r2a};
    for (int q = 0; q < rotated_ordinates; ++q) {
      auto mq = m[q];
      if (allow) mq = hn::And(mq, hn::Ne(hn::LoadU(d, allow[q] + g * N), hn::Zero(d)));
      if (hn::AllFalse(d, mq)) continue;
      mq = beyond_limits(d, *along[q][0], *along[q][1], r2v_[q], mq, s->of[q][g * N].limit,
                         lane_offsets);
      const std::uint64_t bits = bits_of(d, mq);
      if (bits) FoldLanes<G, N>(t, *s, q, g, u[2 * q], u[2 * q + 1], r2[q], bits);
    }
  };
  const auto refresh = [&] {
    for (auto& ordinate : s->of) {
      for (rotation& r : ordinate) {
        if (r.stale) UpdateLimits(r);
      }
    }
  };
  // First each lane's window of the largest radius, for that lane alone: the peaks then start
  // near their final values.
  {
    std::vector<std::size_t> best(rotated_ordinates * G * N, 0);
    for (std::size_t w = 0; w < kept.size(); ++w) {
      for (int q = 0; q < rotated_ordinates; ++q) {
        for (std::size_t l = 0; l < G * N; ++l) {
          std::size_t& top = best[q * G * N + l];
          if (kept[w].largest[q][l] > kept[top].largest[q][l]) top = w;
        }
      }
    }
    std::vector<std::size_t> firsts(best);
    std::sort(firsts.begin(), firsts.end());
    firsts.erase(std::unique(firsts.begin(), firsts.end()), firsts.end());
    // The extreme points of those windows along the axes and the diagonals, of every lane,
    // folded first: the limits then keep most of the windows' points from being folded. They
    // are points of the motion, so the peaks stay those of its points.
    {
      constexpr int directions = 4;
      auto extreme = std::make_unique<double[][directions][3][G * N]>(rotated_ordinates);
      for (int q = 0; q < rotated_ordinates; ++q) {
        for (auto& direction : extreme[q]) {
          for (auto& values : direction) std::fill(values, values + G * N, 0.0);
        }
      }
      const auto scan = [&](std::size_t g, auto) HWY_ATTR {
        const V* along[3][2] = {
            {&p.x1[g], &p.x2[g]}, {&p.dx1[g], &p.dx2[g]}, {&p.acc1[g], &p.acc2[g]}};
        for (int q = 0; q < rotated_ordinates; ++q) {
          const V u = *along[q][0], v = *along[q][1];
          const V projection[directions] = {hn::Abs(u), hn::Abs(v), hn::Abs(hn::Add(u, v)),
                                            hn::Abs(hn::Sub(u, v))};
          for (int i = 0; i < directions; ++i) {
            double* value = extreme[q][i][0] + g * N;
            double* x = extreme[q][i][1] + g * N;
            double* y = extreme[q][i][2] + g * N;
            const V old = hn::LoadU(d, value);
            const auto beyond = hn::Gt(projection[i], old);
            hn::StoreU(hn::IfThenElse(beyond, projection[i], old), d, value);
            hn::StoreU(hn::IfThenElse(beyond, u, hn::LoadU(d, x)), d, x);
            hn::StoreU(hn::IfThenElse(beyond, v, hn::LoadU(d, y)), d, y);
          }
        }
      };
      for (std::size_t w : firsts) {
        if (w >= kept.size()) continue;
        load_state(kept[w]);
        const std::size_t from = w * window + 1, to = std::min(n, from + window);
        for (std::size_t m = from; m < to; ++m) p.interval(m, scan);
      }
      for (int q = 0; q < rotated_ordinates; ++q) {
        for (std::size_t l = 0; l < G * N; ++l) {
          rotation& r = s->of[q][l];
          for (int i = 0; i < directions; ++i) {
            if (!(extreme[q][i][0][l] > 0)) continue;
            const double x = extreme[q][i][1][l], y = extreme[q][i][2][l];
            FoldIntoRotation(t, x, y, x * x + y * y, r);
          }
          s->threshold[q][l] = threshold_of(r.floor);
        }
      }
      refresh();
    }
    HWY_ALIGN double only[rotated_ordinates][G * N];
    allow = only;
    for (std::size_t w : firsts) {
      if (w >= kept.size()) continue;
      for (int q = 0; q < rotated_ordinates; ++q) {
        for (std::size_t l = 0; l < G * N; ++l) only[q][l] = best[q * G * N + l] == w ? 1 : 0;
      }
      load_state(kept[w]);
      const std::size_t from = w * window + 1, to = std::min(n, from + window);
      for (std::size_t m = from; m < to; ++m) p.interval(m, fold);
      refresh();
    }
    allow = nullptr;
  }
  // The windows by their largest radius against the largest component peak of each lane.
  std::vector<std::pair<double, std::size_t>> order;
  for (std::size_t w = 0; w < kept.size(); ++w) {
    double score = 0;
    for (int q = 0; q < rotated_ordinates; ++q) {
      for (std::size_t l = 0; l < G * N; ++l) {
        const double largest = std::max(peaks[q][l], peaks[q + 3][l]);
        if (largest > 0) score = std::max(score, kept[w].largest[q][l] / (largest * largest));
      }
    }
    order.emplace_back(-score, w);
  }
  std::sort(order.begin(), order.end());
  for (const auto& [score, w] : order) {
    bool open = false;
    for (int q = 0; q < rotated_ordinates; ++q) {
      for (std::size_t l = 0; l < G * N; ++l) {
        open = open || kept[w].largest[q][l] > s->threshold[q][l];
      }
    }
    if (!open) continue;
    load_state(kept[w]);
    const std::size_t from = w * window + 1, to = std::min(n, from + window);
    for (std::size_t m = from; m < to; ++m) p.interval(m, fold);
    refresh();
  }
  // On from where the first pass stopped, until no later sample can raise a rotated peak.
  std::size_t settled_at = 0;
  for (std::size_t g = 0; g < G; ++g) {
    p.x1[g] = end_x1[g];
    p.dx1[g] = end_dx1[g];
    p.x2[g] = end_x2[g];
    p.dx2[g] = end_dx2[g];
  }
  for (std::size_t m = stop; m < n;) {
    if (rotations_settled<G, N>(d, c, first, *s, p.x1, p.dx1, p.x2, p.dx2,
                                ahead1[(m - 1) / settle_check], ahead2[(m - 1) / settle_check])) {
      settled_at = m - 1;
      break;
    }
    for (const std::size_t look = next_look(m, n); m < look; ++m) p.interval(m, fold);
    refresh();
  }

  for (std::size_t g = 0; g < G; ++g) {
    for (std::size_t l = 0; l < N && first + g * N + l < count; ++l) {
      const std::size_t i = g * N + l;
      pair_response& r = out[first + i];
      r.first = {.sd = peaks[0][i], .sv = peaks[1][i], .sa = peaks[2][i], .settled_at = settled_at};
      r.second = {
          .sd = peaks[3][i], .sv = peaks[4][i], .sa = peaks[5][i], .settled_at = settled_at};
      std::copy(s->of[0][i].peak, s->of[0][i].peak + angles, r.sd.begin());
      std::copy(s->of[1][i].peak, s->of[1][i].peak + angles, r.sv.begin());
      std::copy(s->of[2][i].peak, s->of[2][i].peak + angles, r.sa.begin());
      r.settled_at = settled_at;
    }
  }
}

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
  std::size_t first = 0;
  if (!b.substeps_of.empty()) {
    std::size_t mixed = 0;
    while (first + mixed * N < count && b.substeps_of[first + mixed * N] > 1) ++mixed;
    for (; mixed >= 2; mixed -= 2, first += 2 * N)
      run_pair_group<2, true>(b, c, first, out, ahead1, ahead2);
    if (mixed == 1) {
      run_pair_group<1, true>(b, c, first, out, ahead1, ahead2);
      first += N;
    }
  }
  for (; first + 2 * N <= count; first += 2 * N)
    run_pair_group<2, false>(b, c, first, out, ahead1, ahead2);
  for (; first < count; first += N) run_pair_group<1, false>(b, c, first, out, ahead1, ahead2);
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

void run_pair(const pair_batch& b, std::span<pair_response> out) {
  static const auto run = KERNELS_CHOOSE(RunPair);
  run(b, out.data());
}

}  // namespace kernels
#endif
