// sdofspec's run: records in, the spectra table and the intensity-measure table out, in the
// order of the records whatever the number of threads. The operating system stays behind
// environment, so that the run can be tested in memory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "spectra/intensity.h"
#include "base/physics.h"
#include "spectra/spectrum.h"

namespace spectra {

struct options {
  std::vector<std::string> records;  // paths as given; "-" is standard input, @FILE a list
  std::vector<std::pair<std::string, std::string>> pairs;  // --pair H1 H2
  std::vector<double> periods;
  std::vector<double> dampings;
  std::optional<base::acceleration_unit> units;
  unsigned jobs = 1;
  bool rotd = false;
  bool energy = false;
  bool detrend = false;
  bool intensity_measures = false;  // --ims
  double si_tolerance = spectrum_intensity_tolerance;
};

// A text that goes out whole or not at all (a table).
class output {
 public:
  virtual ~output() = default;
  // false once a write has failed; error() says why.
  virtual bool write(std::string_view text) = 0;
  // Completes the output (a file takes its name only now); false on failure.
  virtual bool finish() = 0;
  virtual std::string error() const = 0;
};

class environment {
 public:
  virtual ~environment() = default;
  // The whole content of a file ("-": standard input); false with the reason.
  virtual bool read_file(const std::string& path, std::string& content, std::string& why) = 0;
  // One line for standard error (without its line end).
  virtual void report(std::string_view line) = 0;
  // Records done so far, of all (called only when there is more than one record).
  virtual void progress(std::size_t done, std::size_t total, double seconds) = 0;
};

// What one record (a file, or the files of a pair) came to: for pictures and reports.
struct record_result {
  std::string name;  // the record field of the table
  struct curve {
    std::string component;  // a component's name, or RotD50
    double damping = 0;
    std::vector<double> periods;
    std::vector<spectral_ordinate> ordinates;  // of RotD50: sd, psv and psa only
    bool rotated = false;
  };
  std::vector<curve> curves;
  struct measures {
    std::string component;
    // NaN where the measure has no value (the rotated rows: PGA, PGV, PGD only).
    double pga, pgv, pgd, arias, d5_75, d5_95, cav, si;
  };
  std::vector<measures> intensity;  // with --ims
};

class record_sink {
 public:
  virtual ~record_sink() = default;
  // Called once per record, in the order of the table.
  virtual void record(const record_result& r) = 0;
};

// Runs; returns the exit status: 0, or 1 when a record could not be read or an output could
// not be written (the other records are still computed and written).
int run(const options& o, environment& env, output& table, output* intensity,
        record_sink* sink = nullptr);

// The shortest text that reads back as the same double.
std::string shortest(double value);
// A CSV field: quoted when it holds a comma, a quote, a line end or edge blanks.
std::string csv_field(std::string_view text);

}  // namespace spectra
