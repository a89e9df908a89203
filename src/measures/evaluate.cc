#include "measures/evaluate.h"

#include <algorithm>
#include <cmath>

#include "measures/ground.h"
#include "measures/spectrum_intensity.h"
#include "spectra/grids.h"
#include "spectra/inputs.h"
#include "spectra/spectrum.h"

namespace measures {

std::vector<tables::column> all_columns() {
  std::vector<tables::column> columns;
  for (const measure& m : all()) columns.insert(columns.end(), m.columns.begin(), m.columns.end());
  return columns;
}

base::status check_settings(const settings& s) {
  if (base::status why = spectra::check_tolerance(s.si_tolerance); !why.ok()) return why;
  if (!(s.bracket_g > 0) || !std::isfinite(s.bracket_g)) {
    return base::failure("the bracketed duration's threshold is a number of g above 0",
                         base::code::usage);
  }
  if (base::status why = spectra::check_period_values(s.average_periods); !why.ok()) return why;
  return spectra::check_period_values(s.table_periods);
}

base::status check_request(std::span<const double> acceleration, double dt, const settings& s) {
  base::status why = spectra::check_record(acceleration, dt);
  if (why.ok()) why = check_settings(s);
  if (!why.ok()) return why;
  std::vector<double> periods = {shortest_spectral_period};
  periods.insert(periods.end(), s.table_periods.begin(), s.table_periods.end());
  periods.insert(periods.end(), s.average_periods.begin(), s.average_periods.end());
  return spectra::check_periods(periods, dt);
}

component_values evaluate_component(std::span<const double> acceleration, double dt,
                                    const settings& s, bool detrend) {
  const ground_histories ground = integrate(acceleration, dt, detrend);
  const component_input input{acceleration, dt, ground, nullptr};
  component_values out;
  for (const measure& m : all()) {
    std::vector<double> values(m.columns.size(), NAN);
    std::string warning;
    m.of_component(input, s, values, warning);
    if (!warning.empty()) out.warnings.push_back(std::move(warning));
    out.values.insert(out.values.end(), values.begin(), values.end());
  }
  return out;
}

std::vector<double> evaluate_pair(std::span<const double> first, std::span<const double> second,
                                  double dt, bool detrend) {
  const std::size_t n = std::min(first.size(), second.size());
  first = first.first(n);
  second = second.first(n);
  const ground_histories g1 = integrate(first, dt, detrend), g2 = integrate(second, dt, detrend);
  const pair_input pair{{first, dt, g1}, {second, dt, g2}};
  std::vector<double> rows[rotated_rows];
  for (const measure& m : all()) {
    const std::size_t columns = m.columns.size();
    std::vector<double> values(rotated_rows * columns, NAN);
    if (m.of_pair) m.of_pair(pair, values);
    for (std::size_t k = 0; k < rotated_rows; ++k) {
      const auto from = values.begin() + static_cast<std::ptrdiff_t>(k * columns);
      rows[k].insert(rows[k].end(), from, from + static_cast<std::ptrdiff_t>(columns));
    }
  }
  std::vector<double> out;
  for (const std::vector<double>& row : rows) out.insert(out.end(), row.begin(), row.end());
  return out;
}

}  // namespace measures
