#include "textio/runtime_error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace textio {
namespace {

const unit_description console{true, ""};
const unit_description data_file{false, "data.csv"};

TEST(RuntimeErrorReport, Forms) {
  const struct {
    const char* name;
    io_error error;
    io_state state;
    unit_description unit;
    const char* report;
  } rows[] = {
      {"missing record file",
       {"list in", end_of_input},
       {11, "list io", false},
       data_file,
       "list in: end of file\napparent state: unit 11 named data.csv\nlast format: list io\n"
       "lately reading sequential formatted external IO\n"},
      {"end of console input",
       {"list in", end_of_input},
       {5, "list io", false},
       console,
       "list in: end of file\napparent state: unit 5 (unnamed)\nlast format: list io\n"
       "lately reading sequential formatted external IO\n"},
      {"empty record name",
       {"open", null_file_name},
       {11, "", false},
       {false, ""},
       "open: null file name\napparent state: unit 11 named \n"
       "lately reading sequential formatted external IO\n"},
      {"letter in a sample",
       {"invalid number", incomprehensible_list_input},
       {11, "list io", false},
       data_file,
       "invalid number: incomprehensible list input\napparent state: unit 11 named data.csv\n"
       "last format: list io\nlately reading sequential formatted external IO\n"},
      {"operating-system error during a formatted write",
       {"write", ENOSPC},
       {12, "(F9.4,12(',',E15.7))", true},
       {false, "/dev/full"},
       "write: No space left on device\napparent state: unit 12 named /dev/full\n"
       "last format: (F9.4,12(',',E15.7))\nlately writing sequential formatted external IO\n"},
      {"no unit yet",
       {"endfile", truncation_failed},
       {},
       {},
       "endfile: truncation failed in endfile\napparent state: internal I/O\n"
       "lately reading sequential formatted external IO\n"},
      {"unknown number",
       {"open", 250},
       {12, "", false},
       {false, "w.csv"},
       "open: illegal error number 250\napparent state: unit 12 named w.csv\n"
       "lately reading sequential formatted external IO\n"},
      {"record protected",
       {"open", overwrites_record},
       {12, "", false},
       {false, "rec.csv"},
       "open: output would overwrite the ground-motion record\napparent state: unit 12 named "
       "rec.csv\nlately reading sequential formatted external IO\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(format_report(row.error, row.state, row.unit, "No space left on device"), row.report)
        << row.name;
  }
}

}  // namespace
}  // namespace textio
