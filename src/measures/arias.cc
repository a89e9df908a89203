// Arias intensity and the significant durations on its normalised (Husid) curve.
#include <cmath>
#include <numbers>

#include "base/physics.h"
#include "measures/registry.h"

namespace measures {
namespace {

// The time at which the normalised cumulative curve h (at the samples) first reaches p.
double crossing(const std::vector<double>& h, double p, double dt) {
  for (std::size_t i = 1; i < h.size(); ++i) {
    if (h[i] >= p) {
      const double rise = h[i] - h[i - 1];
      const double fraction = rise > 0 ? (p - h[i - 1]) / rise : 0;
      return (static_cast<double>(i - 1) + fraction) * dt;
    }
  }
  return static_cast<double>(h.size() - 1) * dt;
}

// The acceleration is linear between samples; the integral of a^2 is exact for it.
void of_component(const component_input& c, const settings&, std::span<double> values,
                  std::string&) {
  const std::span<const double> a = c.acceleration;
  const double dt = c.dt;
  std::vector<double> husid(a.size(), 0.0);
  double squares = 0;
  for (std::size_t i = 1; i < a.size(); ++i) {
    const double a0 = a[i - 1], a1 = a[i];
    squares += dt * (a0 * a0 + a0 * a1 + a1 * a1) / 3;
    husid[i] = squares;
  }
  // cm2/s3 to m2/s3, and g in m/s2.
  values[0] = std::numbers::pi / (2 * (base::standard_gravity / 100)) * squares / 10000;
  // A record of zeros has no Husid curve: its durations stay empty.
  values[1] = values[2] = NAN;
  if (squares > 0) {
    for (double& h : husid) h /= squares;
    const double t5 = crossing(husid, 0.05, dt);
    values[1] = crossing(husid, 0.75, dt) - t5;
    values[2] = crossing(husid, 0.95, dt) - t5;
  }
}

}  // namespace

const measure arias{.name = "arias",
                    .columns = {{"arias_m_s", "m/s", "Arias"},
                                {"d5_75_s", "s", "D5-75"},
                                {"d5_95_s", "s", "D5-95"}},
                    .of_component = of_component};

}  // namespace measures
