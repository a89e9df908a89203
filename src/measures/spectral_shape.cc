// Where a spectrum peaks, and its average over a band: the period of the peak PSa at 5% among
// the table's periods, and Sa_avg (Eads et al. 2015), the geometric mean of PSa at 5% over the
// periods given with --avgsa.
#include <cmath>

#include "measures/registry.h"
#include "spectra/spectrum.h"

namespace measures {
namespace {

void of_component(const component_input& c, const settings& s, std::span<double> values,
                  std::string&) {
  std::vector<double> psa;
  std::span<const double> periods, at;
  if (c.spectrum) {
    periods = c.spectrum->periods;
    at = c.spectrum->psa;
  } else {
    for (const auto& o :
         spectra::response_spectrum(c.acceleration, c.dt, s.table_periods, 0.05, false)) {
      psa.push_back(o.psa);
    }
    periods = s.table_periods;
    at = psa;
  }
  values[0] = NAN;
  double peak = 0;
  for (std::size_t i = 0; i < at.size(); ++i) {
    if (at[i] > peak) {
      peak = at[i];
      values[0] = periods[i];
    }
  }
  values[1] = NAN;
  if (!s.average_periods.empty()) {
    double logs = 0;
    for (const auto& o :
         spectra::response_spectrum(c.acceleration, c.dt, s.average_periods, 0.05, false)) {
      logs += std::log(o.psa);
    }
    values[1] = std::exp(logs / static_cast<double>(s.average_periods.size()));
  }
}

}  // namespace

const measure spectral_shape{
    .name = "spectral shape",
    .columns = {{"tp_psa_s", "s", "T of peak PSa"}, {"saavg_g", "g", "Sa_avg"}},
    .of_component = of_component};

}  // namespace measures
