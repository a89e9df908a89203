// sdofspec's work for callers that want values rather than files and words on standard error
// (the Python module): a record file read as the run reads it, the run's tables kept in
// memory, and the option values the command line reads, read by the same rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/physics.h"
#include "base/status.h"
#include "edge/disk.h"
#include "programs/sdofspec/options.h"
#include "records/component.h"
#include "records/registry.h"

namespace sdofspec {

// A record file read as the run reads it ("-" is standard input): within most_record_bytes,
// told by content or as the forced format; the file's name in the failure and the warnings.
records::read_result read_record(edge::disk& disk, const std::string& path,
                                 const records::read_options& options,
                                 const records::format* forced = nullptr);

struct tables_in_memory {
  std::string spectra;    // the spectra table as -o writes it
  std::string intensity;  // the intensity-measure table as --ims writes it (with
                          // intensity_measures)
  std::string inelastic;  // the inelastic table as --inelastic writes it (with inelastic.wanted)
  std::string fourier;    // the Fourier table as --fas writes it (with fourier.wanted)
  std::vector<base::status> failures, warnings;  // in the order the command line reports them
  int status = 0;                                // the command line's exit status
};

// The run on o.records (@FILE lists expanded) with the records read through the disk and
// nothing written to it.
tables_in_memory run_in_memory(options o, edge::disk& disk);

// The files of each job of a run, in the order the tables hold them (@FILE lists expanded):
// chunks of whole jobs, run apart, give the run's tables one after the other.
struct job_files {
  std::vector<std::vector<std::string>> jobs;
  std::vector<base::status> failures;  // lists that could not be read
};
job_files plan_files(const options& o, edge::disk& disk);

// Option values as the command line reads them: ok, or what is wrong (without the option's
// name).
base::status read_units(std::string_view text, std::optional<base::acceleration_unit>& units);
base::status read_format(std::string_view name, const records::format*& format);
base::status read_peaks(std::string_view name, spectra::peak_rule& peaks);
// Counts per unit: above 0 and finite, with the units they count.
base::status check_counts_per_unit(double counts,
                                   const std::optional<base::acceleration_unit>& units);
// Processing steps as the command line takes them before any record is read: those
// processing::check(s) accepts, and the order and causal only with a step to apply them to.
base::status check_processing(const processing::steps& s);
// Threads for a run: 0 asks for one per core; never more than the cores.
unsigned threads(unsigned asked);

}  // namespace sdofspec
