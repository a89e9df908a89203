// Tables as text: each column declared once, with its name in the CSV header, its unit and its
// heading for the report; headers and rows are loops over the declared columns.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tables {

struct column {
  std::string_view name;     // in the CSV header: "pga_g"
  std::string_view unit;     // "g", "cm/s", "" for none
  std::string_view heading;  // for people: "PGA"
};

// The CSV header line, with its line end.
std::string header(std::span<const column> columns);

// A CSV field: quoted when it holds a comma, a quote, a line end or edge blanks.
std::string csv_field(std::string_view text);

// A row, field by field, appended to a text.
class row {
 public:
  explicit row(std::string& out) : out_(out) {}
  row& text(std::string_view field);  // escaped as csv_field
  row& number(double value);          // the shortest text that reads back; NaN is empty
  row& whole(long long value);        // an integer
  row& empty(std::size_t count = 1);  // fields with nothing in them
  void end() { out_ += '\n'; }

 private:
  void separate() {
    if (!first_) out_ += ',';
    first_ = false;
  }
  std::string& out_;
  bool first_ = true;
};

}  // namespace tables
