// sdofplot: pictures of the files sdofresp writes (ground velocities, energy balance, response
// histories), as SVG beside each file.
#include <algorithm>

#include "base/paths.h"
#include "edge/diagnostic.h"
#include "edge/output_file.h"
#include "edge/read_file.h"
#include "plot/figures.h"
#include "plot/options.h"
#include "programs/command_line.h"

namespace {

// sdofresp writes at most 131100 lines of 201 characters: a file beyond this is not its own.
constexpr std::size_t most_bytes = 64 << 20;

}  // namespace

int main(int argc, char** argv) {
  const command_line command{
      "sdofplot", "[-o OUT.svg] [--units U] [--period T --damping H] [--record NAME] FILE...",
      "sdofplot " SDOF_VERSION};
  CLI::App app{
      "Pictures of the files sdofresp writes, recognised by their header line: Ground-Vel.csv\n"
      "(the three ground velocities), Energy-Density-wave<k>.csv (the energy balance) and a\n"
      "response-wave file (accelerations and displacements). Each FILE.csv gives FILE.svg.",
      "sdofplot"};
  app.set_version_flag("--version", command.version);
  std::string output, units, period, damping, record;
  std::vector<std::string> files;
  app.add_option("-o,--output", output,
                 "The picture of a single FILE goes to OUT.svg (- for "
                 "standard output)")
      ->option_text("OUT.svg");
  app.add_option("--units", units,
                 "The unit of the record's accelerations: g, gal (cm/s2) or m/s2. Velocities, "
                 "displacements and energies per unit mass follow (from g: cm/s, cm, cm2/s2); "
                 "without it the axes say \"record units\"")
      ->option_text("U");
  app.add_option("--period", period, "The oscillator's period of the run, for the titles")
      ->option_text("T");
  app.add_option("--damping", damping,
                 "The oscillator's damping ratio of the run (0.05 for 5%), for the titles")
      ->option_text("H");
  app.add_option("--record", record, "The record's name for the titles (default: the file's)")
      ->option_text("NAME");
  app.add_option("files", files, "Files written by sdofresp")->option_text("FILE...");
  if (const auto status = command.parse(app, argc, argv)) return *status;
  if (files.empty()) return command.usage_error("no file given");
  if (!output.empty() && files.size() > 1)
    return command.usage_error("-o names the picture of one file");

  plot::history_labels labels{.record = record};
  if (const std::string wrong = plot::read_labels(units, period, damping, labels); !wrong.empty())
    return command.usage_error(wrong);

  edge::disk& disk = edge::real_disk();
  edge::remove_temporaries_on_signals();
  edge::run_files run(disk);
  for (const std::string& path : files) run.add_input(path);
  int status = 0;
  const auto fail = [&](const base::status& s) {
    const std::string line = edge::diagnostic("sdofplot", s) + "\n";
    (void)disk.write(edge::standard_error, line.data(), line.size());
    status = std::max(status, edge::exit_status(s));
  };
  for (const std::string& path : files) {
    const edge::file_content content =
        edge::read_file(disk, path, most_bytes, [](std::string_view head) {
          return plot::is_output(head)
                     ? base::status{}
                     : base::failure_at_line(1,
                                             "not a file that sdofresp writes (Ground-Vel.csv, "
                                             "an energy or a response-wave file)");
        });
    if (!content.status.ok()) {
      fail(content.status);
      continue;
    }
    const plot::table_result r = plot::read_output(content.text);
    if (!r.ok()) {
      fail({.code = base::code::bad_input, .file = path, .line = r.line, .what = r.error});
      continue;
    }
    base::status why;
    const auto out = run.claim(output.empty() ? base::with_extension(path, ".svg") : output, why);
    if (!out) {
      fail(why);
      continue;
    }
    labels.file = std::string(base::base_name(path));
    out->write(plot::render(plot::history_figure(r.table, labels)));
    if (const base::status committed = out->commit(); !committed.ok()) fail(committed);
  }
  return status;
}
