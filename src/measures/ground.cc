#include "measures/ground.h"

namespace measures {

ground_histories integrate(std::span<const double> a, double dt, bool detrend) {
  ground_histories g = processing::integrate(a, dt);
  const std::size_t n = a.size();
  if (detrend && n >= 2) {
    // Least squares d = c + s t over the samples, t = i dt.
    double st = 0, sd = 0, stt = 0, std_ = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(i) * dt;
      st += t;
      sd += g.displacement[i];
      stt += t * t;
      std_ += t * g.displacement[i];
    }
    const double count = static_cast<double>(n);
    const double slope = (count * std_ - st * sd) / (count * stt - st * st);
    const double intercept = (sd - slope * st) / count;
    for (std::size_t i = 0; i < n; ++i) {
      g.displacement[i] -= intercept + slope * static_cast<double>(i) * dt;
      g.velocity[i] -= slope;
    }
  }
  return g;
}

}  // namespace measures
