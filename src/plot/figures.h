// The pictures of the suite: sdofresp's histories and energy balance, sdofspec's spectra.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plot/chart.h"
#include "plot/outputs.h"

namespace plot {

// Ground velocities (one panel per component), the energy balance of one component (kinetic,
// strain and damping energy stacked, the input energy as a line over them), or the response
// histories (per component: input and absolute acceleration; relative displacement).
// name is the file's name, for the title.
figure history_figure(const output_table& t, std::string_view name);

// One spectrum curve of a record: a component (or RotD50) at one damping.
struct spectrum_curve {
  std::string label;
  std::vector<double> periods;                           // s
  std::vector<double> sd;                                // cm
  std::vector<double> psa;                               // g
  std::vector<double> psv;                               // cm/s
  std::vector<double> relative_energy, absolute_energy;  // cm/s, empty without energies
  bool heavy = false;                                    // drawn heavier (RotD50)
};

// PSa against period on log-log axes; with energies, a second panel of the input-energy
// equivalent velocities.
figure spectrum_figure(std::string_view record, const std::vector<spectrum_curve>& curves);

// PSv against period on log-log axes with the lines of constant Sd and constant PSa: the
// four-way (tripartite) plot.
figure tripartite_figure(std::string_view record, const std::vector<spectrum_curve>& curves);

}  // namespace plot
