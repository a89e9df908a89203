// The picture of a record's Fourier amplitude spectra: each component's spectrum at the
// transform's own frequencies in a light line, its smoothed spectrum on top, and the effective
// amplitude spectrum of a horizontal pair heavier, on log-log axes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "plot/chart.h"

namespace plot {

// One spectrum of a record: a component's FAS or a pair's EAS.
struct fourier_curve {
  std::string label;                      // the component's name, or "EAS"
  std::vector<double> frequencies, raw;   // Hz, cm/s: the transform's bins (may be empty)
  std::vector<double> centres, smoothed;  // Hz, cm/s: the smoothed spectrum (may be empty)
  bool effective = false;                 // the EAS of a pair: drawn heavier, in black
};

// note goes under the panel (what the smoothing was, for instance).
figure fourier_figure(std::string_view record, const std::vector<fourier_curve>& curves,
                      std::string_view note = {});

}  // namespace plot
