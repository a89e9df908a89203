// The pictures of the suite: sdofresp's histories and energy balance, sdofspec's spectra and
// the record's own histories. Each names its record, its quantities with their units and its
// damping; components that are zero throughout are left out, and a note says so.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/physics.h"
#include "plot/chart.h"
#include "plot/outputs.h"

namespace plot {

// What sdofresp's files do not say: the record, the unit of its accelerations and the
// oscillator of the run.
struct history_labels {
  std::string file;    // the file's name; Energy-Density-wave<k>.csv names its component k
  std::string record;  // the record's name for the title, where known (else the file's)
  // The unit of the record's accelerations; velocities, displacements and energies per unit
  // mass follow (from g: cm/s, cm and cm2/s2). Without it the axes say "record units".
  std::optional<base::acceleration_unit> units;
  double period = NAN;   // s, the oscillator's
  double damping = NAN;  // ratio of critical, the oscillator's
};

// Ground velocities (one panel per component), the energy balance of one component (kinetic,
// strain and damping energy stacked, the input energy as a line over them), or the response
// histories (per component: ground and absolute acceleration; relative displacement), with
// their peaks marked.
figure history_figure(const output_table& t, const history_labels& labels);

// One spectrum curve of a record: a component (or RotD50) at one damping. The curves of a
// component share a colour; those of a damping share a line style.
struct spectrum_curve {
  std::string component;                                 // NS, EW, UD, RotD50...
  double damping = 0.05;                                 // ratio of critical
  std::vector<double> periods;                           // s
  std::vector<double> sd;                                // cm
  std::vector<double> psa;                               // g
  std::vector<double> psv;                               // cm/s
  std::vector<double> relative_energy, absolute_energy;  // cm/s, empty without energies
  bool heavy = false;                                    // drawn black and heavier (RotD50)
};

enum class spectrum_scale { logarithmic, linear };

// PSa against period, log-log (PSa from a decade below the smallest value that matters, 1% of
// the peak, to a margin above the peak; periods over the grid) or linear; each component's
// peak marked at 5% damping (else the least). With energies, panels of the relative and the
// absolute input energy as equivalent velocities.
figure spectrum_figure(std::string_view title, const std::vector<spectrum_curve>& curves,
                       spectrum_scale scale = spectrum_scale::logarithmic);

// PSv against period on log-log axes with the lines of constant Sd and constant PSa, labelled
// along the frame at each decade (and at 2 and 5 where there is room): the tripartite plot.
figure tripartite_figure(std::string_view title, const std::vector<spectrum_curve>& curves);

// The record itself: per component its acceleration, velocity and displacement (the peaks
// PGA, PGV and PGD marked with value and time), then the Husid curves of all components with
// the 5%, 75% and 95% crossings and the durations D5-75 and D5-95. Times are i dt from the
// first sample.
struct record_trace {
  std::string name;                  // NS, EW, UD, HNE...
  std::vector<double> acceleration;  // one value a sample, in the record's acceleration unit
  std::vector<double> velocity;      // in its velocity unit
  std::vector<double> displacement;  // in its displacement unit
  // The Arias intensity up to each sample over the whole (0 to 1); a crossing is where it
  // first reaches the level, linear between samples.
  std::vector<double> husid;
};
struct record_histories {
  std::string title;
  double dt = 0;  // s
  std::string acceleration_unit = "g", velocity_unit = "cm/s", displacement_unit = "cm";
  std::vector<record_trace> components;
};
figure record_figure(const record_histories& r);

// A value with three significant digits, as the pictures write peaks: 0.348, 12.3, 412.
std::string value_text(double value);

}  // namespace plot
