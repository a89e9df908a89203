// Peak ground acceleration, velocity and displacement; of a pair, their rotated values.
#include <cmath>

#include "base/physics.h"
#include "kernels/rotd.h"
#include "measures/registry.h"

namespace measures {
namespace {

double largest_magnitude(std::span<const double> v) {
  double m = 0;
  for (double x : v) m = std::max(m, std::fabs(x));
  return m;
}

void of_component(const component_input& c, const settings&, std::span<double> values,
                  std::string&) {
  values[0] = largest_magnitude(c.acceleration) / base::standard_gravity;
  values[1] = largest_magnitude(c.ground.velocity);
  values[2] = largest_magnitude(c.ground.displacement);
}

void of_pair(const pair_input& p, std::span<double> values) {
  const std::size_t n = p.first.acceleration.size();
  const kernels::rotated_peaks peaks[3] = {
      kernels::rotated_peaks_of(p.first.acceleration.data(), p.second.acceleration.data(), n),
      kernels::rotated_peaks_of(p.first.ground.velocity.data(), p.second.ground.velocity.data(), n),
      kernels::rotated_peaks_of(p.first.ground.displacement.data(),
                                p.second.ground.displacement.data(), n)};
  const double scale[3] = {base::standard_gravity, 1, 1};
  for (std::size_t k = 0; k < 3; ++k) {
    values[k] = peaks[k].rotd00 / scale[k];
    values[3 + k] = peaks[k].rotd50 / scale[k];
    values[6 + k] = peaks[k].rotd100 / scale[k];
  }
}

}  // namespace

const measure peaks{
    .name = "peaks",
    .columns = {{"pga_g", "g", "PGA"}, {"pgv_cm_s", "cm/s", "PGV"}, {"pgd_cm", "cm", "PGD"}},
    .of_component = of_component,
    .of_pair = of_pair};

}  // namespace measures
