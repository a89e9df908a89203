// Numbered I/O units: files connected by name, records written through a large buffer, and the
// cut at disconnection that leaves an output file holding exactly what this run wrote.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "textio/input_stream.h"
#include "textio/io_error.h"
#include "textio/runtime_error.h"

namespace textio {

inline constexpr int unit_count = 100;
inline constexpr int console_error = 0;
inline constexpr int console_input = 5;
inline constexpr int console_output = 6;

struct unit {
  bool connected = false;
  bool console = false;
  int fd = -1;
  std::string name;  // kept after disconnection, for error reports
  bool readable = false;
  bool writable = false;
  bool regular_file = false;  // can be cut at disconnection
  bool last_was_write = false;
  input_stream input;
  std::vector<char> output;  // records not yet handed to the file
  std::size_t pending = 0;
};

// Unit 0..99.
unit& unit_number(int number);
unit_description describe_unit(int number);

// Units 0, 5 and 6 on standard error, input and output.
void connect_console_units();

// Connects a unit to the named file (trailing blanks are not part of the name): for update if
// it exists, else read-only, else created. A file made untouchable by keep_intact is refused.
[[nodiscard]] io_error connect_unit(int number, std::string_view name);

// Flushes and closes the unit; a file last written is cut at the current position. A console
// unit is only flushed and marked unconnected.
[[nodiscard]] io_error disconnect_unit(int number);

// Disconnects units 0 to 99 in order, ignoring errors: the exit-time disconnection.
void disconnect_all_units();

// From now on no connection may name the file that this unit is connected to.
void add_intact_file(int number);

// Hands a record (with its line end) to the unit's stream.
[[nodiscard]] io_error write_record(unit& u, std::string_view record);
// Room for a record of up to n characters at the end of the unit's stream buffer, flushing it
// first if needed; the record is part of the stream only once commit_record is called, so the
// buffer never holds part of a record.
[[nodiscard]] io_error reserve_record(unit& u, std::size_t n, char*& room);
void commit_record(unit& u, const char* end);
[[nodiscard]] io_error flush_unit(unit& u);

}  // namespace textio
