// What a run does, worked out before anything is read or computed: the record files, the jobs
// they make (a file, or the files of a horizontal pair), the spectra asked at each damping, and
// once a job's files are read, what gets a spectrum (a component, or a pair). Pure.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/status.h"
#include "records/component.h"

namespace sdofspec {

// A job: files read and computed together, written together, in the order of the file list.
struct job {
  std::vector<std::size_t> files;  // indices into the file list
  bool pair = false;               // its horizontals make a pair (with --rotd, or --pair)
  bool given_pair = false;         // --pair: the first component of each file
};

// The file list (records as given, then the files of --pair not among them) and its jobs: a
// pair given with --pair, the AT2 files of one record of the PEER database (with --rotd), or a
// file alone.
struct job_plan {
  std::vector<std::string> files;
  std::vector<job> jobs;
};
job_plan plan_jobs(std::vector<std::string> files,
                   std::span<const std::pair<std::string, std::string>> pairs, bool rotd);

// The spectra at one damping: the periods of the table sorted, each once, and the table's
// periods (in their order) as indices into them.
struct request {
  double damping = 0;
  std::vector<double> periods;
  std::vector<std::size_t> table;
};
std::vector<request> plan_requests(std::span<const double> periods,
                                   std::span<const double> dampings);

// What gets a spectrum: one component, or a horizontal pair cut to one length.
struct unit {
  std::size_t file = 0, component = 0;
  std::size_t second_file = 0, second_component = 0;  // of a pair
  bool pair = false;
  std::string name;                       // the record field of a pair's rotated rows
  std::span<const double> first, second;  // the samples (a pair's cut to one length)
  double dt = 0;
};

// A job's files as read: their paths and components (none where a file could not be read).
struct loaded_file {
  std::string path;
  std::vector<records::component> components;
};

// The units of a job, in the order of files and components, and the words for what could not
// be paired (warnings, or failures that leave the components alone).
struct job_units {
  std::vector<unit> units;
  std::vector<base::status> warnings, failures;
};
job_units plan_units(const job& j, std::span<const loaded_file> files);

}  // namespace sdofspec
