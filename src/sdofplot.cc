// sdofplot: pictures of the files sdofresp writes (ground velocities, energy balance, response
// histories), as SVG beside each file.
#include <fstream>
#include <iostream>
#include <sstream>

#include "command_line.h"
#include "plot/figures.h"

namespace {

std::string svg_name(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (extension ? path.substr(0, dot) : path) + ".svg";
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  const command_line command{"sdofplot", "[-o OUT.svg] FILE...", "sdofplot " SDOF_VERSION};
  CLI::App app{
      "Pictures of the files sdofresp writes, recognised by their header line: Ground-Vel.csv\n"
      "(the three ground velocities), Energy-Density-wave<k>.csv (the energy balance) and a\n"
      "response-wave file (accelerations and displacements). Each FILE.csv gives FILE.svg.",
      "sdofplot"};
  app.set_version_flag("--version", command.version);
  std::string output;
  std::vector<std::string> files;
  app.add_option("-o,--output", output, "The picture of a single FILE goes to OUT.svg")
      ->option_text("OUT.svg");
  app.add_option("files", files, "Files written by sdofresp")->option_text("FILE...");
  if (const auto status = command.parse(app, argc, argv)) return *status;
  if (files.empty()) return command.usage_error("no file given");
  if (!output.empty() && files.size() > 1)
    return command.usage_error("-o names the picture of one file");

  int status = 0;
  for (const std::string& path : files) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::cerr << "sdofplot: " << path << ": cannot be read\n";
      status = 1;
      continue;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const plot::table_result r = plot::read_output(text.str());
    if (!r.ok()) {
      std::cerr << "sdofplot: " << path << ":" << r.line << ": " << r.error << "\n";
      status = 1;
      continue;
    }
    const std::string target = output.empty() ? svg_name(path) : output;
    std::ofstream out(target, std::ios::binary);
    out << plot::render(plot::history_figure(r.table, base_name(path)));
    out.close();
    if (!out) {
      std::cerr << "sdofplot: " << target << ": cannot be written\n";
      status = 1;
    }
  }
  return status;
}
