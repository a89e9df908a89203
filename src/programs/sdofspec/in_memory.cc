#include "programs/sdofspec/in_memory.h"

#include <algorithm>
#include <limits>
#include <thread>

#include "edge/diagnostic.h"
#include "edge/memory_outputs.h"
#include "edge/output_file.h"
#include "edge/read_file.h"
#include "programs/sdofspec/plan.h"
#include "programs/sdofspec/run.h"

namespace sdofspec {
namespace {

// The words of a run, kept.
class kept_words final : public reporter {
 public:
  explicit kept_words(tables_in_memory& out) : out_(out) {}
  void report(const base::status& s, bool warning) override {
    (warning ? out_.warnings : out_.failures).push_back(s);
  }
  void progress(std::size_t, std::size_t, double) override {}

 private:
  tables_in_memory& out_;
};

}  // namespace

records::read_result read_record(edge::disk& disk, const std::string& path,
                                 const records::read_options& options,
                                 const records::format* forced) {
  const edge::file_content content = edge::read_file(
      disk, path, most_record_bytes,
      [forced](std::string_view head) { return records::recognise(head, forced); },
      records::head_size);
  if (!content.status.ok()) return records::refused(content.status);
  records::read_result r = records::read_any(content.text, options, forced);
  r.status.file = path;
  if (r.ok()) r.status = {};
  for (base::status& w : r.warnings) w.file = path;
  return r;
}

tables_in_memory run_in_memory(options o, edge::disk& disk) {
  tables_in_memory out;
  edge::memory_outputs memory(disk);
  record_list list = expand_lists(o.records, memory);
  out.failures = std::move(list.failures);
  for (const base::status& s : out.failures)
    out.status = std::max(out.status, edge::exit_status(s));
  o.records = std::move(list.files);
  o.jobs = threads(o.jobs);
  o.measure_settings.table_periods = o.periods;  // as the command line sets them
  edge::run_files files(memory);
  base::status why;
  const auto spectra = files.claim("memory:spectra", why);
  const auto intensity = o.intensity_measures ? files.claim("memory:intensity", why) : nullptr;
  const auto inelastic = o.inelastic.wanted ? files.claim("memory:inelastic", why) : nullptr;
  const auto fourier = o.fourier.wanted ? files.claim("memory:fourier", why) : nullptr;
  kept_words words(out);
  out.status = std::max(
      out.status,
      run(o, memory, words, {spectra.get(), intensity.get(), inelastic.get(), fourier.get()}));
  // Memory takes every write: the commits cannot fail.
  (void)spectra->commit();
  if (intensity) (void)intensity->commit();
  if (inelastic) (void)inelastic->commit();
  if (fourier) (void)fourier->commit();
  out.spectra = memory.take("memory:spectra");
  out.intensity = memory.take("memory:intensity");
  out.inelastic = memory.take("memory:inelastic");
  out.fourier = memory.take("memory:fourier");
  return out;
}

job_files plan_files(const options& o, edge::disk& disk) {
  record_list list = expand_lists(o.records, disk);
  const job_plan plan = plan_jobs(std::move(list.files), o.pairs, o.rotd);
  job_files out{.jobs = {}, .failures = std::move(list.failures)};
  for (const job& j : plan.jobs) {
    std::vector<std::string>& files = out.jobs.emplace_back();
    for (std::size_t f : j.files) files.push_back(plan.files[f]);
  }
  return out;
}

base::status read_units(std::string_view text, std::optional<base::acceleration_unit>& units) {
  units = base::parse_unit(text);
  if (units) return {};
  return base::failure("expected g, gal or m/s2, not '" + std::string(text) + "'",
                       base::code::usage);
}

base::status read_peaks(std::string_view name, spectra::peak_rule& peaks) {
  if (name == "sampled" || name == "continuous") {
    peaks = name == "sampled" ? spectra::peak_rule::sampled : spectra::peak_rule::continuous;
    return {};
  }
  return base::failure("sampled or continuous, not '" + std::string(name) + "'", base::code::usage);
}

base::status read_format(std::string_view name, const records::format*& format) {
  format = records::format_named(name);
  if (format) return {};
  std::string names;
  for (const records::format& f : records::formats()) {
    names += (names.empty() ? "" : ", ") + std::string(f.name);
  }
  return base::failure("one of " + names + ", not '" + std::string(name) + "'", base::code::usage);
}

base::status check_counts_per_unit(double counts,
                                   const std::optional<base::acceleration_unit>& units) {
  if (!(counts > 0 && counts < std::numeric_limits<double>::infinity())) {
    return base::failure("a number above 0", base::code::usage);
  }
  if (!units) return base::failure("needs the units they count", base::code::usage);
  return {};
}

base::status check_processing(const processing::steps& s) {
  if (s.any()) return processing::check(s);
  if (s.causal || s.order != 4) {
    return base::failure("the order and causal need a processing step", base::code::usage);
  }
  return {};
}

unsigned threads(unsigned asked) {
  // The work is arithmetic: a thread beyond the cores only waits for one.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return asked == 0 ? cores : std::min(asked, cores);
}

}  // namespace sdofspec
