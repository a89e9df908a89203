#include "kernels/angle_peaks.h"

#include <algorithm>
#include <bit>
#include <cmath>

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

// The peaks' order as unsigned integers: a double's bits, turned so that they sort as the
// numbers do (-0 as +0, not-a-number last).
std::uint64_t order_of(double v) {
  if (std::isnan(v)) return ~std::uint64_t{0};
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v + 0.0);
  return bits >> 63 ? ~bits : bits | std::uint64_t{1} << 63;
}

}  // namespace

angle_peaks angle_peaks::of(const double* by_angle, double scale) {
  double value[angles];
  std::uint64_t order[angles], key[angles];
  if (scale == 1) {  // the same values, without 180 divisions
    std::copy(by_angle, by_angle + angles, value);
  } else {
    for (int a = 0; a < angles; ++a) value[a] = by_angle[a] / scale;
  }
  for (int a = 0; a < angles; ++a) {
    order[a] = order_of(value[a]);
    // The angle in the lowest byte: equal peaks stay in the order of their angles.
    key[a] = (order[a] & ~std::uint64_t{0xff}) | static_cast<std::uint64_t>(a);
  }
  // The peaks of neighbouring angles mostly rise or fall together: the keys come in a few
  // monotone runs, merged two by two.
  std::uint64_t spare[angles];
  int run[angles + 1], runs = 0;
  for (int i = 0; i < angles;) {
    int j = i + 1;
    if (j < angles && key[j] < key[i]) {
      while (j < angles && key[j] < key[j - 1]) ++j;
      std::reverse(key + i, key + j);
    } else {
      while (j < angles && key[j] > key[j - 1]) ++j;
    }
    run[runs++] = i;
    i = j;
  }
  run[runs] = angles;
  std::uint64_t *from = key, *to = spare;
  while (runs > 1) {
    int merged = 0;
    for (int k = 0; k < runs; k += 2) {
      const int a = run[k], b = run[std::min(k + 1, runs)], e = run[std::min(k + 2, runs)];
      std::merge(from + a, from + b, from + b, from + e, to + a);
      run[merged++] = a;
    }
    run[merged] = angles;
    runs = merged;
    std::swap(from, to);
  }
  if (from != key) std::copy(from, from + angles, key);
  // Peaks that differ only in that byte (relatively 2^-44 apart at most) are put in order again.
  for (int i = 1; i < angles; ++i) {
    for (int j = i; j > 0 && (key[j] >> 8) == (key[j - 1] >> 8); --j) {
      const std::uint64_t a = order[key[j] & 0xff], b = order[key[j - 1] & 0xff];
      if (!(a < b)) break;
      std::swap(key[j], key[j - 1]);
    }
  }
  angle_peaks r;
  for (int i = 0; i < angles; ++i) {
    const auto a = static_cast<std::uint8_t>(key[i] & 0xff);
    r.sorted[i] = value[a];
    const bool tie = i > 0 && r.sorted[i] == r.sorted[i - 1];
    r.angle[i] = tie ? r.angle[i - 1] : a;
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
