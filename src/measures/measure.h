// Intensity measures, each a module that declares its columns (name, unit, heading) and
// computes them from a component, and where it has a meaning from a rotated pair. The run asks
// this list for its columns and values: a new measure touches its own file, its test and the
// README's table.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "measures/ground.h"
#include "tables/csv.h"

namespace measures {

// What the command line sets for the measures.
struct settings {
  double si_tolerance = 1e-6;           // the halving criterion of the spectral integrals
  double bracket_g = 0.05;              // --bracket: the bracketed duration's threshold
  std::vector<double> average_periods;  // --avgsa: the periods of Sa_avg (none: no Sa_avg)
  std::vector<double> table_periods;    // --periods: where the peak PSa is looked for
  // --ims-spectral: which spectral integrals are computed (each takes thousands of oscillator
  // runs per component: VSI and ASI more than SI); the others' columns stay empty.
  bool si = true, vsi = false, asi = false;
};

// A component's spectrum at 5% damping at the table's periods, when the run has it.
struct spectrum_at_5_percent {
  std::span<const double> periods;  // s
  std::span<const double> psa;      // g
};

// One component as every measure sees it.
struct component_input {
  std::span<const double> acceleration;  // cm/s2
  double dt = 0;                         // s
  const ground_histories& ground;
  const spectrum_at_5_percent* spectrum = nullptr;  // computed where missing
};

// A horizontal pair of one length, for the rotated rows.
struct pair_input {
  component_input first, second;
};

// The rotated rows of a pair: RotD00, RotD50 and RotD100.
inline constexpr int rotated_rows = 3;

struct measure {
  std::string_view name;
  std::vector<tables::column> columns;
  // The values of the columns for a component (NaN: none); a warning's words where one is due.
  void (*of_component)(const component_input& c, const settings& s, std::span<double> values,
                       std::string& warning);
  // The values of the rotated rows, rotated_rows times the columns in row order; nullptr where
  // the measure has no rotated value (its fields are then empty).
  void (*of_pair)(const pair_input& p, std::span<double> values) = nullptr;
  // Computed as a task of its own: it takes as long as a component's spectra or longer.
  bool own_task = false;
};

// Every measure, in the order of the table's columns.
std::span<const measure> all();
// Where the column of that name is among the columns of all the measures, in order.
std::size_t column_index(std::string_view name);

}  // namespace measures
