// sdofspec's run: records in, the spectra table and the intensity-measure table out, in the
// order of the records whatever the number of threads. Everything reaches the operating system
// through an edge::disk, so the run can be tested in memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/status.h"
#include "edge/disk.h"
#include "edge/output_file.h"
#include "programs/sdofspec/options.h"
#include "report/record.h"

namespace sdofspec {

// Where a run's words go.
class reporter {
 public:
  virtual ~reporter() = default;
  virtual void report(const base::status& s, bool warning) = 0;
  // Records done so far, of all (called only when there is more than one record).
  virtual void progress(std::size_t done, std::size_t total, double seconds) = 0;
};

struct outputs {
  edge::output_file* table = nullptr;      // always
  edge::output_file* intensity = nullptr;  // with --ims
  edge::output_file* inelastic = nullptr;  // with --inelastic
  edge::output_file* fourier = nullptr;    // with --fas
  report::record_sink* sink = nullptr;     // pictures and the report page
  // With processing: each processed component as an .AT2 file, in the folder of this name.
  std::string processed_folder;
  edge::run_files* files = nullptr;  // through which those files are written
};

// The largest record file read, and the most samples a component may have: memory stays
// bounded whatever a file holds or claims.
inline constexpr std::size_t most_record_bytes = std::size_t{2} << 30;
inline constexpr std::size_t most_samples = 100'000'000;

// The record files of the command line: @FILE replaced by the paths it lists (one per line);
// a list that cannot be read is a failure, and the others are still read.
struct record_list {
  std::vector<std::string> files;
  std::vector<std::string> lists;  // the list files read: inputs too
  std::vector<base::status> failures;
};
record_list expand_lists(const std::vector<std::string>& records, edge::disk& disk);

// Runs on o.records (expanded); returns the exit status: 0, or 1 when a record could not be
// read or an output could not be written (the other records are still computed and written).
// The outputs are committed at the end (whole), or left for the caller to drop.
int run(const options& o, edge::disk& disk, reporter& words, const outputs& out);

}  // namespace sdofspec
