// The innermost loop of the rotated peaks, in vector lanes: one point against every angle.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/rotd_simd.cc"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>

#include "kernels/rotd_angles.h"

HWY_BEFORE_NAMESPACE();
namespace kernels {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// peaks[a] = max(peaks[a], |x cos a + y sin a|), evaluated as the scalar definition is.
void FoldPoint(const angle_table& t, double x, double y, double* HWY_RESTRICT peaks) {
  const hn::ScalableTag<double> d;
  const auto vx = hn::Set(d, x), vy = hn::Set(d, y);
  for (std::size_t a = 0; a < padded_angles; a += hn::Lanes(d)) {
    const auto along =
        hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.c + a)), hn::Mul(vy, hn::Load(d, t.s + a))));
    hn::Store(hn::Max(hn::Load(d, peaks + a), along), d, peaks + a);
  }
}

std::size_t LaneCount() {
  return hn::Lanes(hn::ScalableTag<double>());
}

// For lanes first .. first + vector width of a lane-interleaved history: the points farthest
// from the origin, along the axes and along the diagonals.
void ScanExtremes(const double* u1, const double* u2, std::size_t length, std::size_t stride,
                  std::size_t first, std::size_t* extreme /* [extremes][lanes] */) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = hn::Vec<decltype(d)>;
  Vec best[extremes], at[extremes];
  for (int k = 0; k < extremes; ++k) best[k] = at[k] = hn::Zero(d);
  for (std::size_t i = 0; i < length; ++i) {
    const Vec x = hn::LoadU(d, u1 + i * stride + first), y = hn::LoadU(d, u2 + i * stride + first);
    const Vec v[extremes] = {hn::Add(hn::Mul(x, x), hn::Mul(y, y)), hn::Abs(x), hn::Abs(y),
                             hn::Abs(hn::Add(x, y)), hn::Abs(hn::Sub(x, y))};
    const Vec index = hn::Set(d, static_cast<double>(i));
    for (int k = 0; k < extremes; ++k) {
      const auto larger = hn::Gt(v[k], best[k]);
      best[k] = hn::IfThenElse(larger, v[k], best[k]);
      at[k] = hn::IfThenElse(larger, index, at[k]);
    }
  }
  HWY_ALIGN double out[hn::MaxLanes(d)];
  for (int k = 0; k < extremes; ++k) {
    hn::Store(at[k], d, out);
    for (std::size_t l = 0; l < N; ++l) extreme[k * N + l] = static_cast<std::size_t>(out[l]);
  }
}

// Folds one point into the blocks of eight angles that it can raise (see fold_candidates).
HWY_INLINE void FoldIntoOpenBlocks(const angle_table& t, double x, double y, double radius,
                                   double* HWY_RESTRICT peaks,
                                   const double* HWY_RESTRICT block_low) {
  const hn::CappedTag<double, angle_block> d;
  const auto vx = hn::Set(d, x), vy = hn::Set(d, y);
  const auto slack = hn::Set(d, radius * block_half_width);
  for (std::size_t b0 = 0; b0 < padded_blocks; b0 += hn::Lanes(d)) {
    const auto centre = hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.centre_c + b0)),
                                        hn::Mul(vy, hn::Load(d, t.centre_s + b0))));
    const auto open = hn::Not(hn::Lt(hn::Add(centre, slack), hn::LoadU(d, block_low + b0)));
    if (hn::AllFalse(d, open)) continue;
    HWY_ALIGN uint8_t bits[8];
    hn::StoreMaskBits(d, open, bits);
    for (std::size_t k = 0; k < hn::Lanes(d); ++k) {
      const std::size_t b = b0 + k;
      // The padding block is never folded into: its low is +inf, which a point of infinite
      // radius would not stay below.
      if (b >= angle_blocks || !(bits[k / 8] & (1u << (k % 8)))) continue;
      for (std::size_t a = b * angle_block; a < (b + 1) * angle_block; a += hn::Lanes(d)) {
        const auto along =
            hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.c + a)), hn::Mul(vy, hn::Load(d, t.s + a))));
        hn::Store(hn::Max(hn::Load(d, peaks + a), along), d, peaks + a);
      }
    }
  }
}

// Whether any point within radius rho of the centre (cx, cy) may raise a block of angles: its
// projection on any angle of a block exceeds the centre's projection on the block's centre by
// at most rho plus the centre's distance times block_half_width.
HWY_INLINE bool MayRaise(const angle_table& t, double cx, double cy, double rho,
                         const double* HWY_RESTRICT block_low) {
  const hn::CappedTag<double, angle_block> d;
  const double slack = std::sqrt(cx * cx + cy * cy) * block_half_width + rho;
  const auto vx = hn::Set(d, cx), vy = hn::Set(d, cy), vslack = hn::Set(d, slack);
  const auto margin = hn::Set(d, 1 + 1e-12);
  for (std::size_t b = 0; b < padded_blocks; b += hn::Lanes(d)) {
    const auto centre = hn::Abs(hn::Add(hn::Mul(vx, hn::Load(d, t.centre_c + b)),
                                        hn::Mul(vy, hn::Load(d, t.centre_s + b))));
    const auto bound = hn::Mul(hn::Add(centre, vslack), margin);
    if (!hn::AllTrue(d, hn::Lt(bound, hn::LoadU(d, block_low + b)))) return true;
  }
  return false;
}

