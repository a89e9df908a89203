// What the vector kernels share: the oscillators' coefficients laid out in lanes, one step of
// the recurrence, the peaks, and the bound of the early stop. Compiled into each kernel's file
// once per instruction set (Highway's -inl.h idiom: included again for every target).
#if defined(SDOF_KERNELS_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef SDOF_KERNELS_LANES_INL_H_
#undef SDOF_KERNELS_LANES_INL_H_
#else
#define SDOF_KERNELS_LANES_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "kernels/batch.h"
#include "kernels/early_stop.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One coefficient of every oscillator of the batch, side by side; padding lanes repeat the
// last oscillator. The kernel holds the first coefficient_count in registers; the table goes
// on with the rest of what the bound of the early stop takes (settled, below), worked out once.
enum coefficient { a11, a12, a21, a22, b11, b12, b21, b22, hw2, w2, coefficient_count };

// The bound's factors, in rows of a table from 2hw on.
enum bound_factor { two_hw_row, w_squared_row, hw_row, inverse_hw_row, wd_row, w_row, bound_rows };
constexpr int table_rows = static_cast<int>(hw2) + bound_rows;

inline void put_bound_factors(double hw, double w_squared, double* two_hw_of_lane,
                              std::size_t stride) {
  const double values[bound_rows] = {
      hw + hw, w_squared, hw, 1 / hw, std::sqrt(w_squared - hw * hw), std::sqrt(w_squared)};
  for (int i = 0; i < bound_rows; ++i)
    two_hw_of_lane[static_cast<std::size_t>(i) * stride] = values[i];
}

struct lanes {
  std::size_t padded;
  std::vector<double> values;  // coefficient c of lane l at values[c * padded + l]
  const double* of(int c, std::size_t lane) const { return values.data() + c * padded + lane; }
};

inline lanes lay_out(std::span<const oscillator_coefficients> oscillators, int node) {
  lanes l;
  l.padded = padded(oscillators.size());
  l.values.resize(table_rows * l.padded);
  for (std::size_t lane = 0; lane < l.padded; ++lane) {
    const oscillator_coefficients& o = oscillators[std::min(lane, oscillators.size() - 1)];
    const response::recurrence& r = node < 0 ? o.step : o.to_node[node];
    const double c[hw2] = {r.a11, r.a12, r.a21, r.a22, r.b11, r.b12, r.b21, r.b22};
    for (int k = 0; k < hw2; ++k) l.values[k * l.padded + lane] = c[k];
    put_bound_factors(o.step.hw, o.step.w2, &l.values[hw2 * l.padded + lane], l.padded);
  }
  return l;
}

template <class D>
using V = hn::Vec<D>;

// The coefficients of one vector of oscillators, held in registers for a whole record.
template <class D>
struct vector_coefficients {
  V<D> k[coefficient_count];
  vector_coefficients(D d, const lanes& c, std::size_t lane) {
    for (int i = 0; i < coefficient_count; ++i) k[i] = hn::LoadU(d, c.of(i, lane));
  }
  // Lane l of the vector holds oscillator lane_of[l].
  vector_coefficients(D d, const lanes& c, const std::int64_t* lane_of) {
    const auto index = hn::LoadU(hn::RebindToSigned<D>(), lane_of);
    for (int i = 0; i < coefficient_count; ++i) k[i] = hn::GatherIndex(d, c.of(i, 0), index);
  }
};

// x(m) = a12 dx + a11 x + b12 ddym + b11 ddyf, summed in this order; dx(m) likewise.
template <class D>
HWY_INLINE void advance(const vector_coefficients<D>& c, V<D>& x, V<D>& dx, V<D> ddyf, V<D> ddym) {
  const V<D> xm = hn::Add(
      hn::Add(hn::Add(hn::Mul(c.k[a12], dx), hn::Mul(c.k[a11], x)), hn::Mul(c.k[b12], ddym)),
      hn::Mul(c.k[b11], ddyf));
  const V<D> dxm = hn::Add(
      hn::Add(hn::Add(hn::Mul(c.k[a22], dx), hn::Mul(c.k[a21], x)), hn::Mul(c.k[b22], ddym)),
      hn::Mul(c.k[b21], ddyf));
  x = xm;
  dx = dxm;
}

// The state of one vector of oscillators at the first sample: at rest, or the batch's start.
template <class D>
HWY_INLINE void load_start(D d, const batch& b, std::size_t first, V<D>& x, V<D>& dx) {
  x = dx = hn::Zero(d);
  if (b.start.empty()) return;
  HWY_ALIGN double xs[hn::MaxLanes(d)], dxs[hn::MaxLanes(d)];
  for (std::size_t l = 0; l < hn::Lanes(d); ++l) {
    const auto& s = b.start[std::min(first + l, b.oscillators.size() - 1)];
    xs[l] = s.x;
    dxs[l] = s.dx;
  }
  x = hn::Load(d, xs);
  dx = hn::Load(d, dxs);
}

// The peaks with a new state: |x|, |x'| and the absolute acceleration, or |x| alone.
// |-(2hw dx) - w^2 x| is |2hw dx + w^2 x|: rounding is symmetric about zero.
template <bool all_peaks = true, class D>
HWY_INLINE void take_peaks(const vector_coefficients<D>& k, V<D> x, V<D> dx, V<D>& sd, V<D>& sv,
                           V<D>& sa) {
  if constexpr (!all_peaks) {
    sd = hn::Max(sd, hn::Abs(x));
    return;
  }
  const V<D> acceleration = hn::Add(hn::Mul(k.k[hw2], dx), hn::Mul(k.k[w2], x));
  sd = hn::Max(sd, hn::Abs(x));
  sv = hn::Max(sv, hn::Abs(dx));
  sa = hn::Max(sa, hn::Abs(acceleration));
}

