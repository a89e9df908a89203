// What one record (a file, or the files of a pair) came to, as the pictures and the report
// page need it.
#pragma once

#include <string>
#include <vector>

#include "base/status.h"
#include "spectra/spectrum.h"

namespace report {

struct curve {
  std::string component;  // a component's name, or RotD50
  double damping = 0;
  std::vector<double> periods;
  std::vector<spectra::spectral_ordinate> ordinates;  // of RotD50: sd, psv and psa only
  bool rotated = false;
};

// A row of the intensity measures: the values of every column of measures::all(), in order
// (NaN where a column has none).
struct measure_row {
  std::string component;
  bool rotated = false;
  std::vector<double> values;
};

// A file of a record as it was read.
struct file_read {
  std::string path;
  std::string station, event, start;  // as the file gives them ("" where it does not)
  double dt = 0;                      // s
  std::size_t samples = 0;
  std::vector<std::string> channels;
};

// A component's constant-ductility spectrum at one damping: R_mu and C_mu per ductility.
struct inelastic_curves {
  std::string component;
  double damping = 0, alpha = 0;
  struct curve {
    double ductility = 0;
    std::vector<double> periods, r_mu, c_mu;  // NaN where the ductility is not reached
  };
  std::vector<curve> curves;
};

// A component's Fourier amplitude spectrum, or a pair's effective amplitude spectrum (EAS).
struct fourier_curve {
  std::string label;                      // the component's name, or EAS
  double df = 0;                          // Hz: raw holds the amplitudes at k df
  std::vector<double> raw;                // cm/s
  std::vector<double> centres, smoothed;  // Hz, cm/s (empty where not smoothed)
  bool effective = false;                 // the EAS
};

// A component's histories for the record's picture: as recorded, and processed where it was.
struct component_histories {
  std::string name;
  std::vector<double> acceleration;  // g
  std::vector<double> velocity;      // cm/s
  std::vector<double> displacement;  // cm
  std::vector<double> husid;         // the normalised Arias intensity, 0 to 1
};

struct record_result {
  std::string name;     // the record field of the table
  std::string title;    // for the pictures: the file's name without its folder, and station
  bool energy = false;  // the curves hold input energies
  std::vector<file_read> files;
  std::vector<std::string> pairs;  // the horizontal pairs formed, "180 + 270"
  std::vector<curve> curves;
  std::vector<measure_row> intensity;              // with --ims
  std::vector<inelastic_curves> inelastic;         // with --inelastic and ductilities
  std::vector<fourier_curve> fourier;              // with --fas
  std::string fourier_note;                        // how the Fourier spectra were smoothed
  double dt = 0;                                   // of the histories
  std::vector<component_histories> histories;      // as processed (or recorded)
  std::vector<component_histories> raw_histories;  // as recorded, where processed
};

class record_sink {
 public:
  virtual ~record_sink() = default;
  // Called once per record, in the order of the table.
  virtual void record(const record_result& r) = 0;
  // A record, or a part of one, that could not be read or computed: its words.
  virtual void failed(const base::status&) {}
};

}  // namespace report
