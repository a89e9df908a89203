#include "plot/reduce.h"

#include <algorithm>
#include <cmath>

namespace plot {

std::vector<std::size_t> reduced_indices(std::span<const double> x, std::span<const double> y,
                                         double x_low, double x_high, int columns) {
  std::vector<std::size_t> out;
  const std::size_t n = std::min(x.size(), y.size());
  if (n <= 4 * static_cast<std::size_t>(std::max(columns, 1))) {
    for (std::size_t i = 0; i < n; ++i) out.push_back(i);
    return out;
  }
  const double per_column = columns / (x_high - x_low);
  std::size_t first = 0, low = 0, high = 0, last = 0;
  long column = -1;
  bool open = false;
  const auto flush = [&] {
    if (!open) return;
    const std::size_t keep[4] = {first, std::min(low, high), std::max(low, high), last};
    for (std::size_t i : keep) {
      if (out.empty() || out.back() != i) out.push_back(i);
    }
    open = false;
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (std::isnan(y[i]) || std::isnan(x[i])) {
      flush();
      if (!out.empty() && !std::isnan(y[out.back()]) && !std::isnan(x[out.back()]))
        out.push_back(i);
      column = -1;
      continue;
    }
    const long c = static_cast<long>(std::floor((x[i] - x_low) * per_column));
    if (!open || c != column) {
      flush();
      column = c;
      first = low = high = last = i;
      open = true;
      continue;
    }
    if (y[i] < y[low]) low = i;
    if (y[i] > y[high]) high = i;
    last = i;
  }
  flush();
  return out;
}

points reduce(std::span<const double> x, std::span<const double> y, double x_low, double x_high,
              int columns) {
  points out;
  for (std::size_t i : reduced_indices(x, y, x_low, x_high, columns)) {
    out.x.push_back(x[i]);
    out.y.push_back(y[i]);
  }
  return out;
}

}  // namespace plot
