// Numbered I/O units: files connected by name, read through a buffer, written a whole record at
// a time through a large buffer. Everything reaches the operating system through the
// edge::disk in use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edge/disk.h"
#include "textio/input_stream.h"
#include "textio/io_error.h"

namespace textio {

inline constexpr int unit_count = 100;
// The console units, connected before the program starts.
inline constexpr int console_error = 0;
inline constexpr int console_input = 5;
inline constexpr int console_output = 6;

struct unit {
  bool connected = false;
  bool console = false;
  int handle = -1;
  std::string name;  // kept after disconnection, for error reports
  bool readable = false;
  bool writable = false;
  bool regular_file = false;  // cut to empty at the first write
  bool pipe = false;          // opened when first used, for reading or for writing
  bool last_was_write = false;
  bool written = false;         // written to since it was connected
  std::uint64_t file_size = 0;  // what this run has put in the file: whole records only
  input_stream input;
  std::vector<char> output;  // records not yet handed to the file
  std::size_t pending = 0;
};

// Every unit unconnected, no record protected, and all I/O through the given system from now
// on; then units 0, 5 and 6 on standard error, input and output.
void reset_units(edge::disk& system);
edge::disk& current_system();

// Unit 0..99.
unit& unit_at(int number);

// Connects a unit to the named file (trailing blanks are not part of the name): for update if
// it exists, else read-only, else created. A pipe is opened at its first use instead. A
// protected record is refused.
[[nodiscard]] io_error connect_unit(int number, std::string_view name);

// Flushes and closes the unit. A console unit is only flushed and marked unconnected.
[[nodiscard]] io_error disconnect_unit(int number);

// Disconnects units 0 to 99 in order, ignoring errors: the disconnection at the end.
void disconnect_all_units();

// From now on no connection may name the file that this unit is connected to: it is the
// ground-motion record, which no output may replace.
void protect_record(int number);

// Makes the unit ready to be read or written (a pipe is opened now, a file is cut to empty at
// its first write).
[[nodiscard]] io_error prepare_to_read(unit& u);
[[nodiscard]] io_error prepare_first_write(unit& u);
[[nodiscard]] inline io_error prepare_to_write(unit& u) {
  u.last_was_write = true;
  return u.written ? io_error{} : prepare_first_write(u);
}

// Hands a record (with its line end) to the unit's stream.
[[nodiscard]] io_error write_record(unit& u, std::string_view record);
// Room for a record of up to n characters at the end of the unit's stream buffer, flushing it
// first if needed; the record is part of the stream only once commit_record is called, so the
// buffer never holds part of a record.
[[nodiscard]] io_error reserve_record(unit& u, std::size_t n, char*& room);
void commit_record(unit& u, const char* end);
// Hands the buffered records to the file. If the file takes only part of them, it is cut back
// to the last whole record it took.
[[nodiscard]] io_error flush_unit(unit& u);

}  // namespace textio
