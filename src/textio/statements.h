// The I/O statements the program is written in: list-directed and formatted writes, list-directed
// and line reads, connect, disconnect and stop. Any failure is a run-time error that is reported
// and ends the run; the only exception is the end of a file read with read_list_until_end.
#pragma once

#include <initializer_list>
#include <string_view>

#include "textio/list_input.h"
#include "textio/record.h"

namespace textio {

namespace statement_detail {
// Starts a formatted write and returns room for its record in the unit's stream.
char* begin_formatted_write(int unit, const record_format& format);
// Ends the record after its last field and completes the statement.
void end_formatted_write(int unit, char* end);
}  // namespace statement_detail

void write_list(int unit, std::initializer_list<list_item> items);

// One record of the format's fields; as many items as the format has fields.
template <const record_format& format>
void write_formatted(int unit, std::initializer_list<double> items) {
  char* record = statement_detail::begin_formatted_write(unit, format);
  statement_detail::end_formatted_write(unit, render_formatted<format>(record, items));
}

// A list-directed read for which the end of the input is an error.
void read_list(int unit, std::initializer_list<read_item> items);
// A list-directed read with an end-of-file branch: false when the input ended (the items read
// before the end keep their new values).
[[nodiscard]] bool read_list_until_end(int unit, std::initializer_list<read_item> items);
// A read with the format (A40): one line, its first 40 characters.
void read_text_line(int unit, text40& value);

void connect(int unit, std::string_view name);
void disconnect(int unit);
// From now on connecting any unit to the file this unit is connected to is a run-time error:
// the file is an input that no output may replace.
void keep_intact(int unit);

// Ends the program: console output is flushed and the process exits with the status.
[[noreturn]] void stop(int status);

}  // namespace textio
