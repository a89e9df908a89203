// sdofspec's edge: files, standard streams and the terminal.
#pragma once

#include <memory>
#include <string>

#include "spectra/run.h"

namespace spectra {

// Reads files and standard input, reports on standard error, and shows progress there when
// show_progress is set (standard error is a terminal).
std::unique_ptr<environment> real_environment(bool show_progress);

// A table for the named file (written to a temporary file beside it and renamed when whole),
// or for standard output when the name is empty.
std::unique_ptr<output> file_output(const std::string& name);

// Writes a whole file (beside it first, then renamed); false when it cannot.
bool write_whole_file(const std::string& path, const std::string& content);
// Makes a folder and its parents where missing; false when it cannot.
bool make_folder(const std::string& path);

// Whether standard error is a terminal.
bool standard_error_is_terminal();

}  // namespace spectra
