// Cumulative absolute velocity and its variants of the nuclear industry and of liquefaction
// studies, by the trapezoidal rule on the samples.
#include <cmath>

#include "base/physics.h"
#include "measures/registry.h"

namespace measures {
namespace {

// CAV = ∫|a| dt. CAV_STD (EPRI 1991): the same over the 1-s windows (from the first sample)
// whose peak |a| exceeds 0.025 g, each interval counted in the window of its midpoint.
// CAV5 (Kramer and Mitchell 2006): ∫|a| dt where |a| ≥ 5 cm/s², a sample below counting 0.
void of_component(const component_input& c, const settings&, std::span<double> values,
                  std::string&) {
  const std::span<const double> a = c.acceleration;
  const double dt = c.dt;
  const double threshold = 0.025 * base::standard_gravity;
  double all = 0, standard = 0, above5 = 0;
  double window_sum = 0, window_peak = a.empty() ? 0 : std::fabs(a[0]);
  long window = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double a0 = std::fabs(a[i - 1]), a1 = std::fabs(a[i]);
    const double area = (a0 + a1) * (dt / 2);
    all += area;
    above5 += ((a0 >= 5 ? a0 : 0) + (a1 >= 5 ? a1 : 0)) * (dt / 2);
    const auto w = static_cast<long>(std::floor((static_cast<double>(i) - 0.5) * dt));
    if (w != window) {
      if (window_peak > threshold) standard += window_sum;
      window = w;
      window_sum = 0;
      window_peak = a0;
    }
    window_sum += area;
    window_peak = std::max(window_peak, a1);
  }
  if (window_peak > threshold) standard += window_sum;
  values[0] = all / base::standard_gravity;
  values[1] = standard / base::standard_gravity;
  values[2] = above5;
}

}  // namespace

const measure cav{.name = "cav",
                  .columns = {{"cav_g_s", "g s", "CAV"},
                              {"cav_std_g_s", "g s", "CAV_STD"},
                              {"cav5_cm_s", "cm/s", "CAV5"}},
                  .of_component = of_component};

}  // namespace measures
