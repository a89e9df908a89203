// Cumulative absolute velocity.
#include <cmath>

#include "base/physics.h"
#include "measures/registry.h"

namespace measures {
namespace {

// |a| of a linear segment: a trapezoid, or two triangles where it crosses zero.
void of_component(const component_input& c, const settings&, std::span<double> values,
                  std::string&) {
  const std::span<const double> a = c.acceleration;
  const double dt = c.dt;
  double magnitudes = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double a0 = a[i - 1], a1 = a[i];
    const double sum = std::fabs(a0) + std::fabs(a1);
    magnitudes += (a0 >= 0) == (a1 >= 0) ? dt * sum / 2
                  : sum > 0              ? dt * (a0 * a0 + a1 * a1) / (2 * sum)
                                         : 0;
  }
  values[0] = magnitudes / base::standard_gravity;
}

}  // namespace

const measure cav{
    .name = "cav", .columns = {{"cav_g_s", "g s", "CAV"}}, .of_component = of_component};

}  // namespace measures