// Whether no later sample can raise the peaks of any lane. With W = sqrt(dx^2 + 2hw x dx +
// w^2 x^2), W^2 / 2 is an energy that free vibration loses at the rate 2hw exactly, and the
// input changes W by at most |a| per unit time: so W(t') <= exp(-hw (t' - t)) W(t) + the
// integral of exp(-hw (t' - tau)) |a| from t to t', which is at most W(t) + the smaller of the
// integral of |a| to the end and the largest |a| / hw. And since W^2 = (dx + hw x)^2 + wd^2 x^2
// (wd = w sqrt(1 - h^2)), |x| <= W / wd, |dx| <= W w / wd and |2hw dx + w^2 x| <= W w^2 / wd.
// The margin covers rounding. two_hw: where the lanes' 2hw are in a table of the bound's
// factors, rows stride apart.
// The lanes whose peaks no later sample can raise, from W^2 (squared_w) and what the input
// still holds, as settled says.
template <bool all_peaks, class D>
HWY_INLINE hn::Mask<D> below_peaks(D d, const double* two_hw_of_lanes, std::size_t stride,
                                   V<D> squared_w, const input_ahead& ahead, V<D> sd, V<D> sv,
                                   V<D> sa) {
  const auto row = [&](bound_factor i) {
    return hn::LoadU(d, two_hw_of_lanes + static_cast<std::size_t>(i) * stride);
  };
  const V<D> wd = row(wd_row);
  const V<D> forced =
      hn::Min(hn::Set(d, ahead.integral), hn::Mul(hn::Set(d, ahead.largest), row(inverse_hw_row)));
  const V<D> bound = hn::Mul(hn::Add(hn::Sqrt(squared_w), forced), hn::Set(d, 1 + 1e-6));
  auto below = hn::And(hn::Lt(bound, hn::Mul(wd, sd)), hn::Gt(sd, hn::Set(d, least_settling_peak)));
  if constexpr (all_peaks) {
    below = hn::And(below, hn::And(hn::Lt(hn::Mul(bound, row(w_row)), hn::Mul(wd, sv)),
                                   hn::Lt(hn::Mul(bound, row(w_squared_row)), hn::Mul(wd, sa))));
  }
  return below;
}

template <bool all_peaks, class D>
HWY_INLINE bool settled(D d, const double* two_hw_of_lanes, std::size_t stride, V<D> x, V<D> dx,
                        V<D> sd, V<D> sv, V<D> sa, const input_ahead& ahead) {
  const auto row = [&](bound_factor i) {
    return hn::LoadU(d, two_hw_of_lanes + static_cast<std::size_t>(i) * stride);
  };
  const V<D> energy = hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(row(two_hw_row), hn::Mul(x, dx))),
                              hn::Mul(row(w_squared_row), hn::Mul(x, x)));
  return hn::AllTrue(d,
                     below_peaks<all_peaks>(d, two_hw_of_lanes, stride, energy, ahead, sd, sv, sa));
}

// The sample after which the kernel next looks at whether the peaks have settled (every
// settle_check-th one), plus one, or n: the steps before it make a loop of their own, as tight
// as without the looks. (The state stays in registers only if no lambda or call takes its
// address in that loop.)
inline std::size_t next_look(std::size_t m, std::size_t n) {
  return std::min(n, (m / settle_check + 1) * settle_check + 1);
}
inline bool time_to_look(bool may_stop, std::size_t m) {
  return may_stop && (m - 1) % settle_check == 0;
}

// At a look (m one past the sample just taken), whether the peaks of all G vectors have
// settled.
template <bool all_peaks, std::size_t G, class D>
HWY_INLINE bool settled_at_look(D d, std::span<const input_ahead> to_come, std::size_t m,
                                const lanes& c, std::size_t first, const V<D>* x, const V<D>* dx,
                                const V<D>* sd, const V<D>* sv, const V<D>* sa) {
  if (!time_to_look(!to_come.empty(), m)) return false;
  const input_ahead& ahead = to_come[(m - 1) / settle_check];
  for (std::size_t g = 0; g < G; ++g) {
    if (!settled<all_peaks>(d, c.of(hw2, first + g * hn::Lanes(d)), c.padded, x[g], dx[g], sd[g],
                            sv[g], sa[g], ahead)) {
      return false;
    }
  }
  return true;
}

// Sd, Sv and Sa of the lanes from first on that are oscillators of the batch (not padding).
template <class D>
HWY_INLINE void store_peaks(D d, const batch& b, std::size_t first, V<D> sd, V<D> sv, V<D> sa,
                            peak_response* peaks, std::size_t settled_at = 0) {
  HWY_ALIGN double out[3][hn::MaxLanes(d)];
  hn::Store(sd, d, out[0]);
  hn::Store(sv, d, out[1]);
  hn::Store(sa, d, out[2]);
  for (std::size_t l = 0; l < hn::Lanes(d) && first + l < b.oscillators.size(); ++l) {
    peaks[first + l].sd = out[0][l];
    peaks[first + l].sv = out[1][l];
    peaks[first + l].sa = out[2][l];
    peaks[first + l].settled_at = settled_at;
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#endif  // SDOF_KERNELS_LANES_INL_H_
