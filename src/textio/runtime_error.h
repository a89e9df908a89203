// Run-time errors: the report on standard error and the abnormal end that follows it.
#pragma once

#include <string>
#include <string_view>

#include "textio/io_error.h"

namespace textio {

// What the run-time was last doing, for the "apparent state" lines of a report.
struct io_state {
  int unit = -1;            // the current unit; -1 before any unit was used
  std::string_view format;  // "list io", the format of a running formatted statement, or empty
  bool writing = false;
};

// How the report names the current unit: "(unnamed)" for a console unit, else its file name.
struct unit_description {
  bool console = false;
  std::string_view name;
};

// The complete report, line by line, as written to standard error.
std::string format_report(const io_error& error, const io_state& state,
                          const unit_description& unit);

// The run-time state that every statement keeps up to date.
io_state& current_io();

// Reports the error, disconnects every unit (files keep what was written) and aborts.
[[noreturn]] void fail(const io_error& error);

}  // namespace textio
