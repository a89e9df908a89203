#include "kernels/angle_peaks.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kernels {
namespace {

// Where the percentile p falls: the index at or below its rank, and the fraction beyond.
struct rank {
  int below;
  double fraction;
};

rank rank_of(double p) {
  if (!(p > 0)) return {0, 0};  // NaN too
  if (!(p < 100)) return {angles - 1, 0};
  const double r = p * (angles - 1) / 100;
  const int below = std::min(static_cast<int>(r), angles - 2);
  return {below, r - below};
}

}  // namespace

angle_peaks angle_peaks::of(const double* by_angle, double scale) {
  double value[angles];
  for (int a = 0; a < angles; ++a) value[a] = by_angle[a] / scale;
  std::array<std::uint8_t, angles> order;
  std::iota(order.begin(), order.end(), std::uint8_t{0});
  // Ascending, not-a-number last; equal peaks stay in the order of their angles.
  std::stable_sort(order.begin(), order.end(), [&](std::uint8_t i, std::uint8_t j) {
    return value[i] < value[j] || (!std::isnan(value[i]) && std::isnan(value[j]));
  });
  angle_peaks r;
  for (int i = 0; i < angles; ++i) {
    r.sorted[i] = value[order[i]];
    const bool tie = i > 0 && r.sorted[i] == r.sorted[i - 1];
    r.angle[i] = tie ? r.angle[i - 1] : order[i];
  }
  return r;
}

double angle_peaks::percentile(double p) const {
  const rank k = rank_of(p);
  const double low = sorted[k.below];
  if (k.fraction == 0) return low;
  // At p = 50 the fraction is 1/2: (low + high) / 2 exactly, as 0.5 times each is exact.
  return (1 - k.fraction) * low + k.fraction * sorted[k.below + 1];
}

int angle_peaks::angle_at(double p) const {
  return angle[rank_of(p).below];
}

}  // namespace kernels
