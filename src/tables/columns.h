// Tables as columns: the CSV text of the suite's tables read back into columns of values, and
// columns written as the tables write them, for callers that want values rather than text (the
// Python module). Numbers are written at their shortest, which reads back as the same double:
// text to columns and back is the identity on every table the programs write.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

namespace tables {

struct column_values {
  std::string name;
  bool text = false;               // a column of text; else of numbers
  std::vector<std::string> texts;  // of a text column, one per row
  std::vector<double> numbers;     // of a number column, one per row; NaN where a field is empty
};

struct table_read {
  std::vector<column_values> columns;
  base::status status;  // ok, or the line where reading stopped and why
};

// The first line is the header; the columns named in text_columns hold text, every other one
// numbers. A field may be quoted as csv_field quotes it; every line has the header's fields.
table_read read_table(std::string_view csv, std::span<const std::string_view> text_columns);

// Ok when the columns have one length, else which differs.
base::status check_lengths(std::span<const column_values> columns);

// The header and the rows as header() and row write them. The columns have one length.
std::string write_table(std::span<const column_values> columns);

}  // namespace tables
