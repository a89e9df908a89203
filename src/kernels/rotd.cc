#include "kernels/rotd.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "kernels/rotd_angles.h"

namespace kernels {

const angle_table& unit_vectors() {
  static const angle_table table = [] {
    angle_table t{};
    for (int a = 0; a < angles; ++a) {
      const double theta = a * (std::numbers::pi / 180);
      t.c[a] = std::cos(theta);
      t.s[a] = std::sin(theta);
    }
    for (std::size_t b = 0; b < angle_blocks; ++b) {
      const double theta = (static_cast<double>(b * angle_block) + 3.5) * (std::numbers::pi / 180);
      t.centre_c[b] = std::cos(theta);
      t.centre_s[b] = std::sin(theta);
    }
    return t;
  }();
  return table;
}

namespace {

// |u1 cos t + u2 sin t| at angle a.
inline double along(const angle_table& d, int a, double u1, double u2) {
  return std::fabs(u1 * d.c[a] + u2 * d.s[a]);
}

rotated_peaks summarize(const double* peaks) {
  double sorted[angles];
  std::copy(peaks, peaks + angles, sorted);
  std::sort(sorted, sorted + angles);
  rotated_peaks r;
  r.rotd00 = sorted[0];
  r.rotd100 = sorted[angles - 1];
  r.rotd50 = (sorted[89] + sorted[90]) / 2;
  r.angle00 = static_cast<int>(std::find(peaks, peaks + angles, r.rotd00) - peaks);
  r.angle100 = static_cast<int>(std::find(peaks, peaks + angles, r.rotd100) - peaks);
  return r;
}

}  // namespace

rotated_peaks rotated_peaks_everywhere(const double* u1, const double* u2, std::size_t length,
                                       std::size_t stride) {
  const angle_table& d = unit_vectors();
  double peaks[angles] = {};
  for (std::size_t i = 0; i < length; ++i) {
    for (int a = 0; a < angles; ++a) {
      peaks[a] = std::max(peaks[a], along(d, a, u1[i * stride], u2[i * stride]));
    }
  }
  return summarize(peaks);
}

// The peak at each angle is at least its value at a few extreme points. A point whose radius
// stays below the smallest of those lower bounds is below every angle's bound in any
// direction, with a margin (1e-12) far above the rounding of the radius and the projections
// (a few units of 2^-53): it cannot hold a peak and is skipped. The points left get every
// angle, computed as rotated_peaks_everywhere computes it, so the peaks are the same.
rotated_peaks rotated_peaks_of(const double* u1, const double* u2, std::size_t length,
                               std::size_t stride) {
  const angle_table& d = unit_vectors();
  alignas(64) double peaks[padded_angles] = {};
  if (length == 0) return summarize(peaks);

  // The farthest point, and the extremes along the axes and the diagonals.
  std::size_t extreme[9] = {};
  double best[9] = {};
  for (std::size_t i = 0; i < length; ++i) {
    const double x = u1[i * stride], y = u2[i * stride];
    const double v[9] = {x * x + y * y, x, -x, y, -y, x + y, -x - y, x - y, y - x};
    for (int k = 0; k < 9; ++k) {
      if (v[k] > best[k]) {
        best[k] = v[k];
        extreme[k] = i;
      }
    }
  }
  for (std::size_t i : extreme) fold_point(d, u1[i * stride], u2[i * stride], peaks);
  const double bound = *std::min_element(peaks, peaks + angles);
  const double threshold = bound * bound;
  for (std::size_t i = 0; i < length; ++i) {
    const double x = u1[i * stride], y = u2[i * stride];
    if ((x * x + y * y) * (1 + 1e-12) < threshold) continue;
    fold_point(d, x, y, peaks);
  }
  return summarize(peaks);
}

void rotated_peaks_of_lanes(const double* u1, const double* u2, std::size_t length,
                            std::size_t stride, std::size_t count, rotated_peaks* out) {
  const angle_table& d = unit_vectors();
  const std::size_t lanes = lane_count();
  struct angle_peaks {
    alignas(64) double at[padded_angles];
  };
  std::vector<angle_peaks> peaks(lanes);
  std::vector<std::size_t> extreme(extremes * lanes);
  std::vector<double> floor(lanes);
  std::vector<double> block_low(lanes * padded_blocks, HUGE_VAL);
  for (std::size_t first = 0; first < count; first += lanes) {
    for (angle_peaks& p : peaks) {
      std::fill(p.at, p.at + angles, 0.0);
      std::fill(p.at + angles, p.at + padded_angles, HUGE_VAL);  // never the lowest of a block
    }
    if (length > 0) scan_extremes(u1, u2, length, stride, first, extreme.data());
    for (std::size_t l = 0; l < lanes; ++l) {
      for (int k = 0; length > 0 && k < extremes; ++k) {
        const std::size_t i = extreme[static_cast<std::size_t>(k) * lanes + l];
        fold_point(d, u1[i * stride + first + l], u2[i * stride + first + l], peaks[l].at);
      }
    }
    for (std::size_t l = 0; l < lanes; ++l) {
      const double* p = peaks[l].at;
      const double bound = *std::min_element(p, p + angles);
      floor[l] = bound * bound;
      for (std::size_t b = 0; b < angle_blocks; ++b) {
        block_low[l * padded_blocks + b] =
            *std::min_element(p + b * angle_block, p + (b + 1) * angle_block);
      }
    }
    fold_candidates(d, u1, u2, length, stride, first, floor.data(), peaks[0].at, block_low.data());
    for (std::size_t l = 0; l < lanes && first + l < count; ++l) {
      out[first + l] = summarize(peaks[l].at);
    }
  }
}

}  // namespace kernels
