#include "measures/husid.h"

namespace measures {

std::vector<double> husid(std::span<const double> a, double dt) {
  std::vector<double> h(a.size(), 0.0);
  double sum = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    sum += (a[i - 1] * a[i - 1] + a[i] * a[i]) * (dt / 2);
    h[i] = sum;
  }
  return h;
}

double time_reaching(std::span<const double> h, double v, double dt) {
  for (std::size_t i = 1; i < h.size(); ++i) {
    if (h[i] >= v) {
      const double rise = h[i] - h[i - 1];
      const double fraction = rise > 0 ? (v - h[i - 1]) / rise : 0;
      return (static_cast<double>(i - 1) + fraction) * dt;
    }
  }
  return static_cast<double>(h.size() - 1) * dt;
}

}  // namespace measures
