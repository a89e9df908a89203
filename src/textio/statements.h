// The I/O statements the program is written in: list-directed and formatted writes, list-directed
// and line reads, connect, disconnect and stop. Any failure is a run-time error that is reported
// and ends the run; the only exception is the end of a file read with read_list_until_end.
#pragma once

#include <initializer_list>
#include <string_view>

#include "edge/disk.h"
#include "textio/list_input.h"
#include "textio/record.h"
#include "textio/runtime_error.h"

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

// Ends the program: every unit is disconnected and the process exits with the status.
[[noreturn]] void stop(int status);

// The run-time error: its report on standard error, every unit disconnected (files keep what
// was written), and the abnormal end.
[[noreturn]] void fail(const io_error& error);

// If a signal has arrived: its message on standard error, and the end of the run (status 1
// for an interrupt or a termination request, an abnormal end for the others). Returns only
// when no signal is pending.
void act_on_pending_signal();

// What the run-time was last doing, for the report of an error.
io_state& current_io();

// A run starts afresh: every unit but the console's unconnected, no error being reported, all
// I/O through the given system.
void begin_run(edge::disk& system);

}  // namespace textio
