#include "tables/columns.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "base/numbers.h"
#include "tables/csv.h"

namespace tables {
namespace {

// The fields of one line from `at` on, unquoted; `at` moves past the line's end. Empty on
// success, else what is wrong.
std::string fields_of_line(std::string_view csv, std::size_t& at, std::vector<std::string>& out) {
  out.clear();
  std::string field;
  for (;;) {
    field.clear();
    if (at < csv.size() && csv[at] == '"') {
      ++at;
      for (;;) {
        if (at >= csv.size()) return "a quoted field is not closed";
        if (csv[at] == '"') {
          if (at + 1 < csv.size() && csv[at + 1] == '"') {
            field += '"';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        field += csv[at++];
      }
      if (at < csv.size() && csv[at] != ',' && csv[at] != '\n') {
        return "text after a quoted field";
      }
    } else {
      while (at < csv.size() && csv[at] != ',' && csv[at] != '\n') {
        if (csv[at] == '"') return "a quote inside a field that is not quoted";
        field += csv[at++];
      }
    }
    out.push_back(field);
    if (at >= csv.size()) return {};
    if (csv[at++] == '\n') return {};
  }
}

}  // namespace

table_read read_table(std::string_view csv, std::span<const std::string_view> text_columns) {
  table_read t;
  std::size_t at = 0, line = 1;
  const auto fail = [&](std::string what) {
    t.columns.clear();
    t.status = base::failure_at_line(line, std::move(what));
    return t;
  };
  if (csv.empty()) return fail("the table has no header");
  std::vector<std::string> fields;
  if (std::string why = fields_of_line(csv, at, fields); !why.empty()) return fail(why);
  for (std::string& name : fields) {
    const bool text =
        std::find(text_columns.begin(), text_columns.end(), name) != text_columns.end();
    t.columns.push_back({.name = std::move(name), .text = text, .texts = {}, .numbers = {}});
  }
  while (at < csv.size()) {
    ++line;
    if (std::string why = fields_of_line(csv, at, fields); !why.empty()) return fail(why);
    if (fields.size() != t.columns.size()) {
      return fail(std::to_string(fields.size()) + " fields where the header has " +
                  std::to_string(t.columns.size()));
    }
    for (std::size_t c = 0; c < fields.size(); ++c) {
      column_values& column = t.columns[c];
      if (column.text) {
        column.texts.push_back(std::move(fields[c]));
      } else if (fields[c].empty()) {
        column.numbers.push_back(NAN);
      } else if (const std::optional<double> v = base::parse_decimal(fields[c])) {
        column.numbers.push_back(*v);
      } else {
        return fail(column.name + ": not a number: '" + fields[c] + "'");
      }
    }
  }
  return t;
}

namespace {

std::size_t length(const column_values& c) {
  return c.text ? c.texts.size() : c.numbers.size();
}

}  // namespace

base::status check_lengths(std::span<const column_values> columns) {
  for (const column_values& c : columns) {
    if (length(c) != length(columns.front())) {
      return base::failure(c.name + " has " + std::to_string(length(c)) + " rows where " +
                           columns.front().name + " has " +
                           std::to_string(length(columns.front())));
    }
  }
  return {};
}

std::string write_table(std::span<const column_values> columns) {
  // The header as header() writes it; a name is escaped like any field, so that a table read
  // with a name holding a comma is written back as it was read.
  std::string out;
  for (const column_values& c : columns) {
    if (&c != columns.data()) out += ',';
    out += csv_field(c.name);
  }
  out += '\n';
  const std::size_t rows = columns.empty() ? 0 : length(columns.front());
  for (std::size_t i = 0; i < rows; ++i) {
    row r(out);
    for (const column_values& c : columns) {
      assert(length(c) == rows);
      if (c.text) {
        r.text(c.texts[i]);
      } else {
        r.number(c.numbers[i]);
      }
    }
    r.end();
  }
  return out;
}

}  // namespace tables
