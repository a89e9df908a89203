// sdofspec: response spectra, rotated spectra, intensity measures and input-energy spectra of
// ground-motion records, from the command line.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "base/numbers.h"
#include "base/paths.h"
#include "base/strings.h"
#include "base/time.h"
#include "edge/diagnostic.h"
#include "edge/output_file.h"
#include "programs/command_line.h"
#include "programs/sdofspec/console.h"
#include "programs/sdofspec/in_memory.h"
#include "programs/sdofspec/run.h"
#include "report/report.h"
#include "spectra/fourier/frequencies.h"
#include "spectra/fourier/smoothing.h"
#include "spectra/grids.h"
#include "spectra/inelastic/options.h"

namespace {

// When the run was made, in UTC; SOURCE_DATE_EPOCH, where set, stands for now (reproducible
// pages).
std::string run_date() {
  const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
  const std::optional<long long> fixed =
      epoch ? base::parse_integer(epoch, 0, 1LL << 40) : std::nullopt;
  const auto now = fixed
                       ? std::chrono::sys_seconds(std::chrono::seconds(*fixed))
                       : std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  return base::format_utc(now);
}

// The command line as typed, each argument quoted where a shell would need it.
std::string typed(int argc, char** argv) {
  std::string line = "sdofspec";
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    const bool plain =
        !a.empty() &&
        a.find_first_not_of(
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@%+=:,./_-") ==
            std::string_view::npos;
    line += ' ';
    if (plain) {
      line += a;
    } else {
      line += '\'';
      for (char c : a) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
      line += '\'';
    }
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const command_line command{"sdofspec", "[options] RECORD...", "sdofspec " SDOF_VERSION};
  CLI::App app{
      "Response spectra of ground-motion records: the peak response of a linear oscillator over\n"
      "periods and damping ratios, by the exact recurrence for an acceleration linear between\n"
      "samples; rotated spectra, intensity measures, input-energy, inelastic and Fourier\n"
      "spectra; processing of raw records. Records in any format of --format, told by their\n"
      "content; - is standard input, @FILE a list of files.",
      "sdofspec"};
  app.set_version_flag("--version", command.version);
  sdofspec::options o;
  std::string output = "-", periods = "nga-west2", damping = "0.05", units, ims, plot_folder, page,
              si_tolerance, format, counts_per_unit, bracket, average, inelastic, ductility,
              strength_ratio, alpha, processed_folder, plot_scale = "log", spectral = "si", fas,
              fas_frequencies, fas_grid, ko_b;
  double pre_event = NAN, taper = NAN, highpass = NAN, lowpass = NAN;
  std::vector<std::string> pair;
  std::string rotd_percentiles;
  app.add_option("-o,--output", output, "Write the table to FILE (default: standard output, -)")
      ->option_text("FILE");
  app.add_option("--periods", periods,
                 "nga-west2 (111 periods, default), gmm (21), a list 0.1,0.2,1, or "
                 "log:TMIN:TMAX:N")
      ->option_text("GRID");
  app.add_option("--damping", damping, "Damping ratios, comma-separated (default 0.05)")
      ->option_text("LIST");
  app.add_option("--units", units,
                 "Unit of records whose header names none: g, gal (cm/s2) or m/s2")
      ->option_text("UNIT");
  std::string format_names;
  for (const records::format& f : records::formats()) {
    format_names += (format_names.empty() ? "" : ", ") + std::string(f.name);
  }
  app.add_option("--format", format,
                 "Read every record as this format (default: told by content): " + format_names)
      ->option_text("NAME");
  app.add_option("--counts-per-unit", counts_per_unit,
                 "For records of counts (miniSEED, SAC): counts per unit of --units")
      ->option_text("X");
  app.add_option("-j,--jobs", o.jobs, "Threads (default and at most: the cores)")->option_text("N");
  app.add_flag("--rotd", o.rotd, "Rotated spectra RotD00, RotD50, RotD100 of horizontal pairs");
  app.add_option("--rotd-percentiles", rotd_percentiles,
                 "The rotated rows: RotD at these percentiles of the 180 angles' peaks, of Sd, Sv "
                 "and Sa (default 0,50,100)")
      ->option_text("LIST");
  app.add_option("--pair", pair, "Two files that make a horizontal pair (may be repeated)")
      ->expected(2)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->allow_extra_args(false)
      ->option_text("H1 H2");
  app.add_option("--ims", ims, "Write intensity measures to FILE (- standard output)")
      ->option_text("FILE");
  app.add_option("--si-tolerance", si_tolerance,
                 "The spectrum intensity's period grid is halved until that changes it by less "
                 "than this, relative (default 1e-6)")
      ->option_text("X");
  app.add_option("--ims-spectral", spectral,
                 "The spectral integrals among the intensity measures: si (default), vsi, asi, "
                 "comma-separated, or none (VSI and ASI each cost twice the SI)")
      ->option_text("LIST");
  app.add_option("--bracket", bracket,
                 "The bracketed duration's threshold of |a| in g (default 0.05)")
      ->option_text("G");
  app.add_option("--avgsa", average,
                 "The periods of Sa_avg, the geometric mean of PSa at 5% (a list or "
                 "log:TMIN:TMAX:N; default: no Sa_avg)")
      ->option_text("GRID");
  app.add_option("--inelastic", inelastic,
                 "Write the inelastic spectra of bilinear oscillators to FILE (- standard output)")
      ->option_text("FILE");
  app.add_option("--ductility", ductility,
                 "Target ductilities of the constant-ductility spectra (default 1.5,2,4,6 when "
                 "no --strength-ratio is given)")
      ->option_text("LIST");
  app.add_option("--strength-ratio", strength_ratio,
                 "Strength reduction factors R of the constant-strength spectra")
      ->option_text("LIST");
  app.add_option("--alpha", alpha, "Post-yield stiffness over the initial stiffness (default 0)")
      ->option_text("A");
  app.add_option("--fas", fas,
                 "Write the Fourier amplitude spectra of the components, and the effective "
                 "amplitude spectra (EAS) of the horizontal pairs of --rotd and --pair, to FILE (- "
                 "standard output)")
      ->option_text("FILE");
  app.add_option("--fas-frequencies", fas_frequencies,
                 "smoothed (default): Konno-Ohmachi smoothed at --fas-grid; raw: at the "
                 "transform's own frequencies")
      ->option_text("raw|smoothed");
  app.add_option("--fas-grid", fas_grid,
                 "Where the spectra are smoothed: log:FMIN:FMAX:N in Hz (default " +
                     std::string(fourier::default_grid) + ", capped at each record's Nyquist)")
      ->option_text("GRID");
  app.add_option("--ko-b", ko_b, "The Konno-Ohmachi bandwidth b (default 40)")->option_text("B");
  app.add_option("--pre-event", pre_event,
                 "Remove the mean of the first S seconds (default: of the whole record, when "
                 "any processing is asked)")
      ->option_text("S");
  app.add_option("--taper", taper, "A half-cosine taper S seconds long at both ends")
      ->option_text("S");
  app.add_option("--highpass", highpass, "An acausal Butterworth high-pass filter at FC Hz")
      ->option_text("FC");
  app.add_option("--lowpass", lowpass, "An acausal Butterworth low-pass filter at FC Hz")
      ->option_text("FC");
  app.add_option("--order", o.processing.order, "The filters' order, 1 to 8 (default 4)")
      ->option_text("N");
  app.add_flag("--causal", o.processing.causal, "Filter in one pass forward (not zero phase)");
  app.add_flag("--baseline", o.processing.baseline,
               "Remove the displacement's degree-6 polynomial baseline after filtering");
  app.add_option("--write-processed", processed_folder,
                 "Write each processed component as a PEER .AT2 file into DIR")
      ->option_text("DIR");
  app.add_flag("--detrend", o.detrend,
               "Remove the least-squares line of the ground displacement (PGV, PGD)");
  app.add_flag("--energy", o.energy, "Input-energy spectra, as equivalent velocities");
  std::string peaks = "sampled";
  app.add_option("--peaks", peaks,
                 "sampled (default): peaks at the samples, with sub-steps of at most a tenth of "
                 "the period; continuous: over continuous time, between the samples too")
      ->option_text("sampled|continuous");
  app.add_option("--plot", plot_folder,
                 "Write each record's spectrum and tripartite plot (SVG) into DIR, and with --fas "
                 "its Fourier spectra")
      ->option_text("DIR");
  app.add_option("--plot-scale", plot_scale,
                 "log (default): PSa against period on log-log axes; linear: on linear axes")
      ->option_text("log|linear");
  app.add_option("--report", page,
                 "Write one self-contained HTML page: intensity measures and plots")
      ->option_text("FILE.html");
  app.add_option("records", o.records, "Record files")->option_text("RECORD...");
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  o.jobs = cores;

  if (const auto status = command.parse(app, argc, argv)) return *status;

  if (o.records.empty() && pair.empty()) return command.usage_error("no record given");
  if (o.jobs < 1) return command.usage_error("--jobs must be at least 1");
  // The work is arithmetic: a thread beyond the cores only waits for one.
  o.jobs = std::min(o.jobs, cores);
  const spectra::parsed_values p = spectra::parse_periods(periods);
  if (!p.status.ok()) return command.usage_error("--periods: " + p.status.what);
  o.periods = p.values;
  const spectra::parsed_values h = spectra::parse_dampings(damping);
  if (!h.status.ok()) return command.usage_error("--damping: " + h.status.what);
  o.dampings = h.values;
  if (!rotd_percentiles.empty()) {
    const spectra::parsed_values q = spectra::parse_percentiles(rotd_percentiles);
    if (!q.status.ok()) return command.usage_error("--rotd-percentiles: " + q.status.what);
    o.rotd_percentiles = q.values;
  }
  if (const base::status s = sdofspec::read_peaks(peaks, o.peaks); !s.ok()) {
    return command.usage_error("--peaks: " + s.what);
  }
  if (!units.empty()) {
    o.units = base::parse_unit(units);
    if (!o.units)
      return command.usage_error("--units: expected g, gal or m/s2, not '" + units + "'");
  }
  if (!si_tolerance.empty()) {
    const spectra::parsed_values t = spectra::parse_tolerance(si_tolerance);
    if (!t.status.ok()) return command.usage_error("--si-tolerance: " + t.status.what);
    o.measure_settings.si_tolerance = t.values[0];
  }
  if (!format.empty()) {
    o.format = records::format_named(format);
    if (!o.format)
      return command.usage_error("--format: one of " + format_names + ", not '" + format + "'");
  }
  if (!counts_per_unit.empty()) {
    const std::optional<double> c = base::parse_decimal(counts_per_unit);
    if (!c || !(*c > 0)) {
      return command.usage_error("--counts-per-unit: a number above 0, not '" + counts_per_unit +
                                 "'");
    }
    if (!o.units) return command.usage_error("--counts-per-unit needs --units");
    o.counts_per_unit = c;
  }
  if (!bracket.empty()) {
    const std::optional<double> b = base::parse_decimal(bracket);
    if (!b || !(*b > 0)) {
      return command.usage_error("--bracket: a threshold in g above 0, not '" + bracket + "'");
    }
    o.measure_settings.bracket_g = *b;
  }
  if (!average.empty()) {
    const spectra::parsed_values a = spectra::parse_periods(average);
    if (!a.status.ok()) return command.usage_error("--avgsa: " + a.status.what);
    o.measure_settings.average_periods = a.values;
  }
  o.measure_settings.table_periods = o.periods;
  {
    measures::settings& m = o.measure_settings;
    m.si = m.vsi = m.asi = false;
    for (std::string_view name : base::split(spectral, ',')) {
      if (name == "si")
        m.si = true;
      else if (name == "vsi")
        m.vsi = true;
      else if (name == "asi")
        m.asi = true;
      else if (name != "none") {
        return command.usage_error("--ims-spectral: si, vsi, asi or none, not '" +
                                   std::string(name) + "'");
      }
    }
  }
  if (plot_scale != "log" && plot_scale != "linear") {
    return command.usage_error("--plot-scale: log or linear, not '" + plot_scale + "'");
  }
  for (const auto& [value, step] :
       {std::pair{pre_event, &o.processing.pre_event}, std::pair{taper, &o.processing.taper},
        std::pair{highpass, &o.processing.highpass}, std::pair{lowpass, &o.processing.lowpass}}) {
    if (!std::isnan(value)) *step = value;
  }
  // What the steps are checked for before any record is read; the rest, record by record.
  if (o.processing.any()) {
    if (const base::status s = processing::check(o.processing); !s.ok()) {
      return command.usage_error(s.what);
    }
  } else if (o.processing.causal || o.processing.order != 4 || !processed_folder.empty()) {
    return command.usage_error("--causal, --order and --write-processed need a processing step");
  }
  if (inelastic.empty() && !(ductility.empty() && strength_ratio.empty() && alpha.empty())) {
    return command.usage_error("--ductility, --strength-ratio and --alpha need --inelastic FILE");
  }
  if (!inelastic.empty()) {
    o.inelastic.wanted = true;
    if (ductility.empty() && strength_ratio.empty())
      ductility = spectra::inelastic::default_ductilities;
    if (!ductility.empty()) {
      const spectra::parsed_values d = spectra::inelastic::parse_ductilities(ductility);
      if (!d.status.ok()) return command.usage_error("--ductility: " + d.status.what);
      o.inelastic.ductilities = d.values;
    }
    if (!strength_ratio.empty()) {
      const spectra::parsed_values r = spectra::inelastic::parse_strength_ratios(strength_ratio);
      if (!r.status.ok()) return command.usage_error("--strength-ratio: " + r.status.what);
      o.inelastic.strength_ratios = r.values;
    }
    if (!alpha.empty()) {
      const spectra::parsed_values a = spectra::inelastic::parse_alpha(alpha);
      if (!a.status.ok()) return command.usage_error("--alpha: " + a.status.what);
      o.inelastic.alpha = a.values[0];
    }
  }
  if (fas.empty() && !(fas_frequencies.empty() && fas_grid.empty() && ko_b.empty())) {
    return command.usage_error("--fas-frequencies, --fas-grid and --ko-b need --fas FILE");
  }
  if (!fas.empty()) {
    o.fourier.wanted = true;
    if (fas_frequencies == "raw") {
      o.fourier.raw = true;
      if (!fas_grid.empty() || !ko_b.empty()) {
        return command.usage_error("--fas-grid and --ko-b smooth: not with --fas-frequencies raw");
      }
    } else if (!fas_frequencies.empty() && fas_frequencies != "smoothed") {
      return command.usage_error("--fas-frequencies: raw or smoothed, not '" +
                                 base::printable(fas_frequencies) + "'");
    }
    if (!fas_grid.empty()) {
      const spectra::parsed_values g = fourier::parse_grid(fas_grid);
      if (!g.status.ok()) return command.usage_error("--fas-grid: " + g.status.what);
      o.fourier.grid = g.values;
      o.fourier.grid_given = true;
    }
    if (!ko_b.empty()) {
      const spectra::parsed_values b = fourier::parse_bandwidth(ko_b);
      if (!b.status.ok()) return command.usage_error("--ko-b: " + b.status.what);
      o.fourier.bandwidth = b.values[0];
    }
  }
  for (std::size_t i = 0; i + 1 < pair.size(); i += 2) o.pairs.emplace_back(pair[i], pair[i + 1]);
  o.intensity_measures = !ims.empty() || !page.empty();

  edge::disk& disk = edge::real_disk();
  edge::remove_temporaries_on_signals();
  sdofspec::console words(disk);
  int status = 0;
  const auto fail = [&](const base::status& s) {
    words.report(s, false);
    status = std::max(status, edge::exit_status(s));
  };

  // Every file the run reads is known before any output is claimed: none may be replaced.
  sdofspec::record_list list = sdofspec::expand_lists(o.records, disk);
  for (const base::status& s : list.failures) fail(s);
  o.records = std::move(list.files);
  edge::run_files files(disk);
  for (const auto& names : {o.records, list.lists}) {
    for (const std::string& name : names) files.add_input(name);
  }
  for (const auto& [a, b] : o.pairs) {
    files.add_input(a);
    files.add_input(b);
  }
  const int status_of_lists = status;
  // The folders first: a table or the page may go into the pictures' folder.
  for (const std::string* folder : {&plot_folder, &processed_folder}) {
    if (folder->empty()) continue;
    if (const base::status made = edge::make_output_folder(disk, *folder); !made.ok()) fail(made);
  }
  base::status why;
  const auto table = files.claim(output, why);
  if (!table) fail(why);
  std::unique_ptr<edge::output_file> intensity, report_page, inelastic_table, fourier_table;
  if (!ims.empty() && !(intensity = files.claim(ims, why))) fail(why);
  if (!inelastic.empty() && !(inelastic_table = files.claim(inelastic, why))) fail(why);
  if (!fas.empty() && !(fourier_table = files.claim(fas, why))) fail(why);
  if (!page.empty() && !(report_page = files.claim(page, why))) fail(why);
  if (status != status_of_lists) return status;  // nothing computed: an output could not be had

  std::vector<base::status> picture_failures;
  const report::run_info info{
      .title = "Response spectra",
      .version = command.version,
      .date = run_date(),
      .command_line = typed(argc, argv),
      .dampings = damping,
      .periods = periods + ": " + std::to_string(o.periods.size()) + " periods from " +
                 base::shortest(*std::min_element(o.periods.begin(), o.periods.end())) + " to " +
                 base::shortest(*std::max_element(o.periods.begin(), o.periods.end())) + " s",
      .continuous_peaks = o.peaks == spectra::peak_rule::continuous,
      .units =
          "Sd, PGD cm; Sv, PSv, PGV cm/s; Sa, PSa, PGA g; Arias m/s; CAV g s; SI cm; "
          "durations s"};
  report::writer pictures(
      plot_folder.empty()
          ? report::writer::picture_writer()
          : [&](const std::string& name, const std::string& content) {
              base::status refused;
              const auto out = files.claim(plot_folder + "/" + name, refused);
              if (out && out->write(content)) refused = out->commit();
              if (!refused.ok()) picture_failures.push_back(refused);
              return refused.ok();
            },
      report_page.get(), disk, base::folder_of(page), info,
      plot_scale == "linear" ? plot::spectrum_scale::linear : plot::spectrum_scale::logarithmic);
  for (const base::status& s : list.failures) pictures.failed(s);
  const bool pictures_wanted = !plot_folder.empty() || !page.empty();
  status = std::max(status, sdofspec::run(o, disk, words,
                                          {.table = table.get(),
                                           .intensity = intensity.get(),
                                           .inelastic = inelastic_table.get(),
                                           .fourier = fourier_table.get(),
                                           .sink = pictures_wanted ? &pictures : nullptr,
                                           .processed_folder = processed_folder,
                                           .files = &files}));
  for (const base::status& s : picture_failures) fail(s);
  for (edge::output_file* out :
       {table.get(), intensity.get(), inelastic_table.get(), fourier_table.get()}) {
    if (!out) continue;
    if (const base::status committed = out->commit(); !committed.ok()) fail(committed);
  }
  if (report_page) {
    base::status done = pictures.finish();
    if (done.ok()) done = report_page->commit();
    if (!done.ok()) fail(done);
  }
  return status;
}
