// Every measure of one component, or of one horizontal pair, at once: the values of the
// intensity table's columns for it, in their order, for callers that take one record at a
// time (the Python module). Pure.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "base/status.h"
#include "measures/measure.h"

namespace measures {

// The columns of all the measures, in order.
std::vector<tables::column> all_columns();

// Ok, or what is wrong with settings given as numbers: the tolerance as --si-tolerance takes
// it, a bracket threshold above 0, the periods of Sa_avg and of the table positive and finite.
base::status check_settings(const settings& s);
// The record (spectra::check_record), the settings, and every period the measures take within
// the bound on steps per interval, as sdofspec refuses a record.
base::status check_request(std::span<const double> acceleration, double dt, const settings& s);

struct component_values {
  std::vector<double> values;         // one per column of all_columns(); NaN: none
  std::vector<std::string> warnings;  // each a measure's words, where one is due
};

// The measures of a component: acceleration in cm/s2 at intervals of dt s; with detrend the
// ground displacement's least-squares line removed first (PGV, PGD), as --detrend does.
component_values evaluate_component(std::span<const double> acceleration, double dt,
                                    const settings& s, bool detrend);

// The rotated values of a pair (cut to the shorter): rotated_rows rows (RotD00, RotD50,
// RotD100) of all_columns() each, in row order; NaN where a measure has no rotated value.
std::vector<double> evaluate_pair(std::span<const double> first, std::span<const double> second,
                                  double dt, bool detrend);

}  // namespace measures