// Every point of lanes first .. first + width whose squared radius, enlarged by the margin,
// reaches the lane's threshold is folded into that lane's peaks. The points go by in runs of
// sixteen: a run whose bounding box cannot raise any block of angles is passed over whole.
void FoldCandidates(const angle_table& t, const double* u1, const double* u2, std::size_t length,
                    std::size_t stride, std::size_t first, const double* threshold,
                    double* peaks /* [lanes][padded_angles] */,
                    double* block_low /* [lanes][padded_blocks] */) {
  const hn::ScalableTag<double> d;
  const std::size_t N = hn::Lanes(d);
  using Vec = hn::Vec<decltype(d)>;
  constexpr std::size_t run = 16;
  const Vec limit = hn::LoadU(d, threshold);
  const Vec margin = hn::Set(d, 1 + 1e-12);
  HWY_ALIGN double box[4][hn::MaxLanes(d)];
  for (std::size_t i0 = 0; i0 < length; i0 += run) {
    const std::size_t i1 = std::min(length, i0 + run);
    Vec x_low = hn::Set(d, HUGE_VAL), x_high = hn::Set(d, -HUGE_VAL);
    Vec y_low = x_low, y_high = x_high;
    Vec r2_high = hn::Zero(d);
    for (std::size_t i = i0; i < i1; ++i) {
      const Vec x = hn::LoadU(d, u1 + i * stride + first);
      const Vec y = hn::LoadU(d, u2 + i * stride + first);
      x_low = hn::Min(x_low, x);
      x_high = hn::Max(x_high, x);
      y_low = hn::Min(y_low, y);
      y_high = hn::Max(y_high, y);
      const Vec r2 = hn::Mul(hn::Add(hn::Mul(x, x), hn::Mul(y, y)), margin);
      r2_high = hn::Max(r2_high, r2);
    }
    // Some point of the run reaches the threshold.
    const auto in_band = hn::Not(hn::Lt(r2_high, limit));
    if (hn::AllFalse(d, in_band)) continue;
    hn::Store(x_low, d, box[0]);
    hn::Store(x_high, d, box[1]);
    hn::Store(y_low, d, box[2]);
    hn::Store(y_high, d, box[3]);
    HWY_ALIGN uint8_t lanes_in_band[8];
    hn::StoreMaskBits(d, in_band, lanes_in_band);
    for (std::size_t l = 0; l < N; ++l) {
      if (!(lanes_in_band[l / 8] & (1u << (l % 8)))) continue;
      const double cx = (box[0][l] + box[1][l]) / 2, cy = (box[2][l] + box[3][l]) / 2;
      const double wx = box[1][l] - box[0][l], wy = box[3][l] - box[2][l];
      const double rho = std::sqrt(wx * wx + wy * wy) / 2;
      double* lane_peaks = peaks + l * padded_angles;
      double* lane_low = block_low + l * padded_blocks;
      if (!MayRaise(t, cx, cy, rho, lane_low)) continue;
      for (std::size_t i = i0; i < i1; ++i) {
        const double x = u1[i * stride + first + l], y = u2[i * stride + first + l];
        const double r2 = (x * x + y * y) * (1 + 1e-12);
        if (r2 < threshold[l]) continue;
        FoldIntoOpenBlocks(t, x, y, std::sqrt(r2), lane_peaks, lane_low);
      }
    }
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace kernels
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "kernels/dispatch.h"

namespace kernels {
void fold_point(const angle_table& t, double x, double y, double* peaks) {
  static const auto fold = KERNELS_CHOOSE(FoldPoint);
  fold(t, x, y, peaks);
}
std::size_t lane_count() {
  static const auto count = KERNELS_CHOOSE(LaneCount);
  return count();
}
void scan_extremes(const double* u1, const double* u2, std::size_t length, std::size_t stride,
                   std::size_t first, std::size_t* extreme) {
  static const auto scan = KERNELS_CHOOSE(ScanExtremes);
  scan(u1, u2, length, stride, first, extreme);
}
void fold_candidates(const angle_table& t, const double* u1, const double* u2, std::size_t length,
                     std::size_t stride, std::size_t first, const double* threshold, double* peaks,
                     double* block_low) {
  static const auto fold = KERNELS_CHOOSE(FoldCandidates);
  fold(t, u1, u2, length, stride, first, threshold, peaks, block_low);
}
}  // namespace kernels
#endif
