// sdofspec: response spectra, rotated spectra, intensity measures and input-energy spectra of
// ground-motion records, from the command line.
#include <iostream>
#include <thread>

#include "command_line.h"
#include "base/physics.h"
#include "report/report.h"
#include "spectra/grids.h"
#include "spectra/run.h"
#include "spectra/system.h"

int main(int argc, char** argv) {
  const command_line command{"sdofspec", "[options] RECORD...", "sdofspec " SDOF_VERSION};
  CLI::App app{
      "Response spectra of ground-motion records: the peak response of a linear oscillator over\n"
      "periods and damping ratios, by the exact recurrence for an acceleration linear between\n"
      "samples. Records are sdofresp's layout (header of four items, then time and three\n"
      "accelerations per line) or PEER NGA .AT2 files; - is standard input, @FILE a list.",
      "sdofspec"};
  app.set_version_flag("--version", command.version);
  spectra::options o;
  std::string output, periods = "nga-west2", damping = "0.05", units, ims, plot_folder, page,
                      si_tolerance;
  std::vector<std::string> pair;
  app.add_option("-o,--output", output, "Write the table to FILE (default: standard output)")
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
  app.add_option("-j,--jobs", o.jobs, "Threads (default: all cores)")->option_text("N");
  app.add_flag("--rotd", o.rotd, "Rotated spectra RotD00, RotD50, RotD100 of horizontal pairs");
  app.add_option("--pair", pair, "Two files that make a horizontal pair")
      ->expected(2)
      ->allow_extra_args(false)
      ->option_text("H1 H2");
  app.add_option("--ims", ims, "Write intensity measures to FILE")->option_text("FILE");
  app.add_option("--si-tolerance", si_tolerance,
                 "The spectrum intensity's period grid is halved until that changes it by less "
                 "than this, relative (default 1e-6)")
      ->option_text("X");
  app.add_flag("--detrend", o.detrend,
               "Remove the least-squares line of the ground displacement (PGV, PGD)");
  app.add_flag("--energy", o.energy, "Input-energy spectra, as equivalent velocities");
  app.add_option("--plot", plot_folder,
                 "Write each record's spectrum and tripartite plot (SVG) into DIR")
      ->option_text("DIR");
  app.add_option("--report", page,
                 "Write one self-contained HTML page: intensity measures and plots")
      ->option_text("FILE.html");
  app.add_option("records", o.records, "Record files")->option_text("RECORD...");
  o.jobs = std::max(1u, std::thread::hardware_concurrency());

  if (const auto status = command.parse(app, argc, argv)) return *status;

  if (o.records.empty() && pair.empty()) return command.usage_error("no record given");
  if (o.jobs < 1) return command.usage_error("--jobs must be at least 1");
  const spectra::parsed_values p = spectra::parse_periods(periods);
  if (!p.error.empty()) return command.usage_error("--periods: " + p.error);
  o.periods = p.values;
  const spectra::parsed_values h = spectra::parse_dampings(damping);
  if (!h.error.empty()) return command.usage_error("--damping: " + h.error);
  o.dampings = h.values;
  if (!units.empty()) {
    o.units = base::parse_unit(units);
    if (!o.units)
      return command.usage_error("--units: expected g, gal or m/s2, not '" + units + "'");
  }
  if (!si_tolerance.empty()) {
    const spectra::parsed_values t = spectra::parse_tolerance(si_tolerance);
    if (!t.error.empty()) return command.usage_error("--si-tolerance: " + t.error);
    o.si_tolerance = t.values[0];
  }
  for (std::size_t i = 0; i + 1 < pair.size(); i += 2) o.pairs.emplace_back(pair[i], pair[i + 1]);
  o.intensity_measures = !ims.empty() || !page.empty();
  if (!plot_folder.empty() && !spectra::make_folder(plot_folder)) {
    std::cerr << "sdofspec: " << plot_folder << ": cannot make the folder\n";
    return 1;
  }

  const auto env = spectra::real_environment(spectra::standard_error_is_terminal());
  const auto table = spectra::file_output(output);
  const auto intensity = ims.empty() ? nullptr : spectra::file_output(ims);
  report::pictures pictures(
      plot_folder.empty()
          ? report::pictures::file_writer()
          : [&](const std::string& name,
                const std::string&
                    content) { return spectra::write_whole_file(plot_folder + "/" + name, content); },
      !page.empty());
  const bool pictures_wanted = !plot_folder.empty() || !page.empty();
  int status =
      spectra::run(o, *env, *table, intensity.get(), pictures_wanted ? &pictures : nullptr);
  for (const std::string& name : pictures.failures()) {
    std::cerr << "sdofspec: " << plot_folder << "/" << name << ": cannot be written\n";
    status = 1;
  }
  if (!page.empty() && !spectra::write_whole_file(page, pictures.page("Response spectra"))) {
    std::cerr << "sdofspec: " << page << ": cannot be written\n";
    status = 1;
  }
  return status;
}
