// Arias intensity, the significant durations on its normalised (Husid) curve, and the
// root-mean-square acceleration over D5-95.
#include <cmath>
#include <numbers>

#include "base/physics.h"
#include "measures/husid.h"
#include "measures/registry.h"

namespace measures {
namespace {

// Ia = π/(2g) ∫ a² dt, by the trapezoidal rule on the samples; D5-75 and D5-95 between the
// times the Husid curve reaches 5%, 75% and 95% of Ia; a_rms = √(0.9 ∫a² dt / D5-95), the
// mean square over D5-95 holding 90% of ∫a² dt.
void of_component(const component_input& c, const settings&, std::span<double> values,
                  std::string&) {
  const std::vector<double> h = husid(c.acceleration, c.dt);
  const double squares = h.empty() ? 0 : h.back();
  // cm²/s³ to m²/s³, and g in m/s².
  values[0] = std::numbers::pi / (2 * (base::standard_gravity / 100)) * squares / 10000;
  // A record of zeros has no Husid curve: its durations stay empty.
  values[1] = values[2] = values[3] = NAN;
  if (squares > 0) {
    const double t5 = time_reaching(h, 0.05 * squares, c.dt);
    values[1] = time_reaching(h, 0.75 * squares, c.dt) - t5;
    values[2] = time_reaching(h, 0.95 * squares, c.dt) - t5;
    values[3] = values[2] > 0 ? std::sqrt(0.9 * squares / values[2]) / base::standard_gravity : NAN;
  }
}

}  // namespace

const measure arias{.name = "arias",
                    .columns = {{"arias_m_s", "m/s", "Arias"},
                                {"d5_75_s", "s", "D5-75"},
                                {"d5_95_s", "s", "D5-95"},
                                {"arms_g", "g", "a_rms (D5-95)"}},
                    .of_component = of_component};

}  // namespace measures
