// What sdofspec is asked to do, as its command line says.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/physics.h"
#include "measures/measure.h"
#include "processing/process.h"
#include "records/registry.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/spectrum.h"

namespace sdofspec {

struct options {
  std::vector<std::string> records;  // paths as given; "-" is standard input, @FILE a list
  std::vector<std::pair<std::string, std::string>> pairs;  // --pair H1 H2
  std::vector<double> periods;
  std::vector<double> dampings;
  std::optional<base::acceleration_unit> units;
  std::optional<double> counts_per_unit;    // --counts-per-unit: for records of counts
  const records::format* format = nullptr;  // --format: every record read as this one
  unsigned jobs = 1;
  bool rotd = false;
  std::vector<double> rotd_percentiles = {0, 50, 100};  // a rotated row for each, in this order
  bool energy = false;
  spectra::peak_rule peaks = spectra::peak_rule::sampled;  // --peaks
  bool detrend = false;
  bool intensity_measures = false;  // --ims
  processing::steps processing;     // applied to every component before any measure
  measures::settings measure_settings;
  // --inelastic: constant-ductility and constant-strength spectra of bilinear oscillators.
  struct inelastic_request {
    bool wanted = false;
    std::vector<double> ductilities;      // --ductility
    std::vector<double> strength_ratios;  // --strength-ratio
    double alpha = 0;                     // --alpha
  } inelastic;
  // --fas: Fourier amplitude spectra of the components and effective amplitude spectra (EAS) of
  // the horizontal pairs the run forms.
  struct fourier_request {
    bool wanted = false;
    bool raw = false;          // --fas-frequencies raw: the transform's own frequencies
    std::vector<double> grid;  // --fas-grid, Hz, rising: where the spectra are smoothed
    bool grid_given = false;   // refused past a record's Nyquist frequency (the default is capped)
    double bandwidth = fourier::default_bandwidth;  // --ko-b
  } fourier;
};

}  // namespace sdofspec
