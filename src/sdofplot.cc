// sdofplot: pictures of the files sdofresp writes (ground velocities, energy balance, response
// histories), as SVG beside each file.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>

#include "plot/figures.h"

namespace {

int usage_error(const std::string& message) {
  std::cerr << "sdofplot: " << message << "\n"
            << "usage: sdofplot [-o OUT.svg] FILE...  (sdofplot --help for more)\n";
  return 2;
}

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
  CLI::App app{
      "Pictures of the files sdofresp writes, recognised by their header line: Ground-Vel.csv\n"
      "(the three ground velocities), Energy-Density-wave<k>.csv (the energy balance) and a\n"
      "response-wave file (accelerations and displacements). Each FILE.csv gives FILE.svg.",
      "sdofplot"};
  app.set_version_flag("--version", "sdofplot " SDOF_VERSION);
  std::string output;
  std::vector<std::string> files;
  app.add_option("-o,--output", output, "The picture of a single FILE goes to OUT.svg")
      ->option_text("OUT.svg");
  app.add_option("files", files, "Files written by sdofresp")->option_text("FILE...");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::CallForVersion&) {
    std::cout << "sdofplot " SDOF_VERSION "\n";
    return 0;
  } catch (const CLI::ParseError& e) {
    return usage_error(e.what());
  }
  if (files.empty()) return usage_error("no file given");
  if (!output.empty() && files.size() > 1) return usage_error("-o names the picture of one file");

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
