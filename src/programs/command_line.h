// The command-line conventions of sdofspec and sdofplot: --help and --version on standard
// output with status 0; a usage error on standard error, with the usage line, status 2.
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>

struct command_line {
  std::string program;   // "sdofspec"
  std::string synopsis;  // what follows the name in the usage line
  std::string version;   // "sdofspec 1.2.0"

  int usage_error(const std::string& message) const {
    std::cerr << program << ": " << message << "\n"
              << "usage: " << program << " " << synopsis << "  (" << program
              << " --help for more)\n";
    return 2;
  }

  // The status to end with when the command line is all there is to do (help, version) or is
  // wrong; nothing when the program goes on.
  std::optional<int> parse(CLI::App& app, int argc, char** argv) const {
    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      std::cout << app.help();
      return 0;
    } catch (const CLI::CallForVersion&) {
      std::cout << version << "\n";
      return 0;
    } catch (const CLI::ParseError& e) {
      return usage_error(e.what());
    }
    return std::nullopt;
  }
};
