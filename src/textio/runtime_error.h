// The report of a run-time error, as it appears on standard error.
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

// The complete report, line by line. system_text is the operating system's text for the error
// number, used when the number is one of its own (0 to 99).
std::string format_report(const io_error& error, const io_state& state,
                          const unit_description& unit, std::string_view system_text);

}  // namespace textio
