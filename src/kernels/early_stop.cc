#include "kernels/early_stop.h"

#include <algorithm>
#include <cmath>

namespace kernels {

std::vector<input_ahead> input_to_come(std::span<const double> ddy, double interval) {
  std::vector<input_ahead> r((ddy.size() - 1) / settle_check + 1);
  double sum = 0, largest = 0;
  for (std::size_t j = r.size(); j-- > 0;) {
    const std::size_t from = j * settle_check, to = std::min(ddy.size(), from + settle_check);
    // Four sums and four maxima that need not wait for one another.
    double part[4] = {0, 0, 0, 0}, most[4] = {largest, 0, 0, 0};
    std::size_t m = from;
    for (; m + 4 <= to; m += 4) {
      for (std::size_t i = 0; i < 4; ++i) {
        part[i] += std::fabs(ddy[m + i]);
        most[i] = std::max(most[i], std::fabs(ddy[m + i]));
      }
    }
    for (; m < to; ++m) {
      part[0] += std::fabs(ddy[m]);
      most[0] = std::max(most[0], std::fabs(ddy[m]));
    }
    largest = std::max(std::max(most[0], most[1]), std::max(most[2], most[3]));
    sum += interval * ((part[0] + part[1]) + (part[2] + part[3]));
    r[j] = {sum, largest};
  }
  return r;
}

std::vector<input_ahead> input_to_come(const batch& b) {
  if (b.displacement || b.ddy.empty()) return {};
  for (const oscillator_coefficients& o : b.oscillators) {
    if (!(o.step.hw >= 0)) return {};
  }
  return input_to_come(b.ddy, b.step * b.substeps);
}

}  // namespace kernels
