// The files sdofresp writes, read back for pictures: recognised by their header line, with
// fields that did not fit (asterisks) or hold no number kept as gaps and counted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

enum class file_kind { ground_velocity, energy, response_wave };

struct output_table {
  file_kind kind = file_kind::ground_velocity;
  std::vector<std::vector<double>> columns;  // column 0 is the time
  std::size_t missing = 0;                   // fields of asterisks or without a number
};

struct table_result {
  output_table table;
  std::size_t line = 0;  // where reading stopped, with error
  std::string error;
  bool ok() const { return error.empty(); }
};

table_result read_output(std::string_view text);

// Whether the first line (of the first bytes of a file) is the header of a file sdofresp
// writes: a file that is not is refused before the rest is read.
bool is_output(std::string_view head);

}  // namespace plot
